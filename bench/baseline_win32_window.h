// The Win32 baseline window, shared by the baseline program and the
// in-process start-up breakdown: the least a plain Win32 program does to
// show a window like the board's. The controls of baseline_layout.h as the
// system's own: 93 read-only EDITs (the 90 cells teal), 2 group boxes, 8
// plain and 4 text STATICs, 2 push buttons, all children of the window in
// the usual Win32 way, in the stock GUI font. No logic, no pictures, no
// fonts of its own, no theme of its own.
#pragma once

#include <windows.h>

#include <string>

#include "baseline_layout.h"

namespace baseline {

constexpr COLORREF kTeal = RGB(0, 192, 192);

// The cells' ids, to tell them apart when they ask for their colours.
constexpr int kFirstCellId = 100;

inline HBRUSH tealBrush() {
    static const HBRUSH brush = CreateSolidBrush(kTeal);
    return brush;
}

inline LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CTLCOLORSTATIC: {
            // Read-only edits ask here: the cells are teal.
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            if (id >= kFirstCellId && id < kFirstCellId + kCells) {
                SetBkColor(reinterpret_cast<HDC>(wParam), kTeal);
                return reinterpret_cast<LRESULT>(tealBrush());
            }
            break;
        }
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
    // under the controls they hold.
    const int gridX = px(kGrid.left);
    const int gridY = px(kGrid.top);
    const int sideX = px(kSide.left);
    const int sideY = px(kSide.top);
    for (int i = 0; i < kCells; ++i) {
        child(window, L"EDIT", std::to_wstring(i + 1), ES_READONLY | ES_CENTER | ES_AUTOHSCROLL,
              WS_EX_CLIENTEDGE, cell(i), kFirstCellId + i, gridX, gridY);
    }
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
    child(window, L"BUTTON", L"", BS_GROUPBOX, 0, kGrid);
    child(window, L"BUTTON", L"", BS_GROUPBOX, 0, kSide);
    return window;
}

}  // namespace baseline
