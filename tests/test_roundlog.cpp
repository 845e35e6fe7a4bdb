// SPDX-License-Identifier: MIT
// The round log's bytes are read by other programs and by people comparing
// old rounds, so they are checked byte for byte, written out by hand. The
// file seam is tried on real files: odd and long folder names, pipes and
// devices in the log's place, and failed appends beside a second board.
#include <errno.h>  // program_invocation_short_name
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>

#include "fakes.h"
#include "roundlog/roundlog.h"

namespace {

using fakes::FixedClock;
using fakes::readFile;
using fakes::TempDir;
using platform::FileError;
using roundlog::RoundLog;

const std::string kFffd = "\xEF\xBF\xBD";

// A round log in the folder given, on the real file seam.
struct Log {
    explicit Log(const std::string& folder) : place(folder) {}
    fakes::FixedFolder place;
    platform::PosixFileSystem files;
    FixedClock clock;  // 2026-03-07 09:05:03
    RoundLog log{place, files, clock};
};

// The message a step fails with, or "" if it does not fail.
template <class Step>
std::string failure(Step step) {
    try {
        step();
    } catch (const platform::FatalError& e) {
        return e.what();
    }
    return "";
}
std::string openFailure(const std::string& folder) {
    return failure([&] { Log(folder).log.open(); });
}

// A file whose close the system refuses, as a share can report a write it
// lost only then.
struct CloseFails final : platform::FileSystem, platform::AppendFile {
    std::unique_ptr<platform::AppendFile> openForAppend(const platform::NativePath&) override {
        return std::make_unique<CloseFails>();
    }
    void append(std::string_view) override {}
    void close() override { throw platform::FileException({FileError::IoError, 5, ""}); }
};

TEST(RoundLog, PathsDatesAndNames) {
    // Folder, separator, name, with nothing tidied at the join.
    EXPECT_EQ(roundlog::pathIn("/opt/sorvina").native(), "/opt/sorvina/logSorvina.txt");
    EXPECT_EQ(roundlog::pathIn("x/").native(), "x//logSorvina.txt");
    EXPECT_EQ(roundlog::pathIn("/").native(), "//logSorvina.txt");
    // At midnight exactly the time is left out; a second later it is not.
    FixedClock clock;
    clock.time = {2026, 3, 7, 0, 0, 0};
    EXPECT_EQ(roundlog::roundHeader(clock),
              fakes::kRule + "\"\r\nNUOVO GIRO DI SORVINA\"\r\n#2026-03-07#\r\n" + fakes::kRule);
    EXPECT_EQ(roundlog::dateItem({2026, 3, 7, 0, 0, 1}), "#2026-03-07 00:00:01#\r\n");
    // Valid UTF-8 kept; an overlong form, a surrogate, a code point past
    // U+10FFFF and a cut-off sequence shown as one U+FFFD per broken piece.
    EXPECT_EQ(platform::displayPath("a\xE2\x82\xAC|\xC0\xAF|\xED\xA0\x80|\xF4\x90|\xE2\x82"),
              "a\xE2\x82\xAC|" + kFffd + kFffd + "|" + kFffd + kFffd + kFffd + "|" + kFffd + kFffd +
                  "|" + kFffd);
    // The executable lies in the folder the system gives for it, taken from
    // the link as bytes, however long; with no folder there, nothing is made up.
    EXPECT_TRUE(std::filesystem::equivalent(
        platform::PosixAppFolder().path() / program_invocation_short_name, "/proc/self/exe"));
    TempDir dir;
    const std::string far = "/sala/citt\xE0/" + std::string(300, 'p');
    for (const std::string& target : {far + "/tabellone", std::string("tabellone")}) {
        const std::string link = dir.path + "/exe" + std::to_string(target.size());
        std::filesystem::create_symlink(target, link);
        if (target == "tabellone") {
            EXPECT_THROW(platform::PosixAppFolder(link).path(), platform::FileException);
        } else {
            EXPECT_EQ(platform::PosixAppFolder(link).path().native(), far);
        }
    }
    EXPECT_THROW(platform::PosixAppFolder(dir.path + "/none").path(), platform::FileException);
}

// A round opened on 7 March 2026 at 09:05:03, then 5 and 42 called.
TEST(RoundLog, WorkedExampleFromAnEmptyFolder) {
    TempDir dir;
    Log l(dir.path);
    l.log.open();
    EXPECT_EQ(l.log.path().native(), dir.logPath());
    EXPECT_EQ(readFile(dir.logPath()), "");
    l.log.appendHeader();
    l.log.appendCall("5");
    l.log.appendCall("42");
    l.log.close();
    const std::string expected =
        "\"\r\n----------------------------------\"\r\n"
        "\"\r\nNUOVO GIRO DI SORVINA\"\r\n"
        "#2026-03-07 09:05:03#\r\n"
        "\"\r\n----------------------------------\"\r\n"
        "\"5\r\n\"\r\n"
        "\"42\r\n\"\r\n";
    EXPECT_EQ(expected.size(), 145U);
    EXPECT_EQ(readFile(dir.logPath()), expected);
}

TEST(RoundLog, NewRecordsFollowTheLastByteOfWhatIsThere) {
    TempDir dir;
    std::ofstream(dir.logPath(), std::ios::binary) << "vecchio giro\r\n\"17";  // no line end
    for (const char* text : {"7", "90"}) {  // two runs, each closed by the destructor
        Log l(dir.path);
        l.log.open();
        l.log.appendCall(text);
    }
    EXPECT_EQ(readFile(dir.logPath()), "vecchio giro\r\n\"17\"7\r\n\"\r\n\"90\r\n\"\r\n");
}

TEST(RoundLog, FailuresAreFatalAndSayWhyInItalian) {
    TempDir dir;
    const std::string missing = openFailure(dir.path + "/assente");
    EXPECT_NE(missing.find("/assente/logSorvina.txt\n\nMotivo: la cartella o il file non esiste."),
              std::string::npos)
        << missing;
    EXPECT_FALSE(std::filesystem::exists(dir.path + "/assente"));
    EXPECT_NE(openFailure("").find("Impossibile trovare la cartella del programma"),
              std::string::npos);
    EXPECT_NE(failure([&] { Log(dir.path).log.appendCall("3"); }), "");  // not a silent loss
    fakes::FixedFolder place(dir.path);
    CloseFails files;
    FixedClock clock;
    RoundLog closing(place, files, clock);
    closing.open();
    EXPECT_NE(failure([&] { closing.close(); }).find("Impossibile chiudere"), std::string::npos);

    // Never a plain file, and nothing waits for a reader: a pipe, a device.
    const std::string pipeDir = dir.path + "/pipe";
    std::filesystem::create_directory(pipeDir);
    ASSERT_EQ(::mkfifo((pipeDir + "/logSorvina.txt").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", dir.logPath());
    for (const std::string& folder : {pipeDir, dir.path}) {
        EXPECT_NE(openFailure(folder).find("Motivo: non è un file normale."), std::string::npos);
    }
    // A folder name that is not UTF-8 is shown readably.
    const std::string city = dir.path + "/citt\xE0";
    std::filesystem::create_directories(city + "/logSorvina.txt");
    EXPECT_NE(openFailure(city).find("/citt" + kFffd + "/logSorvina.txt\n\nMotivo: al suo posto"),
              std::string::npos)
        << openFailure(city);
}

TEST(RoundLog, OddAndLongFolderNamesWork) {
    TempDir dir;
    const std::string city = dir.path + "/citt\xE0";
    std::filesystem::create_directory(city);
    Log(city).log.open();
    EXPECT_TRUE(std::filesystem::is_regular_file(city + "/logSorvina.txt"));

    // Twenty-five folders of 200 letters: longer than any path the system
    // takes in one call, so built, read and removed one step at a time.
    const std::string name(200, 'd');
    const int home = ::open(".", O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::chdir(dir.path.c_str()), 0);
    std::string deep = dir.path;
    for (int i = 0; i < 25; ++i) {
        ASSERT_EQ(::mkdir(name.c_str(), 0700) | ::chdir(name.c_str()), 0);
        deep += "/" + name;
    }
    ASSERT_GT(deep.size(), static_cast<std::size_t>(PATH_MAX));
    {
        Log l(deep);
        l.log.open();
        l.log.appendCall("5");
        l.log.close();
    }
    EXPECT_EQ(readFile("logSorvina.txt"), fakes::record("5"));
    ::unlink("logSorvina.txt");
    for (int i = 0; i < 25; ++i) {
        ASSERT_EQ(::chdir("..") | ::rmdir(name.c_str()), 0);
    }
    ASSERT_EQ(::fchdir(home) | ::close(home), 0);
}

// Our line to the other board, and its move when told: 'b' append the
// record of 90 as a board does, under the lock; 'p' append a line without.
int other = -1;
char otherMove = 'b';
// Once our record is in, in part or whole (SIGXFSZ may come earlier, as room
// is reserved), the other moves, and we go on once it has: its answer is in,
// or, a board, it waits for our lock. Not within a minute: `otherStuck`.
std::string watched;
std::string watchedLock;  // the log as /proc/locks names it: " dev:inode "
off_t ours = 0;
bool otherStuck = false;

// Whether the system lists a process waiting for a lock on the log, as in
// "2: -> FLOCK  ADVISORY  WRITE 1234 fe:00:5678 0 EOF". Safe in a signal
// handler: no allocation.
bool aBoardWaitsForOurLock() {
    static char locks[1 << 16];
    const int fd = ::open("/proc/locks", O_RDONLY | O_CLOEXEC);
    std::size_t size = 0;
    ssize_t n = 0;
    while (fd >= 0 && size < sizeof locks &&
           (n = ::read(fd, locks + size, sizeof locks - size)) > 0) {
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    const std::string_view all(locks, size);
    for (std::size_t at = 0, end = 0; at < all.size(); at = end + 1) {
        end = std::min(all.find('\n', at), all.size());
        const std::string_view line = all.substr(at, end - at);
        if (line.find(" -> ") != std::string_view::npos &&
            line.find(watchedLock) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

void othersTurn(int /*signal*/) {
    struct stat st {};
    if (::stat(watched.c_str(), &st) != 0 || st.st_size <= ours) return;
    (void)!::write(other, &otherMove, 1);
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const time_t deadline = now.tv_sec + 60;
    for (pollfd answer{other, POLLIN, 0}; ::poll(&answer, 1, 1) == 0;) {
        if (otherMove == 'b' && aBoardWaitsForOurLock()) return;
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec > deadline) {
            otherStuck = true;
            return;
        }
    }
}
bool flushFails = false;
int flakyFlush(int fd) {
    if (!flushFails) return ::fsync(fd);
    othersTurn(0);
    errno = EIO;
    return -1;
}

TEST(RoundLog, TwoBoardsOnOneLogOneFailing) {
    TempDir dir;
    otherMove = 'b';
    otherStuck = false;
    const auto file =
        platform::PosixFileSystem({flakyFlush}).openForAppend(watched = dir.logPath());
    struct stat st {};
    ASSERT_EQ(::stat(watched.c_str(), &st), 0);
    char name[64];
    std::snprintf(name, sizeof name, " %02x:%02x:%llu ", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    watchedLock = name;
    int line[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, line), 0);
    const pid_t board = ::fork();
    if (board == 0) {  // the other board, which ends when we hang up
        ::close(line[0]);
        [&]() noexcept {  // a failure ends it with SIGABRT
            const auto its = platform::PosixFileSystem().openForAppend(watched);
            const int plain = ::open(watched.c_str(), O_WRONLY | O_APPEND);
            for (char move = 0; ::read(line[1], &move, 1) == 1; (void)!::write(line[1], &move, 1)) {
                if (move == 'b') its->append(fakes::record("90"));
                if (move == 'p') (void)!::write(plain, "altro\r\n", 7);
            }
        }();
        ::_exit(0);
    }
    ::close(line[1]);
    other = line[0];
    const auto fails = [&](bool inPart) {
        ours = static_cast<off_t>(readFile(watched).size());
        rlimit saved{};  // with room for 3 of the record's 8 bytes: the write stops part way
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit room{inPart ? static_cast<rlim_t>(ours) + 3 : saved.rlim_cur, saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &room);
        EXPECT_THROW(file->append(fakes::record("42")), platform::FileException);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(::read(other, &otherMove, 1), 1);  // the other has moved
    };
    ::signal(SIGXFSZ, othersTurn);
    file->append(fakes::kMorningHeader);
    fails(true);
    file->append(fakes::record("5"));
    flushFails = true;  // the whole record is in when the flush fails
    fails(false);
    flushFails = false;
    // A program that takes no lock appends inside our torn record: our 3
    // bytes stay rather than cut its line.
    otherMove = 'p';
    fails(true);
    ::close(other);
    ::waitpid(board, nullptr, 0);
    EXPECT_FALSE(otherStuck) << "the other neither moved nor waited for our lock";
    const std::string turn = fakes::record("90") + fakes::record("5");
    EXPECT_EQ(readFile(watched),
              fakes::kMorningHeader + turn + fakes::record("90") + "\"42altro\r\n");
}

// At the file-size limit (RLIMIT_FSIZE) a record fails as a full disk
// does: not killed by SIGXFSZ, its own reason, the torn bytes taken back.
// In a child, which starts with SIGXFSZ's default action (the end of it)
// and has a limit of its own.
TEST(RoundLog, TheFileSizeLimitFailsTheRecordNotTheBoard) {
    TempDir dir;
    const pid_t board = ::fork();
    if (board == 0) {
        ::signal(SIGXFSZ, SIG_DFL);
        Log l(dir.path);
        l.log.open();
        l.log.appendHeader();
        rlimit room{};  // the record of 7 passes it by 5 bytes
        ::getrlimit(RLIMIT_FSIZE, &room);
        room.rlim_cur = fakes::kMorningHeader.size() + 2;
        ::setrlimit(RLIMIT_FSIZE, &room);
        const std::string message = failure([&] { l.log.appendCall("7"); });
        std::fprintf(stderr, "%s\n", message.c_str());
        ::_exit(message.find("Motivo: il file ha raggiunto la dimensione massima consentita.") ==
                        std::string::npos
                    ? 1
                    : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(board, &status, 0), board);
    EXPECT_FALSE(WIFSIGNALED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "not the reason expected";
    EXPECT_EQ(readFile(dir.logPath()), fakes::kMorningHeader);
}

TEST(RoundLog, EveryReasonIsItalianAndItsOwn) {
    std::set<std::string> seen;
    for (int e = 0; e <= static_cast<int>(FileError::Other); ++e) {
        const auto error = static_cast<FileError>(e);
        const std::string text = roundlog::italianReason({error, 5, "Input/output error"});
        EXPECT_TRUE(seen.insert(text).second) << text;
        if (error != FileError::Other) {  // no English, no bare number
            EXPECT_EQ(text.find_first_of("(0123456789"), std::string::npos) << text;
        }
    }
    EXPECT_EQ(roundlog::italianReason({FileError::Other, 5, "Input/output error"}),
              "errore di sistema 5 (Input/output error)");
    EXPECT_EQ(roundlog::italianReason({FileError::Other, 1234, ""}), "errore di sistema 1234");
    EXPECT_EQ(roundlog::italianReason({FileError::Busy, 16, "Busy"}),
              "il file è in uso da un altro programma");
}

}  // namespace
