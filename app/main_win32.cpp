// Tabellone on Windows: the caller's board for the 90-number game, drawn
// with the system's own controls. One window, one round log beside the
// executable.
#include <windows.h>

#include <commctrl.h>

#include "board/tabellone.h"
#include "forms/std_platform.h"
#include "forms/win32/win32_clock.h"
#include "forms/win32/win32_files.h"
#include "forms/win32/win32_form_view.h"
#include "forms/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const winforms::ComApartment com;
    const winforms::PictureDecoder pictures;
    winforms::registerEmbeddedFonts();

    forms::Win32Clock clock;
    forms::SeededRandom random;
    forms::Win32AppFolder folder;
    forms::Win32FileSystem files;
    winforms::Win32FatalReport fatal;
    winforms::Win32Question question;

    board::Tabellone tabellone({question, fatal, random, clock, folder, files});
    // The window is made from the form as loaded, so that nothing made is
    // changed before it is first shown. A failure to load is reported with
    // no window: none would have been shown yet anyway.
    fatal.setOwner(nullptr);
    tabellone.form().load();
    if (tabellone.form().failed()) {
        return 1;
    }
    winforms::Win32FormView view(tabellone.form(), instance);
    question.setOwner(view.hwnd());
    fatal.setOwner(view.hwnd());
    view.show(showCommand);
    const int status = view.run();
    return tabellone.form().failed() ? 1 : status;
}
