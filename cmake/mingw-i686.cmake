# SPDX-License-Identifier: MIT
# Cross-compiles for 32-bit Windows with MinGW-w64 (the POSIX thread model,
# which std::thread and std::mutex need). Everything of the C and C++
# runtimes is linked in, so the executable imports only DLLs that Windows
# itself ships. Programs built here run through Wine for the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TABELLONE_MINGW i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TABELLONE_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TABELLONE_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TABELLONE_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TABELLONE_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--gc-sections")
# Each function in a section of its own, so the linker drops what is unused.
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")

# Test executables run under Wine, in a throwaway prefix inside the build
# folder, without Wine's debug chatter and without offering to install Mono
# or Gecko (mscoree and mshtml left out). Wine names files in the locale's
# character set: UTF-8, so that a folder named in any script maps to Linux.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all LC_ALL=C.UTF-8
    WINEDLLOVERRIDES=mscoree,mshtml= wine)
