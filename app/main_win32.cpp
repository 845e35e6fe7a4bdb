// Tabellone on Windows: the caller's board for the 90-number game. One
// window, one round log beside the executable.
#include <windows.h>

#include <commctrl.h>

#include "board/board.h"
#include "forms/std_platform.h"
#include "forms/win32/win32_form_view.h"
#include "forms/win32/win32_platform.h"
#include "roundlog/roundlog.h"
#include "window/layout.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const winforms::PictureDecoder pictures;
    winforms::registerEmbeddedFonts();

    forms::SystemClock clock;
    forms::ClockSeededRandom random;
    winforms::Win32AppFolder folder;
    winforms::Win32FileSystem files;

    const auto tabellone = window::makeTabellone();
    winforms::Win32FatalReport fatal(tabellone->caption());
    tabellone->setFatalReport(&fatal);
    roundlog::RoundLog log(folder, files, clock);
    winforms::Win32FormView view(*tabellone, instance);
    fatal.setOwner(view.hwnd());
    winforms::Win32Question question(view.hwnd());
    board::Board board(*tabellone, log, question, random);

    tabellone->load();
    if (tabellone->failed()) {
        return 1;
    }
    view.show(showCommand);
    const int status = view.run();
    return tabellone->failed() ? 1 : status;
}
