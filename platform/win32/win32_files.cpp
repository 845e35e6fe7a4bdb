// SPDX-License-Identifier: MIT
#include "platform/win32/win32_files.h"

#include <utility>
#include <vector>

namespace platform {

namespace {

// The log's lock, held while this lives: an exclusive lock on one byte at
// 2^62, where no log ever reaches and so no program ever reads or writes.
// Other boards wait for it; a file system that cannot lock gets the append
// unlocked.
class AppendLock {
  public:
    explicit AppendLock(HANDLE guard) : guard_(guard) {
        at_.OffsetHigh = 1U << 30U;
        locked_ = guard_ != INVALID_HANDLE_VALUE &&
                  LockFileEx(guard_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at_) != 0;
    }
    AppendLock(const AppendLock&) = delete;
    AppendLock& operator=(const AppendLock&) = delete;
    ~AppendLock() {
        if (locked_) {
            UnlockFileEx(guard_, 0, 1, 0, &at_);
        }
    }

  private:
    HANDLE guard_;
    OVERLAPPED at_{};
    bool locked_ = false;
};

// The handle of a file open for appending. Each record is one WriteFile of
// all its bytes, then FlushFileBuffers, under the lock. A second handle, the
// guard, holds the lock and cuts a torn record off: the append-only handle
// can do neither.
class Win32AppendFile : public AppendFile {
  public:
    Win32AppendFile(HANDLE handle, HANDLE guard, Win32AppendCalls calls)
        : handle_(handle), guard_(guard), calls_(calls) {}
    Win32AppendFile(const Win32AppendFile&) = delete;
    Win32AppendFile& operator=(const Win32AppendFile&) = delete;
    ~Win32AppendFile() override {
        for (const HANDLE h : {handle_, guard_}) {
            if (h != INVALID_HANDLE_VALUE) {
                CloseHandle(h);
            }
        }
    }

    void append(std::string_view record) override {
        if (handle_ == INVALID_HANDLE_VALUE) {
            throw FileException(fileFailure(ERROR_INVALID_HANDLE));
        }
        const AppendLock lock(guard_);
        // Under the lock no other board appends, so our bytes start here.
        LARGE_INTEGER before{};
        const bool sized = GetFileSizeEx(handle_, &before) != 0;
        DWORD written = 0;
        const bool wrote = calls_.write(handle_, record.data(), static_cast<DWORD>(record.size()),
                                        &written, nullptr) != 0;
        const bool whole = wrote && written == record.size();
        DWORD error = 0;
        if (!wrote || (whole && calls_.flush(handle_) == 0)) {
            error = GetLastError();
        } else if (!whole) {
            error = ERROR_HANDLE_DISK_FULL;  // a short write: the disk took no more
        }
        if (error != 0) {
            if (written > 0 && sized) {
                takeBack(before.QuadPart, written);
            }
            throw FileException(fileFailure(error));
        }
    }

    void close() override {
        if (guard_ != INVALID_HANDLE_VALUE) {
            CloseHandle(std::exchange(guard_, INVALID_HANDLE_VALUE));
        }
        const HANDLE h = std::exchange(handle_, INVALID_HANDLE_VALUE);
        if (h != INVALID_HANDLE_VALUE && CloseHandle(h) == 0) {
            throw FileException(fileFailure(GetLastError()));
        }
    }

  private:
    // Removes the part of a record that a failed write or flush left, but
    // only while the file still ends with it: bytes that a program which
    // does not take the lock appended after it are never cut.
    void takeBack(LONGLONG start, DWORD written) {
        LARGE_INTEGER now{};
        LARGE_INTEGER at{};
        at.QuadPart = start;
        if (guard_ != INVALID_HANDLE_VALUE && GetFileSizeEx(guard_, &now) != 0 &&
            now.QuadPart == start + written &&
            SetFilePointerEx(guard_, at, nullptr, FILE_BEGIN) != 0) {
            SetEndOfFile(guard_);
        }
    }

