#include "roundlog/roundlog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace roundlog {

namespace {

constexpr std::string_view kCrLf = "\r\n";
const std::string kRule(34, '-');

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The system's reason for a failure, in Italian.
std::string reason(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return "permesso negato";
        case ENOENT:
            return "la cartella o il file non esiste";
        case ENOTDIR:
            return "una parte del percorso non è una cartella";
        case EISDIR:
            return "al suo posto c'è una cartella";
        case EROFS:
            return "il disco è di sola lettura";
        case ENOSPC:
            return "il disco è pieno";
        case EDQUOT:
            return "lo spazio disponibile è esaurito";
        case EIO:
            return "errore di lettura o scrittura sul disco";
        case ENAMETOOLONG:
            return "il percorso è troppo lungo";
        case EMFILE:
        case ENFILE:
            return "troppi file aperti";
        default:
            return "errore di sistema " + std::to_string(error) + " (" + std::strerror(error) + ")";
    }
}

[[noreturn]] void fail(const char* what, const std::string& path, int error) {
    throw forms::FatalError(std::string(what) + " il registro delle estrazioni\n\n" + path +
                            "\n\nMotivo: " + reason(error) + ".\n\nIl tabellone verrà chiuso.");
}

std::string twoDigits(int v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

}  // namespace

std::string pathIn(std::string_view folder) {
    std::string path(folder);
    path += kSeparator;
    path += kFileName;
    return path;
}

std::string quotedItem(std::string_view text) {
    std::string item;
    item.reserve(text.size() + 4);
    item += '"';
    item += text;
    item += '"';
    item += kCrLf;
    return item;
}

std::string dateItem(const forms::LocalTime& t) {
    std::string year = std::to_string(t.year);
    year.insert(0, year.size() < 4 ? 4 - year.size() : 0, '0');
    std::string item = "#" + year + "-" + twoDigits(t.month) + "-" + twoDigits(t.day);
    if (t.hour != 0 || t.minute != 0 || t.second != 0) {
        item += " " + twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second);
    }
    item += "#";
    item += kCrLf;
    return item;
}

std::string callRecord(std::string_view cellText) {
    std::string text(cellText);
    text += kCrLf;
    return quotedItem(text);
}

std::string roundHeader(forms::Clock& clock) {
    const std::string rule = std::string(kCrLf) + kRule;
    std::string header = quotedItem(rule);
    header += quotedItem(std::string(kCrLf) + "NUOVO GIRO DI SORVINA");
    header += dateItem(clock.now());
    header += quotedItem(rule);
    return header;
}

RoundLog::RoundLog(std::string path, forms::Clock& clock) : path_(std::move(path)), clock_(clock) {}

RoundLog::~RoundLog() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void RoundLog::open() {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        fail("Impossibile aprire", path_, errno);
    }
    fd_ = fd;
}

void RoundLog::appendCall(std::string_view cellText) {
    append(callRecord(cellText));
}

void RoundLog::appendHeader() {
    append(roundHeader(clock_));
}

void RoundLog::append(const std::string& bytes) {
    if (fd_ < 0) {
        fail("Impossibile scrivere", path_, EBADF);
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("Impossibile scrivere", path_, errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd_) != 0) {
        fail("Impossibile scrivere", path_, errno);
    }
}

void RoundLog::close() {
    if (fd_ < 0) {
        return;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        fail("Impossibile chiudere", path_, errno);
    }
}

}  // namespace roundlog
