// SPDX-License-Identifier: MIT
#include "forms/win32/win32_platform.h"

#include <commctrl.h>

#include <utility>
#include <vector>

#include "forms/form.h"
#include "platform/win32/utf16.h"

namespace winforms {

using platform::widen;

namespace {

// Escape (IDCANCEL) on a Yes/No box answers No, as on every other
// platform's question; the system's box would ignore it.
LRESULT CALLBACK escapeSaysNo(HWND box, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                              DWORD_PTR /*data*/) {
    if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL && GetDlgItem(box, IDNO) != nullptr &&
        GetDlgItem(box, IDCANCEL) == nullptr) {
        return SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED),
                            reinterpret_cast<LPARAM>(GetDlgItem(box, IDNO)));
    }
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(box, escapeSaysNo, 1);
    }
    return DefSubclassProc(box, msg, wParam, lParam);
}

// While a box is open its owner is disabled, and the system drops the
// commands of a disabled window. Windows lets no one maximize such a
// window, but under X the window manager does, and the board stayed at its
// old size in the grown frame, the rest of it black. So the owner follows
// its frame as the window manager moves it in or out of maximized, and the
// box keeps the activation.
LRESULT CALLBACK ownerFollowsFrame(HWND owner, UINT msg, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR /*id*/, DWORD_PTR /*data*/) {
    const WPARAM command = wParam & 0xFFF0U;
    if (msg == WM_SYSCOMMAND && (command == SC_MAXIMIZE || command == SC_RESTORE) &&
        IsWindowEnabled(owner) == 0) {
        const HWND box = GetLastActivePopup(owner);
        ShowWindow(owner, command == SC_MAXIMIZE ? SW_MAXIMIZE : SW_RESTORE);
        if (box != owner) {
            SetActiveWindow(box);
        }
        return 0;
    }
    return DefSubclassProc(owner, msg, wParam, lParam);
}

// Renames the buttons of the next message box this thread opens and centres
// it on its owner: the system's boxes speak the system's language.
platform::BoxTexts boxTexts;
thread_local HHOOK boxHook = nullptr;
thread_local HWND boxOwner = nullptr;

LRESULT CALLBACK boxHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const auto box = reinterpret_cast<HWND>(wParam);
        SetDlgItemTextW(box, IDYES, widen(boxTexts.yes).c_str());
        SetDlgItemTextW(box, IDNO, widen(boxTexts.no).c_str());
        SetDlgItemTextW(box, IDOK, widen(boxTexts.ok).c_str());
        SetWindowSubclass(box, escapeSaysNo, 1, 0);
        RECT owner{};
        RECT self{};
        if (boxOwner != nullptr && IsWindowVisible(boxOwner) != 0 &&
            GetWindowRect(boxOwner, &owner) != 0 && GetWindowRect(box, &self) != 0) {
            const int w = self.right - self.left;
            const int h = self.bottom - self.top;
            SetWindowPos(box, nullptr, (owner.left + owner.right - w) / 2,
                         (owner.top + owner.bottom - h) / 2, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        const HHOOK hook = std::exchange(boxHook, nullptr);
        UnhookWindowsHookEx(hook);
        return 0;
    }
    return CallNextHookEx(boxHook, code, wParam, lParam);
}

// The keys the open box may act on. The dialog manager offers each message
// of the box's loop to this filter before it takes a key for a button;
// returning TRUE drops it.
thread_local forms::ModalKeys* boxKeys = nullptr;

LRESULT CALLBACK boxKeyFilter(int code, WPARAM wParam, LPARAM lParam) {
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && boxKeys != nullptr) {
        const auto key = static_cast<int>(msg->wParam);
        switch (msg->message) {
            case WM_KEYDOWN:
            case WM_SYSKEYDOWN:
                if (!boxKeys->press(key, repeatedPress(msg->lParam))) {
                    return TRUE;
                }
                break;
            case WM_KEYUP:
            case WM_SYSKEYUP:
                if (!boxKeys->release(key)) {
                    return TRUE;
                }
                break;
            default:
                break;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int messageBox(HWND owner, const std::string& text, const std::string& title, UINT type) {
    if (owner != nullptr && IsWindowVisible(owner) == 0) {
        owner = nullptr;  // a window never shown cannot own the box
    }
    boxOwner = owner;
    boxHook = SetWindowsHookExW(WH_CBT, boxHookProc, nullptr, GetCurrentThreadId());
    forms::ModalKeys keys;
    boxKeys = &keys;
    const HHOOK keyHook =
        SetWindowsHookExW(WH_MSGFILTER, boxKeyFilter, nullptr, GetCurrentThreadId());
    if (owner != nullptr) {
        SetWindowSubclass(owner, ownerFollowsFrame, 1, 0);
    }
    const int answer =
        MessageBoxW(owner, widen(text).c_str(), widen(title).c_str(), type | MB_SETFOREGROUND);
    if (owner != nullptr) {
        RemoveWindowSubclass(owner, ownerFollowsFrame, 1);
    }
    if (keyHook != nullptr) {
        UnhookWindowsHookEx(keyHook);
    }
    boxKeys = nullptr;
    if (boxHook != nullptr) {
        UnhookWindowsHookEx(std::exchange(boxHook, nullptr));
    }
    return answer;
}

}  // namespace

platform::Question::Answer Win32Question::ask(const std::string& prompt, const std::string& title) {
    const int answer = messageBox(owner_, prompt, title, MB_YESNO | MB_DEFBUTTON1 | MB_APPLMODAL);
    return answer == IDYES ? Answer::Yes : Answer::No;
}

namespace {
bool reported = false;  // the program's first failure is shown
}  // namespace

void useBoxTexts(platform::BoxTexts texts) {
    boxTexts = std::move(texts);
}

void reportFailure(HWND owner, const std::string& message) {
    if (std::exchange(reported, true)) {
        return;
    }
    messageBox(owner, message, boxTexts.errorTitle, MB_OK | MB_ICONERROR | MB_TASKMODAL);
    PostQuitMessage(1);
}

bool failureReported() {
    return reported;
}

void Win32FatalReport::report(const std::string& message) {
    reportFailure(owner_, message);
}

void writeStandard(DWORD which, const std::string& text) {
    HANDLE out = GetStdHandle(which);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) &&
        AttachConsole(ATTACH_PARENT_PROCESS) != 0) {
        out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
    }
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        return;  // nowhere to write: started from the desktop
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode) != 0) {
        const std::wstring wide = widen(text);
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::string bytes;
    for (const char c : text) {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace winforms
