// The rules of the game, driven the way the caller drives them: clicks and
// double-clicks at the controls' places in the window, the question answered
// by script and the log read back from a fresh folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "board/board.h"
#include "fakes.h"

namespace {

using fakes::Answer;
using fakes::expectCalled;
using fakes::expectFree;
using fakes::record;
using fakes::Rig;
using fakes::snapshot;
using fakes::Strings;
using forms::Control;
using forms::rgb;

TEST(Board, AnEveningAtTheBoard) {
    Rig rig;
    rig.open();
    EXPECT_FALSE(rig.numeri().enabled() || rig.estratto().enabled() || rig.estrai().enabled());
    EXPECT_FALSE(rig.cell(0).enabled() || rig.cell(89).enabled());
    // estrai was given the focus while it could still take it.
    EXPECT_EQ(rig.view.focusHistory(), (std::vector<Control*>{&rig.estrai(), nullptr}));

    const auto before = snapshot(rig.form());
    rig.newRound(Answer::No);
    EXPECT_EQ(rig.question.asked, (Strings{"SICURO DI VOLER COMINCIARE UNA NUOVA SORVINATA? | "
                                           "Nuovo giro di sorvina"}));
    EXPECT_EQ(snapshot(rig.form()), before);
    rig.newRound();
    rig.dblClick(rig.cell(6));
    EXPECT_EQ(rig.estratto().caption(), "07");  // padded on the big number only
    EXPECT_FALSE(rig.numeri().visible());
    expectCalled(rig.cell(6));
    rig.form().setFocus(&rig.nuova());
    rig.dblClick(rig.estratto());
    EXPECT_EQ(rig.form().focus(), nullptr);  // closing gives the window the focus
    const auto called = snapshot(rig.form());
    rig.dblClick(rig.cell(6));  // already called: nothing changes, nothing is logged
    EXPECT_EQ(snapshot(rig.form()), called);
    for (int i : {9, 89, 0}) {
        rig.dblClick(rig.cell(i));
        EXPECT_EQ(rig.estratto().caption(), i == 0 ? "01" : std::to_string(i + 1));
        rig.dblClick(rig.estratto());
    }
    rig.dblClick(rig.slot(1));  // 90 is free again; the gap moves along
    expectFree(rig.cell(89));
    rig.dblClick(rig.cell(41));
    EXPECT_EQ(rig.strip(), (Strings{"42", "1", ""}));

    // A new round while the big number shows: it stays up, every mark goes.
    rig.newRound();
    EXPECT_FALSE(rig.numeri().visible());
    EXPECT_EQ(rig.estratto().caption(), "42");
    EXPECT_EQ(rig.strip(), (Strings{"", "", ""}));
    for (int i = 0; i < window::kCells; ++i) expectFree(rig.cell(i));
    EXPECT_EQ(rig.logBytes(), fakes::kMorningHeader + record("7") + record("10") + record("90") +
                                  record("1") + record("42") + fakes::kMorningHeader);
}

// A caller with no mouse: Tab and Enter alone play a round. After a call or
// a draw the focus is on the window, where Enter only closes the big number;
// a held key acts once. Screen readers are told what each control holds.
TEST(Board, KeyboardAloneAndWhatScreenReadersAreTold) {
    using forms::Key;
    Rig rig;
    rig.open();
    auto tabs = [&](int n) {
        for (int i = 0; i < n; ++i) rig.view.key(Key::Tab);
    };
    tabs(1);
    EXPECT_EQ(rig.form().focus(), &rig.nuova());
    rig.view.key(Key::Enter, 4);
    tabs(5);  // the strip, estrai, then the first cell in the tab order: 20
    rig.view.key(Key::Enter, 4);
    EXPECT_EQ(std::tuple(rig.estratto().caption(), rig.numeri().visible(), rig.form().focus()),
              std::tuple("20", false, nullptr));
    EXPECT_EQ(rig.form().accessible(rig.cell(19)).description, "chiamato");
    EXPECT_EQ(rig.form().accessible(rig.cell(18)).description, "");
    EXPECT_EQ(rig.form().accessible(rig.slot(0)).name, "Ultimo numero chiamato: 20");
    EXPECT_EQ(rig.form().accessible(rig.slot(2)).name, "Terzultimo numero chiamato: nessuno");
    EXPECT_EQ(rig.form().accessible(rig.estratto()).name, "Numero chiamato: 20");
    rig.view.key(Key::Enter, 3);  // closes the big number, once
    rig.view.key(Key::Enter);     // then does nothing
    EXPECT_TRUE(rig.numeri().visible());

    tabs(5);
    EXPECT_EQ(rig.form().focus(), &rig.estrai());
    rig.random.script = {0.0F};
    rig.view.key(Key::Enter, 6);  // one draw however long it is held
    EXPECT_EQ(rig.estratto().caption(), "01");
    EXPECT_EQ(rig.form().accessible(rig.estratto()).name, "Numero chiamato: 1");
    rig.view.key(Key::Enter);
    rig.view.key(Key::Enter);
    tabs(2);                   // nuova, then the newest slot
    rig.view.key(Key::Enter);  // cancels 1
    expectFree(rig.cell(0));
    EXPECT_EQ(rig.strip(), (Strings{"", "20", ""}));
    EXPECT_EQ(rig.question.asked.size(), 1U);
    EXPECT_EQ(rig.logBytes(), fakes::kMorningHeader + record("20") + record("1"));
}

// Only cell 0 sets the look a cancelled number goes back to; the new round
// paints every cell teal and takes 6 pt off those of 22 pt or more.
TEST(Board, DefaultsAreTakenFromCellZeroOnly) {
    Rig rig;
    rig.cell(0).setBackColor(rgb(200, 0, 0));
    rig.cell(0).setFontSize4(180000);
    rig.cell(1).setFontSize4(300000);
    rig.cell(3).setFontSize4(220000);  // 22 points exactly: called-sized
    rig.cell(2).setTag("ok");
    rig.open();
    EXPECT_EQ(rig.cell(2).tag(), "");
    rig.newRound();
    expectFree(rig.cell(0), rgb(0, 192, 192), 180000);
    expectFree(rig.cell(1), rgb(0, 192, 192), 240000);
    expectFree(rig.cell(3), rgb(0, 192, 192), 160000);
    rig.dblClick(rig.cell(4));
    rig.dblClick(rig.slot(0));
    expectFree(rig.cell(4), rgb(200, 0, 0), 180000);
}

TEST(Board, SlotsThatNameNoCellAreIgnored) {
    Rig rig;
    rig.open();
    for (const std::string text : {"", "abc", "0", "91", "-3", " 7", "7x", "+7", "7.0"}) {
        rig.slot(1).setText(text);  // as if typed into the slot
        const auto before = snapshot(rig.form());
        rig.dblClick(rig.slot(1));
        EXPECT_EQ(snapshot(rig.form()), before) << "slot text '" << text << "'";
    }
    EXPECT_FALSE(rig.form().failed());
}

TEST(Board, CandidatesSplitZeroToOneIntoNinetyEqualShares) {
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
    EXPECT_EQ(rig.random.reseeds, 2);  // from the clock at every draw
    EXPECT_EQ(rig.logBytes().size(), 130U + 82U * 8U + 9U * 7U);
}

// The open comes after numeri and estratto are disabled and before the cells
// are: a failure there leaves the cells on, reported once, and nothing runs.
TEST(Board, ALogThatCannotBeOpenedEndsTheLoad) {
    Rig rig;
    std::filesystem::create_directory(rig.dir.logPath());
    rig.open();
    ASSERT_EQ(rig.report.messages.size(), 1U);
    EXPECT_NE(rig.report.messages[0].find(rig.dir.logPath()), std::string::npos);
    EXPECT_FALSE(rig.numeri().enabled() || rig.estratto().enabled());
    EXPECT_TRUE(rig.cell(0).enabled() && rig.cell(89).enabled() && rig.estrai().enabled());
    EXPECT_TRUE(rig.view.focusHistory().empty());  // Activate never ran
    rig.newRound();
    rig.view.click(rig.estrai());
    EXPECT_TRUE(rig.question.asked.empty());
    EXPECT_EQ(rig.random.reseeds, 0);
    EXPECT_EQ(rig.report.messages.size(), 1U);
}

// A write that fails stops the handler where it stands: a new round writes
// its header last, a call logs after showing and marking the number but
// before the strip, the mark and estrai.
TEST(Board, AFailedWriteStopsTheHandlerWhereItStands) {
    Rig round;
    round.files = fakes::NativeFileSystem({.flush = fakes::diskFull});
    round.open();
    EXPECT_FALSE(round.form().failed());
    round.newRound();
    EXPECT_TRUE(round.cell(0).enabled() && round.estrai().enabled());
    round.dblClick(round.cell(3));
    EXPECT_EQ(round.report.messages.size(), 1U);
    EXPECT_EQ(round.estratto().caption(), "");  // nothing is dispatched after a failure

    Rig call;
    call.files = fakes::NativeFileSystem({.flush = fakes::diskFull});
    call.open();
    call.form().dispatch([&] { call.game.board().call(6); });
    ASSERT_EQ(call.report.messages.size(), 1U);
    EXPECT_NE(call.report.messages[0].find(call.dir.logPath()), std::string::npos);
    EXPECT_EQ(call.estratto().caption(), "07");
    EXPECT_FALSE(call.numeri().visible() || call.estrai().enabled());
    const Control& c = call.cell(6);
    EXPECT_EQ(std::tuple(c.backColor(), c.font().size, c.tag()),
              std::tuple(rgb(255, 255, 0), 277500, ""));
    EXPECT_EQ(call.strip(), (Strings{"", "", ""}));
}

// Draws over and over with only the numbers in `free` uncalled, freeing each
// drawn number again. The chi-square of the counts against equal shares must
// stay under its 0.001 quantile: a fair draw fails in under one seed in 1000.
void expectFairDraws(std::uint32_t seed, const std::vector<int>& free, int times, double limit) {
    Rig rig;
    rig.random.engine.emplace(seed);
    rig.open();
    rig.newRound();
    rig.callAllBut(free);
    std::vector<int> counts(free.size(), 0);
    for (int t = 0; t < times; ++t) {
        rig.view.click(rig.estrai());
        const int drawn = std::stoi(rig.estratto().caption());
        const auto at = std::find(free.begin(), free.end(), drawn);
        ASSERT_TRUE(at != free.end() && rig.cell(drawn - 1).tag() == "ok") << "drew " << drawn;
        ++counts.at(static_cast<std::size_t>(at - free.begin()));
        rig.dblClick(rig.slot(0));
        rig.dblClick(rig.estratto());
    }
    const double expected = static_cast<double>(times) / static_cast<double>(free.size());
    double chi = 0;
    for (int c : counts) chi += (c - expected) * (c - expected) / expected;
    EXPECT_LT(chi, limit);
}

TEST(Board, EveryFreeNumberIsEquallyLikely) {
    std::vector<int> all(90);
    std::iota(all.begin(), all.end(), 1);
    expectFairDraws(20260307U, all, 90000, 135.978);     // 89 degrees of freedom
    expectFairDraws(90U, {1, 2, 45, 90}, 8000, 16.266);  // 3 degrees of freedom
}

}  // namespace
