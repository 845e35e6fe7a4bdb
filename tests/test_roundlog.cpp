// The round log's bytes are read by other programs and by people comparing
// old rounds, so they are checked byte for byte, written out by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fakes.h"
#include "roundlog/roundlog.h"

namespace {

using fakes::FixedClock;
using fakes::readFile;
using fakes::TempDir;
using roundlog::RoundLog;

TEST(RoundLog, PathsAndDates) {
    // Folder, separator, name, with nothing tidied at the join.
    EXPECT_EQ(roundlog::pathIn("/opt/sorvina"), "/opt/sorvina/logSorvina.txt");
    EXPECT_EQ(roundlog::pathIn("x/"), "x//logSorvina.txt");
    // At midnight exactly the time is left out; a second later it is not.
    FixedClock clock;
    clock.time = {2026, 3, 7, 0, 0, 0};
    EXPECT_EQ(roundlog::roundHeader(clock),
              fakes::kRule + "\"\r\nNUOVO GIRO DI SORVINA\"\r\n#2026-03-07#\r\n" + fakes::kRule);
    EXPECT_EQ(roundlog::dateItem({2026, 3, 7, 0, 0, 1}), "#2026-03-07 00:00:01#\r\n");
}

// A round opened on 7 March 2026 at 09:05:03, then 5 and 42 called.
TEST(RoundLog, WorkedExampleFromAnEmptyFolder) {
    TempDir dir;
    FixedClock clock;  // 2026-03-07 09:05:03
    RoundLog log(roundlog::pathIn(dir.path), clock);
    log.open();
    EXPECT_EQ(readFile(dir.logPath()), "");
    log.appendHeader();
    log.appendCall("5");
    log.appendCall("42");
    log.close();
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
    FixedClock clock;
    for (const char* text : {"7", "90"}) {  // two runs, each closed by the destructor
        RoundLog log(dir.logPath(), clock);
        log.open();
        log.appendCall(text);
    }
    EXPECT_EQ(readFile(dir.logPath()), "vecchio giro\r\n\"17\"7\r\n\"\r\n\"90\r\n\"\r\n");
}

TEST(RoundLog, FailuresAreFatalAndNameTheFile) {
    TempDir dir;
    FixedClock clock;
    const std::string path = roundlog::pathIn(dir.path + "/assente");
    RoundLog log(path, clock);
    try {
        log.open();
        ADD_FAILURE() << "no failure for a missing folder";
    } catch (const forms::FatalError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path + "/assente"));
    EXPECT_THROW(log.appendCall("3"), forms::FatalError);  // not a silent loss
}

}  // namespace
