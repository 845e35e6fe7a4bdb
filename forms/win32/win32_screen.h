// SPDX-License-Identifier: MIT
// The Win32 backend's screen: the monitor a window is on, its dots per
// inch and work area, the size of a window's frame, and full screen.
#pragma once

#include <windows.h>

#include "forms/form.h"
#include "forms/geometry.h"

namespace winforms {

// Resizable and maximizable: the board zooms with the window.
inline constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW;

// The monitor's dots per inch for a window (Windows 10 and later), else the
// system's, else the reference 96.
UINT dpiOf(HWND hwnd);

// The whole of the monitor a window is mostly on, and its work area (less
// the task bar).
RECT monitorOf(HWND hwnd);
RECT workAreaOf(HWND hwnd);

// The monitor's scale, reduced only as far as needed for the whole window,
// frame included, to fit the monitor's work area.
double startScaleOn(const forms::Form& form, HMONITOR monitor, UINT dpi);

// Sizes a framed window for a client area of that many pixels, and moves it
// onto its monitor's work area if part of it is off it.
void fitWindow(HWND hwnd, int clientWidth, int clientHeight, UINT dpi);

// Full screen: the window borderless over its whole monitor; back to the
// framed window as it was.
class FullScreen {
  public:
    void enter(HWND hwnd);
    void leave(HWND hwnd);

  private:
    WINDOWPLACEMENT placement_{};
};

}  // namespace winforms