    HANDLE handle_;
    HANDLE guard_;
    Win32AppendCalls calls_;
};

FileError reasonOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_NETWORK_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return FileError::AccessDenied;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return FileError::NotFound;
        case ERROR_INVALID_NAME:
            return FileError::InvalidName;
        case ERROR_BAD_PATHNAME:
            return FileError::BadPath;
        case ERROR_DIRECTORY:
            return FileError::NotADirectory;
        case ERROR_WRITE_PROTECT:
            return FileError::ReadOnly;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FileError::DiskFull;
        case 1295:  // ERROR_DISK_QUOTA_EXCEEDED
            return FileError::QuotaExceeded;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW:  // "the file name is too long"
            return FileError::NameTooLong;
        case ERROR_TOO_MANY_OPEN_FILES:
            return FileError::TooManyOpen;
        case ERROR_CANT_RESOLVE_FILENAME:
            return FileError::SymlinkLoop;
        case ERROR_FILE_TOO_LARGE:
            return FileError::TooLarge;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_BUSY:
            return FileError::Busy;
        case ERROR_NOT_READY:
        case ERROR_NO_MEDIA_IN_DRIVE:
        case ERROR_CRC:
        case ERROR_SECTOR_NOT_FOUND:
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_IO_DEVICE:
        case ERROR_UNEXP_NET_ERR:
        case ERROR_NETNAME_DELETED:
            return FileError::IoError;
        default:
            return FileError::Other;
    }
}

std::string systemText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring s(text != nullptr ? text : L"", n);
    LocalFree(text);
    while (!s.empty() &&
           (s.back() == L'\r' || s.back() == L'\n' || s.back() == L' ' || s.back() == L'.')) {
        s.pop_back();
    }
    return narrow(s);
}

}  // namespace

// A surrogate without its pair becomes U+FFFD.
std::string displayPath(const NativePath& path) {
    return narrow(path.native());
}

FileFailure fileFailure(DWORD error) {
    return {reasonOf(error), static_cast<int>(error), systemText(error)};
}

std::wstring longPathForm(std::wstring_view path) {
    const auto slash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    std::wstring full;
    if (path.size() >= 3 && path[1] == L':' && slash(path[2])) {
        full = L"\\\\?\\";
    } else if (path.size() >= 3 && slash(path[0]) && slash(path[1]) && path[2] != L'?' &&
               path[2] != L'.') {
        full = L"\\\\?\\UNC";
        path.remove_prefix(1);
    } else {
        return std::wstring(path);
    }
    // That form takes the path as it stands: only a backslash separates.
    for (const wchar_t c : path) {
        full += c == L'/' ? L'\\' : c;
    }
    return full;
}

std::unique_ptr<AppendFile> Win32FileSystem::openForAppend(const NativePath& path) {
    // Beyond MAX_PATH the plain form fails; below it, it stays as it was.
    const std::wstring name =
        path.native().size() < MAX_PATH ? path.native() : longPathForm(path.native());
    const HANDLE h = CreateFileW(name.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        FileFailure failure = fileFailure(error);
        // A folder where the file should be is refused as access denied.
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            failure.reason = FileError::IsADirectory;
        }
        throw FileException(failure);
    }
    // The guard asks for no sharing the append handle does not already ask
    // for. Where the file grants appending only, there is none: records go
    // in unlocked and a torn one stays, as on a POSIX append-only file.
    const HANDLE guard =
        CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    auto file = std::make_unique<Win32AppendFile>(h, guard, calls_);
    if (GetFileType(h) != FILE_TYPE_DISK) {
        throw FileException({FileError::NotRegular, 0, {}});
    }
    return file;
}

std::wstring folderOf(std::wstring_view modulePath) {
    const std::size_t slash = modulePath.find_last_of(L"\\/");
    if (slash == std::wstring_view::npos) {
        return {};
    }
    // "X:\tabellone.exe" lies in "X:\", whose name keeps its backslash.
    const bool driveRoot = slash == 2 && modulePath[1] == L':';
    return std::wstring(modulePath.substr(0, driveRoot ? slash + 1 : slash));
}

NativePath Win32AppFolder::path() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            const DWORD error = GetLastError();
            throw FileException({FileError::NoFolder, static_cast<int>(error), systemText(error)});
        }
        if (n < buffer.size()) {
            std::wstring folder = folderOf(std::wstring_view(buffer.data(), n));
            if (folder.empty()) {
                throw FileException({FileError::NoFolder, 0, {}});
            }
            return {std::move(folder)};
        }
        // Cut short: the path is longer than the buffer.
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace platform
