// The round log's bytes are read by other programs and by people comparing
// old rounds, so they are checked here byte for byte, written out by hand.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fakes.h"
#include "roundlog/roundlog.h"

namespace {

using fakes::FixedClock;
using fakes::readFile;
using fakes::TempDir;
using roundlog::RoundLog;

TEST(RoundLogPath, FolderSeparatorAndNameWithNothingTidiedAtTheJoin) {
    EXPECT_EQ(roundlog::pathIn("/opt/sorvina"), "/opt/sorvina/logSorvina.txt");
    EXPECT_EQ(roundlog::pathIn("x/"), "x//logSorvina.txt");
    EXPECT_EQ(roundlog::pathIn(""), "/logSorvina.txt");
}

TEST(RoundLogBytes, CallRecordsAndHeaders) {
    EXPECT_EQ(roundlog::callRecord("5"), std::string("\x22\x35\x0D\x0A\x22\x0D\x0A", 7));
    EXPECT_EQ(roundlog::callRecord("42"), std::string("\x22\x34\x32\x0D\x0A\x22\x0D\x0A", 8));

    FixedClock morning({2026, 3, 7, 9, 5, 3});
    const std::string header = roundlog::roundHeader(morning);
    EXPECT_EQ(header.size(), 130U);
    EXPECT_EQ(header, fakes::kMorningHeader);
    EXPECT_EQ(header.substr(0, 40), "\"\r\n----------------------------------\"\r\n");
    EXPECT_EQ(header.substr(40, 27), "\"\r\nNUOVO GIRO DI SORVINA\"\r\n");
    EXPECT_EQ(header.substr(67, 23), "#2026-03-07 09:05:03#\r\n");
    EXPECT_EQ(header.substr(90), header.substr(0, 40));
    EXPECT_EQ(morning.reads, 1);

    // At midnight exactly the time is left out; a second later it is not.
    FixedClock midnight({2026, 3, 7, 0, 0, 0});
    const std::string short_header = roundlog::roundHeader(midnight);
    EXPECT_EQ(short_header.size(), 121U);
    EXPECT_EQ(short_header.substr(67, 14), "#2026-03-07#\r\n");
    EXPECT_EQ(roundlog::dateItem({2026, 3, 7, 0, 0, 1}), "#2026-03-07 00:00:01#\r\n");
    EXPECT_EQ(roundlog::dateItem({2026, 12, 31, 23, 59, 59}), "#2026-12-31 23:59:59#\r\n");
}

// A round opened on 7 March 2026 at 09:05:03, then 5 and 42 called.
TEST(RoundLogFile, WorkedExampleFromAnEmptyFolder) {
    TempDir dir;
    FixedClock clock({2026, 3, 7, 9, 5, 3});
    RoundLog log(roundlog::pathIn(dir.path()), clock);
    EXPECT_EQ(log.path(), dir.logPath());
    EXPECT_FALSE(std::filesystem::exists(dir.logPath()));
    log.open();
    EXPECT_TRUE(log.isOpen());
    EXPECT_EQ(readFile(dir.logPath()), "");
    log.appendHeader();
    log.appendCall("5");
    log.appendCall("42");
    log.close();
    EXPECT_FALSE(log.isOpen());

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

TEST(RoundLogFile, NewRecordsFollowTheLastByteOfWhatIsThere) {
    TempDir dir;
    fakes::writeFile(dir.logPath(), "vecchio giro\r\n\"17");  // no line end at the end
    FixedClock clock({2026, 3, 7, 0, 0, 0});
    {
        RoundLog log(dir.logPath(), clock);
        log.open();
        log.appendCall("7");
        log.appendHeader();
    }  // closed by the destructor
    EXPECT_EQ(readFile(dir.logPath()), "vecchio giro\r\n\"17\"7\r\n\"\r\n" + fakes::kRule +
                                           "\"\r\nNUOVO GIRO DI SORVINA\"\r\n#2026-03-07#\r\n" +
                                           fakes::kRule);

    // A second run adds after the first.
    RoundLog again(dir.logPath(), clock);
    again.open();
    again.appendCall("90");
    EXPECT_EQ(readFile(dir.logPath()).size(), 17U + 7U + 121U + 8U);
}

void expectFatalNaming(RoundLog& log, const std::string& path) {
    try {
        log.open();
        log.appendCall("1");
        FAIL() << "no failure for " << path;
    } catch (const forms::FatalError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
}

TEST(RoundLogFile, FailuresAreFatalAndNameTheFile) {
    TempDir dir;
    FixedClock clock(fakes::kMorning);

    std::filesystem::create_directory(dir.logPath());  // a folder where the file goes
    RoundLog folder(dir.logPath(), clock);
    expectFatalNaming(folder, dir.logPath());
    EXPECT_FALSE(folder.isOpen());

    const std::string missing = roundlog::pathIn(dir.path() + "/assente");
    RoundLog nowhere(missing, clock);
    expectFatalNaming(nowhere, missing);
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/assente"));

    fakes::writeFile(dir.path() + "/file", "x");
    const std::string under_file = roundlog::pathIn(dir.path() + "/file");
    RoundLog not_a_folder(under_file, clock);
    expectFatalNaming(not_a_folder, under_file);

    // Writing before opening is a failure too, not a silent loss.
    RoundLog unopened(roundlog::pathIn(dir.path()), clock);
    EXPECT_THROW(unopened.appendCall("3"), forms::FatalError);
}

TEST(RoundLogFile, AFullDiskFailsTheWriteNotTheOpen) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    TempDir dir;
    std::filesystem::create_symlink("/dev/full", dir.logPath());
    FixedClock clock(fakes::kMorning);
    RoundLog log(dir.logPath(), clock);
    log.open();
    try {
        log.appendHeader();
        FAIL() << "a write to a full disk went through";
    } catch (const forms::FatalError& e) {
        EXPECT_NE(std::string(e.what()).find(dir.logPath()), std::string::npos) << e.what();
    }
}

}  // namespace
