// SPDX-License-Identifier: MIT
// The files the program touches, behind one small seam: the folder that
// holds the executable, and a file opened for durable appending. Each
// operating system has its own implementation; the core sees only these
// interfaces and the portable reasons below.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// A path exactly as the operating system gave it: bytes on POSIX, UTF-16
// on Windows. Never converted on its way to the system call that opens it.
using NativePath = std::filesystem::path;

// Why a file operation failed, in terms every platform can report.
enum class FileError {
    AccessDenied,
    NotFound,
    NotADirectory,
    IsADirectory,
    NotRegular,  // a device, a pipe, a socket: anything but a plain file
    ReadOnly,
    DiskFull,
    QuotaExceeded,
    IoError,
    NameTooLong,
    InvalidName,  // a name in the path the file system does not take
    BadPath,      // a path whose form the system does not take
    TooManyOpen,
    SymlinkLoop,
    TooLarge,  // a write past the largest file the system or the program's limit allows
    Overflow,  // a file too large for the system to open
    Busy,
    NoFolder,  // the folder of the executable could not be found
    Other,
};

// A failed file operation: the portable reason, the system's own code and,
// where it has one, the system's own text (any language, may be empty).
struct FileFailure {
    FileError reason = FileError::Other;
    int code = 0;
    std::string systemText;
};

// Thrown by the file seam. Carries a FileFailure; the caller turns it into
// the message the user reads.
class FileException : public std::exception {
  public:
    explicit FileException(FileFailure failure) : failure_(std::move(failure)) {}
    const FileFailure& failure() const { return failure_; }
    const char* what() const noexcept override { return "file operation failed"; }

  private:
    FileFailure failure_;
};

// A file open for appending. Every record lands whole at the end of the
// file, after whatever another program appended meanwhile, or not at all.
class AppendFile {
  public:
    virtual ~AppendFile() = default;
    // Appends the bytes as one record and forces them to disk before
    // returning. On failure nothing of the record stays in the file and
    // FileException is thrown; what was there before is untouched.
    virtual void append(std::string_view record) = 0;
    // Closes the file; throws FileException if the system reports a failure.
    // The destructor closes a file still open, silently.
    virtual void close() = 0;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // Opens a plain file for appending, creating it empty if absent, without
    // reading or changing what it holds. Never blocks: a pipe, a device or
    // anything else that is not a plain file fails with NotRegular.
    virtual std::unique_ptr<AppendFile> openForAppend(const NativePath& path) = 0;
};

// The folder that holds the running executable, as the operating system
// names it. Throws FileException (NoFolder) when it cannot be found.
class AppFolder {
  public:
    virtual ~AppFolder() = default;
    virtual NativePath path() = 0;
};

// The path for the user to read, in UTF-8: whatever is not valid in the
// system's encoding (bytes on POSIX, UTF-16 on Windows) is shown as U+FFFD,
// so an odd folder name still reads sensibly. Each system's file layer has
// its own.
std::string displayPath(const NativePath& path);

}  // namespace platform
