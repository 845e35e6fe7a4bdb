// SPDX-License-Identifier: MIT
// The platform's boxes as plain Win32 provides them: the Yes/No question
// and the report of an untrapped failure.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "platform/platform.h"

namespace winforms {

// Whether a WM_KEYDOWN or WM_SYSKEYDOWN repeats a key held down: bit 30 of
// its lParam says the key was already down.
inline bool repeatedPress(LPARAM lParam) {
    return (static_cast<unsigned long>(lParam) & (1UL << 30U)) != 0;
}

// The words of the boxes' buttons and the error box's title. Call once,
// before any box opens.
void useBoxTexts(platform::BoxTexts texts);

// The system's message box with "Sì" and "No" whatever the system's
// language; no icon, Yes the default, centred on the owner.
class Win32Question : public platform::Question {
  public:
    // The window the box belongs to, once it exists.
    void setOwner(HWND owner) { owner_ = owner; }
    Answer ask(const std::string& prompt, const std::string& title) override;

  private:
    HWND owner_ = nullptr;
};

// The error box (error icon, titled as the window) over the owner, then
// the message loop is told to end with status 1. Only the first failure of
// the program is shown: one that comes while its box is open (a repaint
// failing again) is passed over, as the program ends anyway.
void reportFailure(HWND owner, const std::string& message);
// Whether a failure has been reported: the program's status is then 1.
bool failureReported();

// The board's failures, through reportFailure.
class Win32FatalReport : public platform::FatalReport {
  public:
    // The window whose failure it reports.
    void setOwner(HWND owner) { owner_ = owner; }
    void report(const std::string& message) override;

  private:
    HWND owner_ = nullptr;
};

// Writes UTF-8 text to standard output or standard error (STD_OUTPUT_HANDLE,
// STD_ERROR_HANDLE): to a console in UTF-16, to a file or a pipe as UTF-8
// with CR LF line ends. A program of the windows subsystem started from a
// command prompt has no handles of its own: it writes to that console.
void writeStandard(DWORD which, const std::string& text);

}  // namespace winforms
