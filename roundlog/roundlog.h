// The round log: an append-only text file beside the executable with a
// header for every new round and a record for every call. Written, never
// read. Bytes are ASCII with CR LF line ends, and stay exactly as other
// runs and other programs expect them.
#pragma once

#include <string>
#include <string_view>

#include "forms/platform.h"

namespace roundlog {

inline constexpr const char* kFileName = "logSorvina.txt";

// The log's path: the folder, the platform's separator, the file name.
// Nothing is added, removed or tested where the two meet.
std::string pathIn(std::string_view folder);

// A text between double quotes, then CR LF. Nothing inside is escaped.
std::string quotedItem(std::string_view text);
// "#yyyy-mm-dd hh:mm:ss#" then CR LF; "#yyyy-mm-dd#" at exactly 00:00:00.
std::string dateItem(const forms::LocalTime& t);
// The record of one call: the cell's text and CR LF, quoted.
std::string callRecord(std::string_view cellText);
// The four items that open a round; the clock is read after the first two.
std::string roundHeader(forms::Clock& clock);

class RoundLog {
  public:
    RoundLog(std::string path, forms::Clock& clock);
    RoundLog(const RoundLog&) = delete;
    RoundLog& operator=(const RoundLog&) = delete;
    // Closes the file if it is still open, without reporting anything.
    ~RoundLog();

    const std::string& path() const { return path_; }
    bool isOpen() const { return fd_ >= 0; }

    // Opens the file for appending, creating it empty if absent. What it
    // holds already is never read or changed.
    void open();
    void appendCall(std::string_view cellText);
    void appendHeader();
    void close();

    // Every failure throws forms::FatalError with an Italian message that
    // names the file and the system's reason.

  private:
    // One write of the whole record at the end of the file, then synced to
    // disk before returning: a call the caller has seen is never lost.
    void append(const std::string& bytes);

    std::string path_;
    forms::Clock& clock_;
    int fd_ = -1;
};

}  // namespace roundlog
