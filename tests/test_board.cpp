// SPDX-License-Identifier: MIT
// The rules of the game: first the round alone, as tables of operations and
// the state each leaves; then the board window played the way the caller
// plays it, clicks and double-clicks at the controls' places, the question
// answered by script and the log read back from a fresh folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "board/board.h"
#include "board/round.h"
#include "fakes.h"

namespace {

using board::Round;
using fakes::Answer;
using fakes::expectCalled;
using fakes::expectFree;
using fakes::record;
using fakes::Rig;
using fakes::snapshot;
using fakes::Strings;
using forms::Control;
using forms::rgb;

// A round in one line: the called numbers, the strip (newest first, "-"
// for an empty slot), the big number and whether it is open, whether play
// has begun, and whether Estrai may draw.
std::string describe(const Round& r) {
    std::ostringstream out;
    out << "called";
    for (int n = 1; n <= window::kCells; ++n) {
        if (r.isCalled(n)) out << ' ' << n;
    }
    out << " | strip";
    for (const int n : r.strip) {
        out << ' ';
        n != 0 ? out << n : out << '-';
    }
    out << " | shown " << r.shown << (r.displayOpen ? " open" : " closed") << " |"
        << (r.inPlay ? " play" : "") << (r.canDraw ? " draw" : "");
    return out.str();
}

// Applies "call N", "cancel K", "fresh" or "close" to a round.
Round apply(const Round& r, const std::string& op) {
    std::istringstream in(op);
    std::string verb;
    int arg = 0;
    in >> verb >> arg;
    if (verb == "call") return r.call(arg);
    if (verb == "cancel") return r.cancel(arg);
    if (verb == "fresh") return r.fresh();
    if (verb == "close") return r.closeDisplay();
    ADD_FAILURE() << "no operation " << op;
    return r;
}

struct Row {
    const char* op;
    const char* after;
};

void expectRows(Round r, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        r = apply(r, row.op);
        EXPECT_EQ(describe(r), row.after) << "after " << row.op;
    }
}

TEST(Round, CallsCancelsAndRounds) {
    expectRows(
        {},
        {
            {"fresh", "called | strip - - - | shown 0 closed | play draw"},
            {"call 7", "called 7 | strip 7 - - | shown 7 open | play draw"},
            {"call 7", "called 7 | strip 7 - - | shown 7 open | play draw"},  // called already
            {"close", "called 7 | strip 7 - - | shown 7 closed | play draw"},
            {"call 10", "called 7 10 | strip 10 7 - | shown 10 open | play draw"},
            {"call 90", "called 7 10 90 | strip 90 10 7 | shown 90 open | play draw"},
            {"call 1", "called 1 7 10 90 | strip 1 90 10 | shown 1 open | play draw"},
            {"cancel 1", "called 1 7 10 | strip 1 - 10 | shown 1 open | play draw"},  // 7 stays
            {"cancel 1", "called 1 7 10 | strip 1 - 10 | shown 1 open | play draw"},  // empty slot
            {"call 42", "called 1 7 10 42 | strip 42 1 - | shown 42 open | play draw"},
            {"call 90", "called 1 7 10 42 90 | strip 90 42 1 | shown 90 open | play draw"},
            // A new round while the big number shows: it stays up, every mark goes.
            {"fresh", "called | strip - - - | shown 90 open | play draw"},
        });
}

// Estrai may draw after a call while any number is free, and again once
// the big number is closed, whatever is left.
TEST(Round, EstraiAfterACallAndTheLastFreeNumber) {
    Round r = Round{}.fresh();
    for (int n = 1; n < window::kCells; ++n) {
        r = r.call(n);
        ASSERT_TRUE(r.canDraw) << "after calling " << n;
        r = r.closeDisplay();
    }
    EXPECT_FALSE(r.call(90).canDraw);
    EXPECT_TRUE(r.call(90).closeDisplay().canDraw);
    EXPECT_TRUE(r.call(90).cancel(1).cancel(2).call(89).canDraw);  // 88 is free
}

