// SPDX-License-Identifier: MIT
// Stand-ins for the platform and a ready-made board: every side effect of the
// board goes through these, so the tests script the caller's answers and the
// generator, and read back what was shown and logged.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "board/tabellone.h"
#include "forms/null/null_view.h"
#include "platform/files.h"
#ifdef _WIN32
#include "platform/win32/win32_files.h"
#else
#include "platform/posix/posix_files.h"
#endif

namespace fakes {

#ifdef _WIN32
using NativeFileSystem = platform::Win32FileSystem;
#else
using NativeFileSystem = platform::PosixFileSystem;
#endif

using Answer = platform::Question::Answer;
using Strings = std::vector<std::string>;

// Gives the answer set for it; remembers each prompt and title asked.
struct ScriptedQuestion : platform::Question {
    Answer answer = Answer::Yes;
    Strings asked;
    Answer ask(const std::string& prompt, const std::string& title) override {
        asked.push_back(prompt + " | " + title);
        return answer;
    }
};

struct RecordingReport : platform::FatalReport {
    Strings messages;
    void report(const std::string& message) override { messages.push_back(message); }
};

// The scripted values first; then, if seeded, the top 24 bits of a Mersenne
// Twister. Running past the end of an unseeded script fails the test.
struct FakeRandom : platform::Random {
    std::deque<float> script;
    std::optional<std::mt19937> engine;
    float next() override {
        if (!script.empty()) {
            const float v = script.front();
            script.pop_front();
            return v;
        }
        if (engine) return static_cast<float>((*engine)() >> 8U) * 0x1p-24F;
        ADD_FAILURE() << "the generator was asked for more values than scripted";
        throw std::logic_error("script exhausted");
    }
};

// A fresh folder, in memory where possible (the log syncs every record).
struct TempDir {
#ifdef _WIN32
    std::string path;
    TempDir() {
        std::random_device seed;
        do {
            path = (std::filesystem::temp_directory_path() /
                    ("tabellone-test-" + std::to_string(seed())))
                       .string();
        } while (!std::filesystem::create_directory(path));
    }
#else
    std::string path = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    TempDir() {
        path += "/tabellone-test-XXXXXX";
        if (::mkdtemp(path.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    }
#endif
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    // Joined with the platform's separator, as the log's own path is.
    std::string logPath() const {
        return (std::filesystem::path(path) / "logSorvina.txt").string();
    }
};

// A file's bytes; a path is read in its own form (UTF-16 on Windows).
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// 7 March 2026, 09:05:03, and the round header for it written out by hand.
inline constexpr platform::LocalTime kMorning{2026, 3, 7, 9, 5, 3};
inline const std::string kRule = "\"\r\n----------------------------------\"\r\n";
inline const std::string kMorningHeader =
    kRule + "\"\r\nNUOVO GIRO DI SORVINA\"\r\n" + "#2026-03-07 09:05:03#\r\n" + kRule;
inline std::string record(const std::string& text) {
    return "\"" + text + "\r\n\"\r\n";
}

struct FixedClock : platform::Clock {
    platform::LocalTime time = kMorning;
    platform::LocalTime now() override { return time; }
};

// The program's folder as given; with none given, the system cannot say.
struct FixedFolder : platform::AppFolder {
    explicit FixedFolder(platform::NativePath p = {}) : folder(std::move(p)) {}
    platform::NativePath path() override {
        if (folder.empty()) {
            throw platform::FileException({platform::FileError::NoFolder, ENOENT, "No such file"});
        }
        return folder;
    }
    platform::NativePath folder;
};

// The real file seam on a full disk: each record fails as it is forced to
// disk, and is taken back, so the file stays as it was.
#ifdef _WIN32
inline BOOL WINAPI diskFull(HANDLE) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}
#else
inline int diskFull(int) {
    errno = ENOSPC;
    return -1;
}
#endif

// A disk that fills up when a test says so: until then records go to disk.
inline bool diskIsFull = false;
#ifdef _WIN32
inline BOOL WINAPI fillingDisk(HANDLE file) {
    return diskIsFull ? diskFull(file) : FlushFileBuffers(file);
}
#else
inline int fillingDisk(int fd) {
    return diskIsFull ? diskFull(fd) : ::fsync(fd);
}
#endif

// The look of a free cell (teal, 21.75 pt unless given) and of a called one.
inline void expectFree(const forms::Control& c, forms::Color back = forms::rgb(0, 192, 192),
                       forms::FontSize4 size = 217500) {
    EXPECT_EQ(std::tuple(c.backColor(), c.foreColor(), c.fontBold(), c.font().size, c.tag()),
              std::tuple(back, 0U, false, size, ""))
        << "cell " << c.text();
}
inline void expectCalled(const forms::Control& c) {
    EXPECT_EQ(std::tuple(c.backColor(), c.foreColor(), c.fontBold(), c.font().size, c.tag()),
              std::tuple(forms::rgb(255, 255, 0), forms::rgb(0, 0, 255), true, 277500, "ok"))
        << "cell " << c.text();
}

// Everything a user could see of each control, or that the board keeps in it.
inline std::string snapshot(const forms::Form& form) {
    std::ostringstream out;
    for (const forms::Control* c : form.controls()) {
        const forms::Font& f = c->font();
        out << c->name() << c->index() << " '" << c->text() << "' " << c->tag() << ' '
            << c->toolTipText() << ' ' << c->backColor() << ' ' << c->foreColor() << ' ' << f.name
            << ' ' << f.size << f.bold << f.italic << c->enabled() << c->visible() << '\n';
    }
    return out.str();
}

// The whole program with fakes around it on the headless backend, its log
// in a fresh folder, played through raw input as a user would.
struct Rig {
    explicit Rig(std::vector<float> values = {}) {
        random.script.assign(values.begin(), values.end());
    }
    void open() { view.open(); }
    void newRound(Answer a = Answer::Yes) {
        question.answer = a;
        view.click(nuova());
    }
    forms::Form& form() const { return game.form(); }
    forms::Control& cell(int i) const { return form().control("num", i); }
    forms::Control& slot(int k) const { return form().control("last", k); }
    forms::Control& numeri() const { return form().control("numeri"); }
    forms::Control& estratto() const { return form().control("estratto"); }
    forms::Control& estrai() const { return form().control("estrai"); }
    forms::Control& nuova() const { return form().control("nuova"); }
    void dblClick(const forms::Control& c) { view.doubleClick(c); }
    // Calls every number but those in `free`, closing the big number each time.
    void callAllBut(const std::vector<int>& free) {
        for (int n = 1; n <= window::kCells; ++n) {
            if (std::find(free.begin(), free.end(), n) != free.end()) continue;
            dblClick(cell(n - 1));
            dblClick(estratto());
        }
    }
    Strings strip() const { return {slot(0).text(), slot(1).text(), slot(2).text()}; }
    std::string logBytes() const { return readFile(dir.logPath()); }

    TempDir dir;
    FixedClock clock;
    ScriptedQuestion question;
    FakeRandom random;
    RecordingReport report;
    FixedFolder folder{dir.path};
    NativeFileSystem files;
    board::Tabellone game{{question, report, random, clock, folder, files}};
    nullforms::NullView view{game.form()};
};

}  // namespace fakes
