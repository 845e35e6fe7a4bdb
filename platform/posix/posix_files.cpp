// SPDX-License-Identifier: MIT
#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <string_view>

namespace platform {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Bytes kept where they are valid UTF-8; each maximal run that starts a
// sequence but cannot finish it, and each stray byte, becomes one U+FFFD.
std::string utf8From(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out += bytes[i++];
            continue;
        }
        // The length of the sequence and the range its second byte must be in.
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
            high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
        }
        std::size_t valid = length == 0 ? 0 : 1;
        while (valid > 0 && valid < length && i + valid < bytes.size()) {
            const auto b = static_cast<unsigned char>(bytes[i + valid]);
            if (b < (valid == 1 ? low : 0x80) || b > (valid == 1 ? high : 0xBF)) {
                break;
            }
            ++valid;
        }
        if (length != 0 && valid == length) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            out += kReplacement;
            i += valid == 0 ? 1 : valid;
        }
    }
    return out;
}

[[noreturn]] void throwErrno(int error) {
    throw FileException(posixFailure(error));
}

// Opens a path longer than the system takes in one call, one folder at a
// time from the root (or the working folder for a relative path). Returns
// -1 with errno set on failure, like open(2).
int openInSteps(const std::string& path, int flags) {
#ifdef O_PATH
    constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;  // needs search right only
#else
    constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
    int dir = AT_FDCWD;
    std::size_t start = 0;
    if (!path.empty() && path.front() == '/') {
        dir = ::open("/", kFolderFlags);
        if (dir < 0) {
            return -1;
        }
    }
    const auto release = [&dir] {
        if (dir != AT_FDCWD) {
            const int saved = errno;
            ::close(dir);
            errno = saved;
        }
    };
    for (;;) {
        const std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) {
            break;
        }
        if (slash > start) {  // empty names between repeated slashes are skipped
            const int next = ::openat(dir, path.substr(start, slash - start).c_str(), kFolderFlags);
            if (next < 0) {
                release();
                return -1;
            }
            release();
            dir = next;
        }
        start = slash + 1;
    }
    const std::string name = start < path.size() ? path.substr(start) : std::string(".");
    const int fd = ::openat(dir, name.c_str(), flags, 0666);
    release();
    return fd;
}

// An exclusive flock(2) on the log for as long as it lives: other boards
// wait to append, so the end of the file is ours from the write to the
// take-back of a torn record. Advisory, so programs that only read the log
// never wait. A file system that cannot lock gets the append unlocked.
class AppendLock {
  public:
    explicit AppendLock(int fd) : fd_(fd) {
        while (!(locked_ = ::flock(fd_, LOCK_EX) == 0) && errno == EINTR) {
        }
    }
    AppendLock(const AppendLock&) = delete;
    AppendLock& operator=(const AppendLock&) = delete;
    ~AppendLock() {
        if (locked_) {
            ::flock(fd_, LOCK_UN);
        }
    }

  private:
    int fd_;
    bool locked_ = false;
};

class PosixAppendFile : public AppendFile {
  public:
    PosixAppendFile(int fd, PosixAppendCalls calls) : fd_(fd), calls_(calls) {}
    PosixAppendFile(const PosixAppendFile&) = delete;
    PosixAppendFile& operator=(const PosixAppendFile&) = delete;
    ~PosixAppendFile() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    void append(std::string_view record) override;
    void close() override;

  private:
    void reserve(std::size_t length);
    bool takeBack(off_t start, std::size_t length);

    int fd_;
    PosixAppendCalls calls_;
};

// Asks the file system for the record's room beyond the end before writing
// anything, so that a full disk usually shows here, with nothing written.
// Where reserving is not supported, or fails for a reason the write itself
// will meet, the write goes ahead and reports it.
void PosixAppendFile::reserve(std::size_t length) {
#ifdef FALLOC_FL_KEEP_SIZE
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        throwErrno(errno);
    }
    while (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, st.st_size, static_cast<off_t>(length)) != 0) {
        if (errno == ENOSPC || errno == EDQUOT) {
            throwErrno(errno);
        }
        if (errno != EINTR) {
            return;
        }
    }
#else
    (void)length;
#endif
}

// Removes a torn record: our `length` bytes from `start`, but only while
// they are still the last bytes of the file, so that nothing a program
// appended after them without the lock is ever cut.
bool PosixAppendFile::takeBack(off_t start, std::size_t length) {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 && st.st_size == start + static_cast<off_t>(length) &&
           ::ftruncate(fd_, start) == 0;
}

