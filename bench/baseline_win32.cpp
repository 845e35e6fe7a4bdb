// SPDX-License-Identifier: MIT
// The yardstick for the Windows board's start-up and play: the least a
// plain Win32 program does to show a window like the board's and to make
// the board's changes of screen (see baseline_win32_window.h), with no
// logic.
#include <windows.h>

#include "baseline_win32_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int showCommand) {
    const HWND window = baseline::build(instance);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (baseline::take(msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
