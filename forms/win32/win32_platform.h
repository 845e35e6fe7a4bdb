// The platform's boxes as plain Win32 provides them: the Yes/No question
// and the report of an untrapped failure.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "forms/platform.h"

namespace winforms {

// The system's message box with "Sì" and "No" whatever the system's
// language; no icon, Yes the default, centred on the owner.
class Win32Question : public forms::Question {
  public:
    // The window the box belongs to, once it exists.
    void setOwner(HWND owner) { owner_ = owner; }
    Answer ask(const std::string& prompt, const std::string& title) override;

  private:
    HWND owner_ = nullptr;
};

// The error box (error icon, titled as the window), then the message loop
// is told to end with status 1.
class Win32FatalReport : public forms::FatalReport {
  public:
    // The window whose failure it reports.
    void setOwner(HWND owner) { owner_ = owner; }
    void report(const std::string& message) override;

  private:
    HWND owner_ = nullptr;
};

}  // namespace winforms