TEST(Round, CandidatesSplitZeroToOneIntoNinetyEqualShares) {
    EXPECT_EQ(board::candidateFor(0.0F), 1);
    EXPECT_EQ(board::candidateFor(std::nextafter(1.0F, 0.0F)), 90);
    // At every boundary k / 90 the last float below it gives k and the first
    // at or above it k + 1. A float times 90 is exact in double precision.
    for (int k = 1; k < 90; ++k) {
        float f = static_cast<float>(k / 90.0);
        while (static_cast<double>(f) * 90.0 < k) f = std::nextafter(f, 1.0F);
        while (static_cast<double>(std::nextafter(f, 0.0F)) * 90.0 >= k) {
            f = std::nextafter(f, 0.0F);
        }
        EXPECT_EQ(board::candidateFor(f), k + 1) << "at " << k << "/90";
        EXPECT_EQ(board::candidateFor(std::nextafter(f, 0.0F)), k) << "below " << k << "/90";
    }
}

// The rules live in the round; the board shows it and logs it: the big
// number padded, the called look, the focus, and the log's records.
TEST(Board, AnEveningAtTheBoard) {
    Rig rig;
    rig.open();
    EXPECT_FALSE(rig.numeri().enabled() || rig.estratto().enabled() || rig.estrai().enabled());
    EXPECT_FALSE(rig.cell(0).enabled() || rig.cell(89).enabled());
    // estrai was given the focus while it could still take it; the backend
    // is told only where the focus ended up: on the window, where it was.
    EXPECT_EQ(rig.form().focus(), nullptr);
    EXPECT_TRUE(rig.view.focusHistory().empty());

    const auto before = snapshot(rig.form());
    rig.newRound(Answer::No);
    EXPECT_EQ(rig.question.asked, (Strings{"SICURO DI VOLER COMINCIARE UNA NUOVA SORVINATA? | "
                                           "Nuovo giro di sorvina"}));
    EXPECT_EQ(snapshot(rig.form()), before);
    rig.newRound();
    rig.dblClick(rig.cell(6));
    EXPECT_EQ(rig.estratto().caption(), "07");  // padded on the big number only
    EXPECT_FALSE(rig.numeri().visible());
    EXPECT_TRUE(rig.estrai().enabled());
    expectCalled(rig.cell(6));
    rig.form().setFocus(&rig.nuova());
    rig.dblClick(rig.estratto());
    EXPECT_EQ(rig.form().focus(), nullptr);  // closing gives the window the focus
    const auto called = snapshot(rig.form());
    rig.dblClick(rig.cell(6));  // already called: nothing changes, nothing is logged
    EXPECT_EQ(snapshot(rig.form()), called);
    rig.newRound();
    for (int i = 0; i < window::kCells; ++i) expectFree(rig.cell(i));
    EXPECT_EQ(rig.logBytes(), fakes::kMorningHeader + record("7") + fakes::kMorningHeader);
}

// A caller with no mouse: Tab and Enter alone play a round. After a call or
// a draw the focus is on the window, where Enter only closes the big number;
// a held key acts once. Screen readers are told what each control holds, and
// hear each call and each cancel.
TEST(Board, KeyboardAloneAndWhatScreenReadersAreTold) {
    using forms::Key;
    Rig rig;
    rig.open();
    auto tabs = [&](int n) {
        for (int i = 0; i < n; ++i) rig.view.key(Key::Tab);
    };
    const auto name = [](const Control& c) { return forms::Form::accessible(c).name; };
    tabs(1);
    EXPECT_EQ(rig.form().focus(), &rig.nuova());
    rig.view.key(Key::Enter, 4);
    tabs(5);  // the strip, estrai, then the first cell in the tab order: 20
    rig.view.key(Key::Enter, 4);
    EXPECT_EQ(std::tuple(rig.estratto().caption(), rig.numeri().visible(), rig.form().focus()),
              std::tuple("20", false, nullptr));
    EXPECT_EQ(forms::Form::accessible(rig.cell(19)).description, "chiamato");
    EXPECT_EQ(forms::Form::accessible(rig.cell(18)).description, "");
    EXPECT_EQ(name(rig.slot(0)), "Ultimo numero chiamato: 20");
    EXPECT_EQ(name(rig.slot(2)), "Terzultimo numero chiamato: nessuno");
    EXPECT_EQ(name(rig.estratto()), "Numero chiamato: 20");
    rig.view.key(Key::Enter, 3);  // closes the big number, once
    rig.view.key(Key::Enter);     // then does nothing
    EXPECT_TRUE(rig.numeri().visible());
    EXPECT_EQ(name(rig.estratto()), "");  // covered: no stale number to find

    tabs(5);
    EXPECT_EQ(rig.form().focus(), &rig.estrai());
    rig.random.script = {0.0F};
    rig.view.key(Key::Enter, 6);  // one draw however long it is held
    EXPECT_EQ(rig.estratto().caption(), "01");
    EXPECT_EQ(name(rig.estratto()), "Numero chiamato: 1");
    rig.view.key(Key::Enter);
    rig.view.key(Key::Enter);
    tabs(2);                   // nuova, then the newest slot
    rig.view.key(Key::Enter);  // cancels 1
    expectFree(rig.cell(0));
    EXPECT_EQ(rig.strip(), (Strings{"", "20", ""}));
    EXPECT_EQ(rig.question.asked.size(), 1U);
    EXPECT_EQ(rig.view.said(),
              (Strings{"Numero chiamato: 20", "Numero chiamato: 1", "Numero annullato: 1"}));
    EXPECT_EQ(rig.logBytes(), fakes::kMorningHeader + record("20") + record("1"));
}

