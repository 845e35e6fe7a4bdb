// The yardstick for the Windows board's start-up: the least a plain Win32
// program does to show a window like the board's (see
// baseline_win32_window.h), with no logic.
#include <windows.h>

#include "baseline_win32_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int showCommand) {
    const HWND window = baseline::build(instance);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
