// SPDX-License-Identifier: MIT
// The file seam on POSIX systems (Linux first): paths are bytes, handed to
// the system exactly as they came.
#pragma once

#include <unistd.h>

#include <memory>
#include <string>

#include "platform/files.h"

namespace platform {

// The call that forces a record to disk, which a test may replace: no file
// system fails it on demand. By default, fsync(2).
struct PosixAppendCalls {
    int (*flush)(int fd) = ::fsync;
};

// Plain files opened with open(2) for appending. Each record is reserved,
// written and fsync'ed under an exclusive flock(2), held for that one
// append: two boards on one log take turns, and neither cuts the other's
// bytes when it takes back a record of its own.
//
// A record that would take the file past its size limit (RLIMIT_FSIZE)
// must fail like any other write, not end the program: made while SIGXFSZ
// has its default action (which kills), the seam has the process ignore
// it, so the write fails with EFBIG and the record is taken back. A
// handler the program set itself is left in place.
class PosixFileSystem : public FileSystem {
  public:
    PosixFileSystem() : PosixFileSystem(PosixAppendCalls{}) {}
    explicit PosixFileSystem(PosixAppendCalls calls);
    std::unique_ptr<AppendFile> openForAppend(const NativePath& path) override;

  private:
    PosixAppendCalls calls_;
};

// The folder of /proc/self/exe: the executable as the kernel ran it, with
// symbolic links resolved. Another link may be named, for tests.
class PosixAppFolder : public AppFolder {
  public:
    explicit PosixAppFolder(std::string link = "/proc/self/exe") : link_(std::move(link)) {}
    NativePath path() override;

  private:
    std::string link_;
};

// The portable reason for an errno value, with the system's text.
FileFailure posixFailure(int error);

}  // namespace platform
