// Stand-ins for the platform and a ready-made board for the tests: every
// side effect the board has goes through these, so the tests can script the
// caller's answers and the generator, and read back what was shown and logged.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "board/board.h"
#include "forms/form.h"
#include "forms/platform.h"
#include "roundlog/roundlog.h"
#include "window/layout.h"

namespace fakes {

using Answer = forms::Question::Answer;

// Answers as scripted, then with the fallback; remembers every question.
class ScriptedQuestion : public forms::Question {
  public:
    struct Asked {
        std::string prompt;
        std::string title;
        Answer answer;
    };

    std::deque<Answer> script;
    Answer fallback = Answer::Yes;
    std::vector<Asked> asked;

    Answer ask(const std::string& prompt, const std::string& title) override {
        Answer a = fallback;
        if (!script.empty()) {
            a = script.front();
            script.pop_front();
        }
        asked.push_back({prompt, title, a});
        return a;
    }
};

class RecordingReport : public forms::FatalReport {
  public:
    std::vector<std::string> messages;
    void report(const std::string& message) override { messages.push_back(message); }
};

// Gives the scripted values first; then, if seeded, floats in [0, 1) made
// from the top 24 bits of a Mersenne Twister. A draw past the end of an
// unseeded script is a test fault, so it fails the test and stops the draw.
class FakeRandom : public forms::Random {
  public:
    FakeRandom() = default;
    explicit FakeRandom(std::vector<float> script) : script_(std::move(script)) {}
    static FakeRandom seeded(std::uint32_t seed) {
        FakeRandom r;
        r.engine_ = std::make_unique<std::mt19937>(seed);
        return r;
    }

    int reseeds = 0;
    int draws = 0;

    void script(std::vector<float> values) {
        script_ = std::move(values);
        pos_ = 0;
    }
    void reseed() override { ++reseeds; }
    float next() override {
        ++draws;
        if (pos_ < script_.size()) {
            return script_[pos_++];
        }
        if (engine_) {
            return static_cast<float>((*engine_)() >> 8U) * 0x1p-24F;
        }
        ADD_FAILURE() << "the generator was asked for more values than scripted";
        throw std::logic_error("script exhausted");
    }

  private:
    std::vector<float> script_;
    std::size_t pos_ = 0;
    std::unique_ptr<std::mt19937> engine_;
};

class FixedClock : public forms::Clock {
  public:
    explicit FixedClock(forms::LocalTime t) : time(t) {}
    forms::LocalTime time;
    int reads = 0;
    forms::LocalTime now() override {
        ++reads;
        return time;
    }
};

// Remembers focus requests together with whether the target could take
// input at that moment.
class RecordingObserver : public forms::FormObserver {
  public:
    struct Focus {
        forms::Control* control;
        bool enabled;
    };
    std::vector<Focus> focus;
    void propertyChanged(forms::Control&, forms::Property) override {}
    void focusRequested(forms::Control* control) override {
        focus.push_back({control, control == nullptr || control->enabled()});
    }
};

// A fresh folder, removed with everything in it at the end. The round log
// syncs every record, so a memory-backed folder keeps long runs quick.
class TempDir {
  public:
    TempDir() {
        const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/tabellone-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string logPath() const { return path_ + "/logSorvina.txt"; }

  private:
    std::string path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// 7 March 2026, 09:05:03.
inline constexpr forms::LocalTime kMorning{2026, 3, 7, 9, 5, 3};

// The round header written by hand: a rule, the title, the date, a rule.
inline const std::string kRule = "\"\r\n----------------------------------\"\r\n";
inline const std::string kMorningHeader =
    kRule + "\"\r\nNUOVO GIRO DI SORVINA\"\r\n" + "#2026-03-07 09:05:03#\r\n" + kRule;

inline std::string record(const std::string& text) {
    return "\"" + text + "\r\n\"\r\n";
}

inline forms::Point centre(const forms::Form& form, const forms::Control& c) {
    const forms::Rect r = form.windowRect(c);
    return {r.left + r.width / 2, r.top + r.height / 2};
}

// Everything a user could see or that the board keeps in the controls.
struct ControlState {
    std::string text, tag, toolTip;
    forms::Color back = 0, fore = 0;
    forms::Font font;
    bool enabled = false, visible = false;

    bool operator==(const ControlState& o) const {
        return text == o.text && tag == o.tag && toolTip == o.toolTip && back == o.back &&
               fore == o.fore && font.name == o.font.name && font.size == o.font.size &&
               font.bold == o.font.bold && font.italic == o.font.italic && enabled == o.enabled &&
               visible == o.visible;
    }
};

inline std::vector<ControlState> snapshot(const forms::Form& form) {
    std::vector<ControlState> all;
    for (const forms::Control* c : form.controls()) {
        all.push_back({c->text(), c->tag(), c->toolTipText(), c->backColor(), c->foreColor(),
                       c->font(), c->enabled(), c->visible()});
    }
    return all;
}

// The board with fakes around it, its log in a fresh folder.
struct Rig {
    explicit Rig(std::vector<float> values = {}, forms::LocalTime t = kMorning)
        : Rig(FakeRandom(std::move(values)), t) {}
    Rig(FakeRandom r, forms::LocalTime t)
        : form(window::makeTabellone()),
          clock(t),
          log(roundlog::pathIn(dir.path()), clock),
          random(std::move(r)),
          board(*form, log, question, random) {
        form->setFatalReport(&report);
        form->setObserver(&observer);
    }

    // Load and Activate, as the window opens.
    void open() {
        form->load();
        form->activate();
    }
    void newRound(Answer a = Answer::Yes) {
        question.script.push_back(a);
        form->clickAt(centre(nuova()));
    }
    forms::Point centre(const forms::Control& c) const { return fakes::centre(*form, c); }
    forms::Control& cell(int i) const { return form->control("num", i); }
    forms::Control& slot(int k) const { return form->control("last", k); }
    forms::Control& numeri() const { return form->control("numeri"); }
    forms::Control& estratto() const { return form->control("estratto"); }
    forms::Control& estrai() const { return form->control("estrai"); }
    forms::Control& nuova() const { return form->control("nuova"); }
    bool dblClickCell(int i) { return form->dblClickAt(centre(cell(i))); }
    bool closeDisplay() { return form->dblClickAt(centre(estratto())); }
    // A cell double-clicked, then the big number closed again.
    void callAndClose(int i) {
        dblClickCell(i);
        closeDisplay();
    }
    std::vector<std::string> strip() const {
        return {slot(0).text(), slot(1).text(), slot(2).text()};
    }
    std::string logBytes() const { return readFile(dir.logPath()); }

    TempDir dir;
    std::unique_ptr<forms::Form> form;
    FixedClock clock;
    roundlog::RoundLog log;
    ScriptedQuestion question;
    FakeRandom random;
    RecordingReport report;
    RecordingObserver observer;
    board::Board board;
};

}  // namespace fakes
