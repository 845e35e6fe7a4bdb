// SPDX-License-Identifier: MIT
#include "forms/win32/win32_screen.h"

namespace winforms {

namespace {

template <typename Fn>
Fn systemFunction(const wchar_t* module, const char* name) {
    const HMODULE dll = GetModuleHandleW(module);
    if (dll == nullptr) {
        return nullptr;
    }
    // Through a plain function type, the cast the compiler accepts silently.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

MONITORINFO monitorInfo(HMONITOR handle) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(handle, &monitor);
    return monitor;
}

// The window rectangle around a client area, frame and title bar included.
RECT windowRectFor(int clientWidth, int clientHeight, UINT dpi) {
    using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi =
        systemFunction<AdjustFn>(L"user32.dll", "AdjustWindowRectExForDpi");
    RECT r{0, 0, clientWidth, clientHeight};
    if (adjustForDpi != nullptr) {
        adjustForDpi(&r, kWindowStyle, FALSE, 0, dpi);
    } else {
        AdjustWindowRectEx(&r, kWindowStyle, FALSE, 0);
    }
    return r;
}

forms::PixelRect pixels(const RECT& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

}  // namespace

UINT dpiOf(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        systemFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        if (const UINT dpi = getDpiForWindow(hwnd); dpi != 0) {
            return dpi;
        }
    }
    const HDC dc = GetDC(hwnd);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(hwnd, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

RECT monitorOf(HWND hwnd) {
    return monitorInfo(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST)).rcMonitor;
}

RECT workAreaOf(HWND hwnd) {
    return monitorInfo(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST)).rcWork;
}

double startScaleOn(const forms::Form& form, HMONITOR monitor, UINT dpi) {
    const forms::PixelRect work = pixels(monitorInfo(monitor).rcWork);
    const forms::PixelRect frame = pixels(windowRectFor(0, 0, dpi));
    return forms::startScale(form, forms::Scale::forDpi(dpi).pixelsPerTwip(), work.width,
                             work.height, frame.width, frame.height);
}

void fitWindow(HWND hwnd, int clientWidth, int clientHeight, UINT dpi) {
    const forms::PixelRect size = pixels(windowRectFor(clientWidth, clientHeight, dpi));
    RECT now;
    GetWindowRect(hwnd, &now);
    const forms::PixelRect kept =
        forms::keptOnArea({now.left, now.top, size.width, size.height}, pixels(workAreaOf(hwnd)));
    SetWindowPos(hwnd, nullptr, kept.left, kept.top, kept.width, kept.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void FullScreen::enter(HWND hwnd) {
    placement_.length = sizeof placement_;
    GetWindowPlacement(hwnd, &placement_);
    const RECT m = monitorOf(hwnd);
    SetWindowLongPtrW(hwnd, GWL_STYLE, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
    SetWindowPos(hwnd, HWND_TOP, m.left, m.top, m.right - m.left, m.bottom - m.top,
                 SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
}

void FullScreen::leave(HWND hwnd) {
    SetWindowLongPtrW(hwnd, GWL_STYLE, kWindowStyle | WS_VISIBLE | WS_CLIPCHILDREN);
    SetWindowPlacement(hwnd, &placement_);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

}  // namespace winforms
