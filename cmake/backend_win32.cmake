# SPDX-License-Identifier: MIT
# The Win32 backend and tabellone.exe, for the win32 preset. Included by
# the top-level CMakeLists.txt after the core and the font list.
if(NOT WIN32)
  message(FATAL_ERROR "The win32 backend builds with cmake/mingw-i686.cmake (preset win32)")
endif()
enable_language(RC)

# The backend; the file seam (platform/win32/win32_files.cpp) is in the core.
add_library(tabellone_win32 STATIC
  forms/win32/win32_controls.cpp
  forms/win32/win32_form_view.cpp
  forms/win32/win32_gdi.cpp
  forms/win32/win32_platform.cpp
  forms/win32/win32_screen.cpp)
target_compile_definitions(tabellone_win32 PUBLIC
  UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
target_link_libraries(tabellone_win32 PUBLIC tabellone_core
  comctl32 gdiplus uxtheme shlwapi oleacc ole32 gdi32 user32)

# The icon: the dove of Nuova at 48, 32 and 16 pixels, kept in the tree
# (tools/make_icons.sh draws it again).
set(TABELLONE_ICON ${CMAKE_CURRENT_SOURCE_DIR}/window/pictures/tabellone.ico)

# Pictures named as the layout names them ("stelle.gif", "stelle@2x.png"; a
# resource's name knows no case), each holding the PNG made from it; fonts
# as FONT_n. The 2x and 3x drawings are for zoomed boards; each is decoded
# only when a board at its density first draws it. windres joins quoted
# strings that only white space parts, so a line directive goes between
# each file and the quoted name after it.
set(TABELLONE_RC_DATA "")
foreach(picture file IN ZIP_LISTS TABELLONE_PICTURES TABELLONE_PICTURE_FILES)
  string(APPEND TABELLONE_RC_DATA "#line 1 \"${picture}\"\n"
    "\"${picture}\" RCDATA \"${file}\"\n")
endforeach()
# The stand-in fonts, as their authors made them: a font licensed under
# the SIL Open Font License may not be changed (cut down, say) and keep a
# Reserved Font Name such as "Liberation".
set(n 0)
foreach(font IN LISTS font_files)
  math(EXPR n "${n} + 1")
  string(APPEND TABELLONE_RC_DATA "FONT_${n} RCDATA \"${font}\"\n")
endforeach()
configure_file(forms/win32/tabellone.rc.in ${CMAKE_CURRENT_BINARY_DIR}/tabellone.rc @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/tabellone.rc PROPERTIES
  OBJECT_DEPENDS "${TABELLONE_ICON};${TABELLONE_PICTURE_FILES};${font_files};${CMAKE_CURRENT_SOURCE_DIR}/forms/win32/tabellone.manifest")

add_executable(tabellone WIN32 app/main_win32.cpp ${CMAKE_CURRENT_BINARY_DIR}/tabellone.rc)
target_link_libraries(tabellone PRIVATE tabellone_win32)
# The linker's map says which pieces of the runtimes went into the
# executable; tools/release.sh carries their notices.
target_link_options(tabellone PRIVATE -municode -s -Wl,-Map=${CMAKE_CURRENT_BINARY_DIR}/tabellone.map)
