// SPDX-License-Identifier: MIT
#include "roundlog/roundlog.h"

#include <utility>

namespace roundlog {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kTitle = "NUOVO GIRO DI SORVINA";
constexpr std::size_t kRuleLength = 34;
constexpr std::string_view kClosing = ".\n\nIl tabellone verrà chiuso.";

[[noreturn]] void fail(std::string_view what, const platform::NativePath& path,
                       const std::string& reason) {
    std::string message(what);
    message += " il registro delle estrazioni\n\n";
    message += platform::displayPath(path);
    message += "\n\nMotivo: ";
    message += reason;
    message += kClosing;
    throw platform::FatalError(message);
}

void appendDigits(std::string& out, int value, std::size_t width) {
    const std::string digits = std::to_string(value);
    if (digits.size() < width) {
        out.append(width - digits.size(), '0');
    }
    out += digits;
}

// The text of a header item: CR LF, then the words.
std::string lineAfterBreak(std::string_view words) {
    std::string text(kCrLf);
    text += words;
    return text;
}

}  // namespace

platform::NativePath pathIn(const platform::NativePath& folder) {
    platform::NativePath::string_type path = folder.native();
    path.reserve(path.size() + 1 + std::string_view(kFileName).size());
    path += platform::NativePath::preferred_separator;
    for (const char c : std::string_view(kFileName)) {
        path += static_cast<platform::NativePath::value_type>(c);  // ASCII
    }
    return {std::move(path)};
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

std::string dateItem(const platform::LocalTime& t) {
    std::string item;
    item.reserve(23);
    item += '#';
    appendDigits(item, t.year, 4);
    item += '-';
    appendDigits(item, t.month, 2);
    item += '-';
    appendDigits(item, t.day, 2);
    if (t.hour != 0 || t.minute != 0 || t.second != 0) {
        item += ' ';
        appendDigits(item, t.hour, 2);
        item += ':';
        appendDigits(item, t.minute, 2);
        item += ':';
        appendDigits(item, t.second, 2);
    }
    item += '#';
    item += kCrLf;
    return item;
}

std::string callRecord(std::string_view cellText) {
    std::string text(cellText);
    text += kCrLf;
    return quotedItem(text);
}

std::string roundHeader(platform::Clock& clock) {
    const std::string rule = quotedItem(lineAfterBreak(std::string(kRuleLength, '-')));
    std::string header;
    header.reserve(130);
    header += rule;
    header += quotedItem(lineAfterBreak(kTitle));
    header += dateItem(clock.now());
    header += rule;
    return header;
}

std::string italianReason(const platform::FileFailure& failure) {
    using platform::FileError;
    switch (failure.reason) {
        case FileError::AccessDenied:
            return "permesso negato";
        case FileError::NotFound:
            return "la cartella o il file non esiste";
        case FileError::NotADirectory:
            return "una parte del percorso non è una cartella";
        case FileError::IsADirectory:
            return "al suo posto c'è una cartella";
        case FileError::NotRegular:
            return "non è un file normale";
        case FileError::ReadOnly:
            return "il disco è di sola lettura";
        case FileError::DiskFull:
            return "il disco è pieno";
        case FileError::QuotaExceeded:
            return "lo spazio disponibile è esaurito";
        case FileError::IoError:
            return "errore di lettura o scrittura sul disco";
        case FileError::NameTooLong:
            return "il percorso è troppo lungo";
        case FileError::InvalidName:
            return "un nome nel percorso non è valido";
        case FileError::BadPath:
            return "il percorso non è valido";
        case FileError::TooManyOpen:
            return "troppi file aperti";
        case FileError::SymlinkLoop:
            return "troppi collegamenti simbolici nel percorso";
        case FileError::TooLarge:
            return "il file ha raggiunto la dimensione massima consentita";
        case FileError::Overflow:
            return "il file è troppo grande per essere aperto";
        case FileError::Busy:
            return "il file è in uso da un altro programma";
        case FileError::NoFolder:
            return "il sistema non indica dove si trova il programma";
        case FileError::Other:
            break;
    }
    std::string reason = "errore di sistema ";
    reason += std::to_string(failure.code);
    if (!failure.systemText.empty()) {
        reason += " (";
        reason += failure.systemText;
        reason += ')';
    }
    return reason;
}

RoundLog::RoundLog(platform::AppFolder& folder, platform::FileSystem& files, platform::Clock& clock)
    : folder_(folder), files_(files), clock_(clock) {}

RoundLog::~RoundLog() = default;

void RoundLog::open() {
    platform::NativePath folder;
    try {
        folder = folder_.path();
    } catch (const platform::FileException& e) {
        std::string message =
            "Impossibile trovare la cartella del programma, dove si tiene il registro delle "
            "estrazioni.\n\nMotivo: ";
        message += italianReason(e.failure());
        message += kClosing;
        throw platform::FatalError(message);
    }
    path_ = pathIn(folder);
    try {
        file_ = files_.openForAppend(path_);
    } catch (const platform::FileException& e) {
        fail("Impossibile aprire", path_, italianReason(e.failure()));
    }
}

void RoundLog::appendCall(std::string_view cellText) {
    append(callRecord(cellText));
}

void RoundLog::appendHeader() {
    append(roundHeader(clock_));
}

void RoundLog::append(const std::string& bytes) {
    if (!file_) {
        fail("Impossibile scrivere", path_, "il registro non è aperto");
    }
    try {
        file_->append(bytes);
    } catch (const platform::FileException& e) {
        fail("Impossibile scrivere", path_, italianReason(e.failure()));
    }
}

void RoundLog::close() {
    if (!file_) {
        return;
    }
    const std::unique_ptr<platform::AppendFile> file = std::move(file_);
    try {
        file->close();
    } catch (const platform::FileException& e) {
        fail("Impossibile chiudere", path_, italianReason(e.failure()));
    }
}

}  // namespace roundlog