void PosixAppendFile::append(std::string_view record) {
    if (fd_ < 0) {
        throwErrno(EBADF);
    }
    const AppendLock lock(fd_);
    reserve(record.size());
    // Where our bytes start, and whether they still run on without another
    // writer's bytes between them; only then can a torn record be removed.
    off_t start = -1;
    bool together = true;
    std::size_t done = 0;
    while (done < record.size()) {
        const ssize_t n = ::write(fd_, record.data() + done, record.size() - done);
        if (n <= 0) {
            const int error = n == 0 ? EIO : errno;
            if (error == EINTR) {
                continue;
            }
            if (done > 0 && together) {
                takeBack(start, done);
            }
            throwErrno(error);
        }
        const off_t end = ::lseek(fd_, 0, SEEK_CUR);  // O_APPEND: just past our bytes
        if (done == 0) {
            start = end - n;
        }
        together =
            together && end >= 0 && start >= 0 && end - n == start + static_cast<off_t>(done);
        done += static_cast<std::size_t>(n);
    }
    int synced = 0;
    while ((synced = calls_.flush(fd_)) != 0 && errno == EINTR) {
    }
    // EINVAL: this file system cannot sync; the record is written all the same.
    if (synced != 0 && errno != EINVAL) {
        const int error = errno;
        if (together) {
            takeBack(start, done);
        }
        throwErrno(error);
    }
}

void PosixAppendFile::close() {
    if (fd_ < 0) {
        return;
    }
    const int fd = fd_;
    fd_ = -1;
    // After EINTR the descriptor is gone on Linux and nothing is lost: the
    // records were synced as they were written.
    if (::close(fd) != 0 && errno != EINTR) {
        throwErrno(errno);
    }
}

}  // namespace

std::string displayPath(const NativePath& path) {
    return utf8From(path.native());
}

FileFailure posixFailure(int error) {
    FileError reason = FileError::Other;
    switch (error) {
        case EACCES:
        case EPERM:
            reason = FileError::AccessDenied;
            break;
        case ENOENT:
            reason = FileError::NotFound;
            break;
        case ENOTDIR:
            reason = FileError::NotADirectory;
            break;
        case EISDIR:
            reason = FileError::IsADirectory;
            break;
        case ENXIO:  // a pipe with no reader, a socket
        case ENODEV:
            reason = FileError::NotRegular;
            break;
        case EROFS:
            reason = FileError::ReadOnly;
            break;
        case ENOSPC:
            reason = FileError::DiskFull;
            break;
        case EDQUOT:
            reason = FileError::QuotaExceeded;
            break;
        case EIO:
        case ESTALE:    // a network file gone from its server
        case ENOTCONN:  // a user-space file system gone
#ifdef ENOMEDIUM
        case ENOMEDIUM:  // a removable disk taken out
#endif
            reason = FileError::IoError;
            break;
        case ENAMETOOLONG:
            reason = FileError::NameTooLong;
            break;
        case EINVAL:  // the only one the seam reports: open, on a name the file system refuses
        case EILSEQ:
            reason = FileError::InvalidName;
            break;
        case EMFILE:
        case ENFILE:
            reason = FileError::TooManyOpen;
            break;
        case ELOOP:
            reason = FileError::SymlinkLoop;
            break;
        case EFBIG:  // past the file system's largest file, or the process's limit
            reason = FileError::TooLarge;
            break;
        case EOVERFLOW:  // too large to be opened at all
            reason = FileError::Overflow;
            break;
        case ETXTBSY:
        case EBUSY:
        case EAGAIN:  // a lease held by another program
            reason = FileError::Busy;
            break;
        default:
            break;
    }
    return FileFailure{reason, error, std::strerror(error)};
}

PosixFileSystem::PosixFileSystem(PosixAppendCalls calls) : calls_(calls) {
    struct sigaction now {};
    if (::sigaction(SIGXFSZ, nullptr, &now) == 0 && now.sa_handler == SIG_DFL) {
        ::signal(SIGXFSZ, SIG_IGN);
    }
}

std::unique_ptr<AppendFile> PosixFileSystem::openForAppend(const NativePath& path) {
    // O_NONBLOCK: a pipe without a reader fails at once instead of waiting.
    constexpr int kFlags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK;
    int fd = ::open(path.c_str(), kFlags, 0666);
    if (fd < 0 && errno == ENAMETOOLONG) {
        fd = openInSteps(path.native(), kFlags);
    }
    if (fd < 0) {
        throwErrno(errno);
    }
    auto file = std::make_unique<PosixAppendFile>(fd, calls_);  // closes fd on every way out
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        throwErrno(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        throw FileException(FileFailure{FileError::NotRegular, 0, {}});
    }
    // A plain file: writes wait as they normally do.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        throwErrno(errno);
    }
    return file;
}

NativePath PosixAppFolder::path() {
    // The link's length is not known in advance and has no fixed limit.
    std::string target(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(link_.c_str(), target.data(), target.size());
        if (n < 0) {
            FileFailure failure = posixFailure(errno);
            failure.reason = FileError::NoFolder;
            throw FileException(failure);
        }
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            break;
        }
        target.resize(target.size() * 2);
    }
    const std::size_t slash = target.rfind('/');
    if (slash == std::string::npos) {
        throw FileException(FileFailure{FileError::NoFolder, 0, {}});
    }
    target.resize(slash == 0 ? 1 : slash);  // "/tabellone" lies in "/"
    return {std::move(target)};
}

}  // namespace platform