// What the backend is handed for a call: the handler's changes at its end,
// the focus where it ended up, and the announcement last, after the focus
// change whose speech would cut it off. Estrai pressed with the mouse never
// holds the focus: its own draw disables it.
TEST(Board, TheBackendHearsEachCallAfterEverythingElse) {
    Rig rig({0.5F});
    rig.open();
    rig.newRound();
    rig.view.press(rig.view.centreX(rig.cell(6)), rig.view.centreY(rig.cell(6)));
    rig.view.forget();
    rig.view.release(rig.view.centreX(rig.cell(6)), rig.view.centreY(rig.cell(6)));
    rig.form().pointerDoublePress({rig.form().windowRect(rig.cell(6)).left + 30,
                                   rig.form().windowRect(rig.cell(6)).top + 30});
    EXPECT_TRUE(rig.view.said().empty());  // a reader cuts speech at a press: not yet
    rig.view.release(rig.view.centreX(rig.cell(6)), rig.view.centreY(rig.cell(6)));
    const Strings& stream = rig.view.stream();
    ASSERT_FALSE(stream.empty());
    EXPECT_EQ(stream.back(), "Say Numero chiamato: 7");
    EXPECT_EQ(std::count(stream.begin(), stream.end(), "Focus -"), 1);
    rig.dblClick(rig.estratto());
    rig.view.forget();
    rig.view.click(rig.estrai());
    EXPECT_EQ(std::count_if(rig.view.stream().begin(), rig.view.stream().end(),
                            [](const std::string& s) { return s.starts_with("Focus"); }),
              0);
    EXPECT_EQ(rig.view.stream().back(), "Say Numero chiamato: 46");
}

// Only cell 0 sets the free look, for every cell, whether a cancel or a new
// round frees it.
TEST(Board, TheFreeLookIsCellZerosAtLoad) {
    Rig rig;
    rig.cell(0).setBackColor(rgb(200, 0, 0));
    rig.cell(0).setFontSize4(180000);
    rig.cell(1).setFontSize4(300000);
    rig.cell(2).setTag("ok");
    rig.open();
    rig.cell(0).setBackColor(rgb(0, 0, 200));  // too late to count
    rig.newRound();
    for (int i : {0, 1, 2, 89}) expectFree(rig.cell(i), rgb(200, 0, 0), 180000);
    rig.dblClick(rig.cell(4));
    EXPECT_EQ(rig.cell(4).font().size, 240000);
    rig.dblClick(rig.slot(0));
    expectFree(rig.cell(4), rgb(200, 0, 0), 180000);
}

TEST(Board, TheLastFreeNumberAndAnEmptyDraw) {
    Rig rig({0.0F, 0.3F, std::nextafter(1.0F, 0.0F)});
    rig.open();
    rig.newRound();
    rig.callAllBut({90});
    rig.dblClick(rig.cell(89));  // the last free number: estrai goes off
    EXPECT_FALSE(rig.estrai().enabled());
    rig.dblClick(rig.slot(0));
    rig.dblClick(rig.estratto());
    rig.view.click(rig.estrai());  // 1 and 28 are called: passed over
    expectCalled(rig.cell(89));
    rig.dblClick(rig.estratto());
    // With nothing left a draw calls nothing, and asks for no more values.
    const auto before = snapshot(rig.form());
    rig.view.click(rig.estrai());
    EXPECT_FALSE(rig.estrai().enabled());
    rig.estrai().setEnabled(true);
    EXPECT_EQ(snapshot(rig.form()), before);
    EXPECT_EQ(rig.logBytes().size(), 130U + 82U * 8U + 9U * 7U);
}

