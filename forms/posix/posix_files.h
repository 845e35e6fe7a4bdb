// The file seam on POSIX systems (Linux first): paths are bytes, handed to
// the system exactly as they came.
#pragma once

#include <memory>
#include <string>

#include "forms/files.h"

namespace forms {

// Plain files opened with open(2) for appending, each record reserved,
// written and fsync'ed before append returns.
class PosixFileSystem : public FileSystem {
  public:
    std::unique_ptr<AppendFile> openForAppend(const NativePath& path) override;
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

}  // namespace forms
