// SPDX-License-Identifier: MIT
// Tabellone on Windows: the caller's board for the 90-number game, drawn
// with the system's own controls. One window, one round log beside the
// executable.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "board/command_line.h"
#include "board/tabellone.h"
#include "forms/win32/win32_form_view.h"
#include "forms/win32/win32_platform.h"
#include "platform/random.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_files.h"
#include "window/texts.h"

namespace {

// The arguments after the program's name, in UTF-8, as the C runtime split
// the command line before the program began. Its rules differ from
// CommandLineToArgvW's only in corners no option of the board meets (the
// program's own name, runs of quotes), and shell32, which that would load,
// cost every start about 50 ms under Wine.
std::vector<std::string> arguments() {
    std::vector<std::string> out;
    for (int i = 1; __wargv != nullptr && i < __argc; ++i) {
        out.push_back(platform::narrow(__wargv[i]));
    }
    return out;
}

int runBoard(HINSTANCE instance, int showCommand, winforms::Win32FatalReport& fatal) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const winforms::ComApartment com;
    const winforms::PictureDecoder pictures;
    winforms::registerEmbeddedFonts();

    platform::Win32Clock clock;
    platform::SeededRandom random;
    platform::Win32AppFolder folder;
    platform::Win32FileSystem files;
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
    return tabellone.form().failed() || winforms::failureReported() ? 1 : status;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int showCommand) {
    // The board's own options; anything else is refused before any window.
    const board::CommandLine command = board::readCommandLine(arguments());
    if (command.action != board::CommandLine::Action::Run) {
        winforms::writeStandard(command.action == board::CommandLine::Action::Print
                                    ? STD_OUTPUT_HANDLE
                                    : STD_ERROR_HANDLE,
                                command.text);
        return command.status;
    }
    winforms::useBoxTexts(window::kBoxTexts);
    winforms::Win32FatalReport fatal;
    try {
        return runBoard(instance, showCommand, fatal);
    } catch (...) {
        // Made or run outside the form's handlers (the window, its
        // pictures): reported all the same, in the error box.
        fatal.setOwner(nullptr);
        fatal.report(window::fatalMessage(std::current_exception()));
        return 1;
    }
}