// A handler whose write fails shows none of its work: the failure is
// reported over the board as it stood before, the round is as it was, and
// nothing more runs.
TEST(Board, AFailedWriteShowsNothingOfItsHandler) {
    Rig load;
    std::filesystem::create_directory(load.dir.logPath());
    const auto laidOut = snapshot(load.form());
    load.open();
    ASSERT_EQ(load.report.messages.size(), 1U);
    EXPECT_NE(load.report.messages[0].find(load.dir.logPath()), std::string::npos);
    EXPECT_EQ(snapshot(load.form()), laidOut);
    EXPECT_TRUE(load.view.focusHistory().empty());  // Activate never ran
    load.newRound();
    EXPECT_TRUE(load.question.asked.empty());

    for (const bool draw : {false, true}) {
        Rig call({0.5F});
        call.files = fakes::NativeFileSystem({.flush = fakes::fillingDisk});
        fakes::diskIsFull = false;
        call.open();
        call.newRound();
        fakes::diskIsFull = true;
        call.view.forget();
        const auto before = snapshot(call.form());
        const Round round = call.game.board().round();
        call.form().setFocus(&call.cell(45));
        draw ? call.view.click(call.estrai()) : call.view.key(forms::Key::Enter);
        ASSERT_EQ(call.report.messages.size(), 1U);
        EXPECT_NE(call.report.messages[0].find(call.dir.logPath()), std::string::npos);
        EXPECT_EQ(snapshot(call.form()), before);
        EXPECT_EQ(call.game.board().round(), round);
        EXPECT_EQ(call.form().focus(), &call.cell(45));
        EXPECT_TRUE(call.view.said().empty());
        EXPECT_EQ(std::count(call.view.stream().begin(), call.view.stream().end(), "Focus -"), 0);
        EXPECT_EQ(call.logBytes(), fakes::kMorningHeader);
    }
    fakes::diskIsFull = false;

    Rig round;
    round.files = fakes::NativeFileSystem({.flush = fakes::diskFull});
    round.open();
    const auto waiting = snapshot(round.form());
    round.newRound();
    EXPECT_EQ(round.report.messages.size(), 1U);
    EXPECT_EQ(snapshot(round.form()), waiting);
    EXPECT_EQ(round.logBytes(), "");
}

// Draws over and over with only the numbers in `free` uncalled. The
// chi-square of the counts against equal shares must stay under its 0.001
// quantile: a fair draw fails in under one seed in 1000.
void expectFairDraws(std::uint32_t seed, const std::vector<int>& free, int times, double limit) {
    fakes::FakeRandom random;
    random.engine.emplace(seed);
    Round round = Round{}.fresh();
    for (int n = 1; n <= window::kCells; ++n) {
        if (std::find(free.begin(), free.end(), n) == free.end()) round = round.call(n);
    }
    std::vector<int> counts(free.size(), 0);
    for (int t = 0; t < times; ++t) {
        const int drawn = board::drawFree(round, random);
        const auto at = std::find(free.begin(), free.end(), drawn);
        ASSERT_TRUE(at != free.end()) << "drew " << drawn;
        ++counts.at(static_cast<std::size_t>(at - free.begin()));
    }
    const double expected = static_cast<double>(times) / static_cast<double>(free.size());
    double chi = 0;
    for (int c : counts) chi += (c - expected) * (c - expected) / expected;
    EXPECT_LT(chi, limit);
}

TEST(Round, EveryFreeNumberIsEquallyLikely) {
    std::vector<int> all(90);
    std::iota(all.begin(), all.end(), 1);
    expectFairDraws(20260307U, all, 90000, 135.978);     // 89 degrees of freedom
    expectFairDraws(90U, {1, 2, 45, 90}, 8000, 16.266);  // 3 degrees of freedom
}

}  // namespace
