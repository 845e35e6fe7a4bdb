// SPDX-License-Identifier: MIT
// The round log: an append-only text file beside the executable with a
// header for every new round and a record for every call. Written, never
// read. Bytes are ASCII with CR LF line ends, and stay exactly as other
// runs and other programs expect them.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/platform.h"

namespace roundlog {

inline constexpr const char* kFileName = "logSorvina.txt";

// The log's path: the folder, the platform's separator, the file name.
// Nothing is added, removed or tested where the two meet, so a folder that
// ends with a separator (a root) gives two in a row.
platform::NativePath pathIn(const platform::NativePath& folder);

// A text between double quotes, then CR LF. Nothing inside is escaped.
std::string quotedItem(std::string_view text);
// "#yyyy-mm-dd hh:mm:ss#" then CR LF; "#yyyy-mm-dd#" at exactly 00:00:00.
std::string dateItem(const platform::LocalTime& t);
// The record of one call: the cell's text and CR LF, quoted.
std::string callRecord(std::string_view cellText);
// The four items that open a round; the clock is read after the first two.
std::string roundHeader(platform::Clock& clock);

// Why a file operation failed, as the user reads it: always Italian, the
// system's own text in parentheses where only that can say more.
std::string italianReason(const platform::FileFailure& failure);

class RoundLog {
  public:
    RoundLog(platform::AppFolder& folder, platform::FileSystem& files, platform::Clock& clock);
    RoundLog(const RoundLog&) = delete;
    RoundLog& operator=(const RoundLog&) = delete;
    // Closes the file if it is still open, without reporting anything.
    ~RoundLog();

    // Where the log is; empty until open() has asked for the folder.
    const platform::NativePath& path() const { return path_; }

    // Finds the program's folder and opens the file in it for appending,
    // creating it empty if absent. What it holds already is never read or
    // changed.
    void open();
    // Each record lands whole at the end of the file and is on disk when
    // the call returns, or nothing of it is written.
    void appendCall(std::string_view cellText);
    void appendHeader();
    void close();

    // Every failure throws platform::FatalError with an Italian message that
    // names the file and the reason.

  private:
    void append(const std::string& bytes);

    platform::AppFolder& folder_;
    platform::FileSystem& files_;
    platform::Clock& clock_;
    platform::NativePath path_;
    std::unique_ptr<platform::AppendFile> file_;
};

}  // namespace roundlog
