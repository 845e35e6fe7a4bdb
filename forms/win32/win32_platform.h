// The platform interfaces as plain Win32 provides them: the folder of the
// executable, the log file's appending, the Yes/No question and the report
// of an untrapped failure. Paths stay UTF-16 from the system to the call
// that opens them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "forms/files.h"
#include "forms/platform.h"

namespace winforms {

// UTF-8 to UTF-16 and back; invalid input turns into U+FFFD.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The portable reason for a Win32 error code, with the code and the
// system's own text for it (in the system's language, as UTF-8).
forms::FileFailure fileFailure(DWORD error);

// Appends through one handle opened with FILE_APPEND_DATA, so every write
// lands after the last byte whoever else appended. Other programs may read
// and write the file meanwhile.
class Win32FileSystem : public forms::FileSystem {
  public:
    std::unique_ptr<forms::AppendFile> openForAppend(const forms::NativePath& path) override;
};

// The folder of the running executable, from GetModuleFileNameW, however
// long. A drive's root keeps its backslash ("X:\").
class Win32AppFolder : public forms::AppFolder {
  public:
    forms::NativePath path() override;
};

// The folder part of a module's full path, as above.
std::wstring folderOf(std::wstring_view modulePath);

// The system's message box with "Sì" and "No" whatever the system's
// language; no icon, Yes the default, centred on the owner.
class Win32Question : public forms::Question {
  public:
    explicit Win32Question(HWND owner) : owner_(owner) {}
    Answer ask(const std::string& prompt, const std::string& title) override;

  private:
    HWND owner_;
};

// The error box (error icon, titled as the window), then the message loop
// is told to end with status 1.
class Win32FatalReport : public forms::FatalReport {
  public:
    explicit Win32FatalReport(std::string title) : title_(std::move(title)) {}
    void setOwner(HWND owner) { owner_ = owner; }
    void report(const std::string& message) override;

  private:
    std::string title_;
    HWND owner_ = nullptr;
};

}  // namespace winforms
