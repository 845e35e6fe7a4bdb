// SPDX-License-Identifier: MIT
// The Win32 baseline window, shared by the baseline program and the
// in-process start-up breakdown: the least a plain Win32 program does to
// show a window like the board's. The controls of baseline_layout.h as the
// system's own: 93 read-only EDITs (the 90 cells teal, in a frame of their
// own), 2 group boxes, 8 plain and 4 text STATICs, 2 push buttons, in the
// stock GUI font, and the big number, a red STATIC under the frame of the
// cells. No logic, no pictures, no theme of its own.
//
// It plays the two changes of screen that the board makes at every call: a
// double-click on a cell hides the frame of the cells, which shows the big
// number with that cell's number; a double-click on the big number shows
// the frame again.
#pragma once

#include <windows.h>

#include <string>

#include "baseline_layout.h"

namespace baseline {

constexpr COLORREF kTeal = RGB(0, 192, 192);
constexpr COLORREF kRed = RGB(255, 0, 0);

// The cells' ids, to tell them apart when they ask for their colours; the
// frame's and the big number's.
constexpr int kFirstCellId = 100;
constexpr int kFrameId = 10;
constexpr int kBigId = 11;

inline HBRUSH tealBrush() {
    static const HBRUSH brush = CreateSolidBrush(kTeal);
    return brush;
}

inline HBRUSH redBrush() {
    static const HBRUSH brush = CreateSolidBrush(kRed);
    return brush;
}

// The colours of the cells and the big number (read-only edits and
// statics ask their parent).
inline LRESULT colour(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    if (id >= kFirstCellId && id < kFirstCellId + kCells) {
        SetBkColor(dc, kTeal);
        return reinterpret_cast<LRESULT>(tealBrush());
    }
    if (id == kBigId) {
        SetBkColor(dc, kRed);
        return reinterpret_cast<LRESULT>(redBrush());
    }
    return 0;
}

inline LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CTLCOLORSTATIC) {
        if (const LRESULT brush =
                colour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam))) {
            return brush;
        }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The big number with a cell's number (1 to 90), the cells hidden.
inline void showBig(HWND window, int number) {
    const std::wstring text = (number < 10 ? L"0" : L"") + std::to_wstring(number);
    SetWindowTextW(GetDlgItem(window, kBigId), text.c_str());
    ShowWindow(GetDlgItem(window, kFrameId), SW_HIDE);
}

// The cells again, over the big number.
inline void showCells(HWND window) {
    ShowWindow(GetDlgItem(window, kFrameId), SW_SHOW);
}

inline LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CTLCOLORSTATIC:
            if (const LRESULT brush =
                    colour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam))) {
                return brush;
            }
            break;
        case WM_COMMAND:
            // A double-click on the big number shows the cells again.
            if (LOWORD(wParam) == kBigId && HIWORD(wParam) == STN_DBLCLK) {
                showCells(hwnd);
                return 0;
            }
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A child at a place in twips, offset by its frame's place in pixels.
inline HWND child(HWND parent, const wchar_t* cls, const std::wstring& text, DWORD style,
                  DWORD exStyle, const Twips& t, int id = 0, int dx = 0, int dy = 0) {
    const HWND h = CreateWindowExW(
        exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style,
        dx + px(t.left), dy + px(t.top), px(t.left + t.width) - px(t.left),
        px(t.top + t.height) - px(t.top), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        GetModuleHandleW(nullptr), nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return h;
}

// Creates the window with its controls, not yet shown.
inline HWND build(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpfnWndProc = frameProc;
    wc.lpszClassName = L"BaselineFrame";
    RegisterClassExW(&wc);
    wc.lpfnWndProc = windowProc;
    wc.lpszClassName = L"BaselineWindow";
    RegisterClassExW(&wc);

    // Not clipping its children: the group boxes leave their insides to it.
    constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
    RECT r{0, 0, kWidth, kHeight};
    AdjustWindowRectEx(&r, kStyle, FALSE, 0);
    const HWND window =
        CreateWindowExW(0, wc.lpszClassName, L"BASELINE", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                        r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);

    // Each child created goes below the ones before: the frames come last,
    // under the controls they hold, and the big number under the cells'.
    const HWND grid = child(window, L"BaselineFrame", L"", 0, 0, kGrid, kFrameId);
    for (int i = 0; i < kCells; ++i) {
        child(grid, L"EDIT", std::to_wstring(i + 1), ES_READONLY | ES_CENTER | ES_AUTOHSCROLL,
              WS_EX_CLIENTEDGE, cell(i), kFirstCellId + i);
    }
    child(grid, L"BUTTON", L"", BS_GROUPBOX, 0, {0, 0, kGrid.width, kGrid.height});
    const int sideX = px(kSide.left);
    const int sideY = px(kSide.top);
    for (int k = 0; k < kSlots; ++k) {
        child(window, L"EDIT", L"", ES_READONLY | ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
              slot(k), 0, sideX, sideY);
    }
    for (int k = 0; k < kBoxes; ++k) {
        child(window, L"STATIC", L"", 0, 0, box(k));
    }
    for (int k = 0; k < kLabels; ++k) {
        const std::string caption = kCaptions[k];
        child(window, L"STATIC", std::wstring(caption.begin(), caption.end()), SS_LEFT, 0,
              label(k));
    }
    child(window, L"BUTTON", L"Uno", BS_PUSHBUTTON, 0, kFirstButton);
    child(window, L"BUTTON", L"Due", BS_PUSHBUTTON, 0, kSecondButton);
    child(window, L"BUTTON", L"", BS_GROUPBOX, 0, kSide);
    const HWND big =
        child(window, L"STATIC", L"", SS_CENTER | SS_CENTERIMAGE | SS_NOTIFY, 0, kBig, kBigId);
    static const HFONT bigFont = CreateFontW(-300, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE,
                                             DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    SendMessageW(big, WM_SETFONT, reinterpret_cast<WPARAM>(bigFont), FALSE);
    return window;
}

// A double-click on a cell, taken in the message loop: its number goes to
// the big number, and the frame of the cells hides to show it. True if the
// message was one.
inline bool take(const MSG& msg) {
    if (msg.message != WM_LBUTTONDBLCLK) {
        return false;
    }
    const int id = GetDlgCtrlID(msg.hwnd);
    if (id < kFirstCellId || id >= kFirstCellId + kCells) {
        return false;
    }
    showBig(GetParent(GetParent(msg.hwnd)), id - kFirstCellId + 1);
    return true;
}

}  // namespace baseline
