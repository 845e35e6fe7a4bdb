// SPDX-License-Identifier: MIT
// The Windows side of the file seam: the folder of the executable and a
// file opened for durable appending. Paths stay UTF-16 from the system to
// the call that opens them, so a folder named in any script works.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/win32/utf16.h"

namespace platform {

// The portable reason for a Win32 error code, with the code and the
// system's own text for it (in the system's language, as UTF-8).
FileFailure fileFailure(DWORD error);

// The calls that put a record in and force it to disk, which a test may
// replace to make them fail part way. By default, the system's own.
struct Win32AppendCalls {
    decltype(&WriteFile) write = WriteFile;
    decltype(&FlushFileBuffers) flush = FlushFileBuffers;
};

// Appends through a handle opened with FILE_APPEND_DATA, so every write
// lands after the last byte whoever else appended. Other programs may read
// and write the file meanwhile. Each append holds an exclusive lock for
// its whole step, on one byte far past any real end of file: two boards on
// one log take turns, and a program that only reads or writes the log's
// bytes never meets the lock, mandatory as locks are on Windows.
class Win32FileSystem : public FileSystem {
  public:
    Win32FileSystem() = default;
    explicit Win32FileSystem(Win32AppendCalls calls) : calls_(calls) {}
    std::unique_ptr<AppendFile> openForAppend(const NativePath& path) override;

  private:
    Win32AppendCalls calls_;
};

// The form of a full path that the system opens at any length: "\\?\C:\..."
// for a drive, "\\?\UNC\server\share\..." for a network share. A path
// already in that form, or in any other, comes back unchanged.
std::wstring longPathForm(std::wstring_view path);

// The folder of the running executable, from GetModuleFileNameW, however
// long its path.
class Win32AppFolder : public AppFolder {
  public:
    NativePath path() override;
};

// The folder part of a module's full path. A drive's root keeps its
// backslash ("X:\"), as the system names it.
std::wstring folderOf(std::wstring_view modulePath);

}  // namespace platform
