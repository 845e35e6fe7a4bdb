// The rules of the game, driven the way the caller drives them: clicks and
// double-clicks at the controls' places in the window, the question answered
// by script and the log read back from a fresh folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <random>
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
    rig.dblClick(rig.estratto());
    for (int i : {9, 89, 0}) {
        rig.dblClick(rig.cell(i));
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

// Only cell 0 sets the look a cancelled number goes back to; the new round
// paints every cell teal and takes 6 pt off those of 22 pt or more.
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
    EXPECT_EQ(rig.form().accessible(rig.estratto()).name, "20");
    rig.view.key(Key::Enter, 3);  // closes the big number, once
    rig.view.key(Key::Enter);     // then does nothing
    EXPECT_TRUE(rig.numeri().visible());

    tabs(5);
    EXPECT_EQ(rig.form().focus(), &rig.estrai());
    rig.random.script = {0.0F};
    rig.view.key(Key::Enter, 6);  // one draw however long it is held
    EXPECT_EQ(rig.estratto().caption(), "01");
    rig.view.key(Key::Enter);
    rig.view.key(Key::Enter);
    tabs(2);                   // nuova, then the newest slot
    rig.view.key(Key::Enter);  // cancels 1
    expectFree(rig.cell(0));
    EXPECT_EQ(rig.strip(), (Strings{"", "20", ""}));
    EXPECT_EQ(rig.question.asked.size(), 1U);
    EXPECT_EQ(rig.logBytes(), fakes::kMorningHeader + record("20") + record("1"));
}

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
    rig.view.click(rig.estrai());  // 1 and 28 are called: passed over
    expectCalled(rig.cell(89));
    rig.dblClick(rig.estratto());
    // With nothing left a draw calls nothing, and asks for no more values.
    const auto before = snapshot(rig.form());
    rig.view.click(rig.estrai());
    EXPECT_FALSE(rig.estrai().enabled());
    rig.estrai().setEnabled(true);
    EXPECT_EQ(snapshot(rig.form()), before);
    EXPECT_EQ(rig.logBytes().size(), 130U + 81U * 8U + 9U * 7U);
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
    round.files.diskFull = true;
    round.open();
    EXPECT_FALSE(round.form().failed());
    round.newRound();
    EXPECT_TRUE(round.cell(0).enabled() && round.estrai().enabled());
    round.dblClick(round.cell(3));
    EXPECT_EQ(round.report.messages.size(), 1U);
    EXPECT_EQ(round.estratto().caption(), "");  // nothing is dispatched after a failure

    Rig call;
    call.files.diskFull = true;
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

// Random evenings: seeded clicks, double-clicks and key presses anywhere in the
// window, aimed mostly at the cells, the strip, the big number and the buttons.
// A model of the rules follows the event each one delivers; after every action
// the board must match it, and at the end the log must hold what it saw.
struct Evening {
    explicit Evening(std::uint32_t seed) : gen(seed) {
        r.random.engine.emplace(seed);
        for (int i = 0; i < window::kCells; ++i) cells.push_back(&r.cell(i));
        r.open();
    }
    int pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(gen); }
    bool anyFree() const { return std::count(called.begin(), called.end(), false) > 0; }

    // What a call shows, marks and logs.
    void call(std::size_t i) {
        const std::string text = std::to_string(i + 1);
        called[i] = true;
        caption = i < 9 ? "0" + text : text;
        strip = {text, strip[0], strip[1]};
        boardShown = false;
        log += record(text);
        ++calls;
    }

    void step(int nuovaPercent, int yesPercent) {
        const int aimAt = pick(100);
        Control* aim = aimAt < nuovaPercent ? &r.nuova()
                       : aimAt < 40         ? cells[static_cast<std::size_t>(pick(window::kCells))]
                       : aimAt < 52         ? &r.estratto()
                       : aimAt < 64         ? &r.estrai()
                       : aimAt < 76         ? &r.slot(pick(window::kSlots))
                                            : nullptr;
        forms::Form& f = r.form();
        const forms::Rect area =
            aim ? f.windowRect(*aim) : forms::Rect{0, 0, f.clientWidth(), f.clientHeight()};
        const forms::Point p{area.left + pick(area.width), area.top + pick(area.height)};
        Control* hit = f.controlAt(p);
        const bool live = hit != nullptr && f.acceptsInput(*hit);
        // A double-click on a button is two clicks; here buttons get one.
        const bool button = hit != nullptr && hit->kind() == forms::Kind::CommandButton;
        const bool dbl = !button && pick(100) < (aim ? 90 : 50);
        r.question.answer = pick(100) < yesPercent ? Answer::Yes : Answer::No;
        const int reseeds = r.random.reseeds;
        f.pointerPress(p);
        f.pointerRelease(p);
        if (dbl) {
            f.pointerDoublePress(p);
            f.pointerRelease(p);
        }
        ASSERT_FALSE(f.failed());
        EXPECT_EQ(r.random.reseeds, reseeds + (live && hit == &r.estrai() ? 1 : 0));

        const auto cell = std::find(cells.begin(), cells.end(), hit);
        const auto index = static_cast<std::size_t>(cell - cells.begin());
        if (!live) {
        } else if (hit == &r.nuova()) {
            if (r.question.answer == Answer::Yes) {
                called.assign(called.size(), false);
                strip = {"", "", ""};
                started = estraiOn = true;
                log += fakes::kMorningHeader;
                ++rounds;
            }
        } else if (hit == &r.estrai()) {
            if (anyFree()) {  // the generator's pick is not known here: find it
                std::size_t drawn = called.size();
                for (std::size_t i = 0; i < called.size(); ++i) {
                    if (!called[i] && !cells[i]->tag().empty()) drawn = i;
                }
                ASSERT_LT(drawn, called.size()) << "a draw called no free number";
                call(drawn);
            }
            estraiOn = false;
        } else if (!dbl) {
        } else if (cell != cells.end() && !called[index]) {
            call(index);
            estraiOn = anyFree();
        } else if (hit == &r.estratto()) {
            boardShown = estraiOn = true;
            EXPECT_EQ(f.focus(), nullptr);  // the window takes the focus
        } else if (hit->name() == "last") {
            std::string& text = strip.at(static_cast<std::size_t>(hit->index()));
            if (!text.empty()) called.at(static_cast<std::size_t>(std::stoi(text) - 1)) = false;
            text = "";
        }

        for (std::size_t i = 0; i < cells.size(); ++i) {
            ASSERT_EQ(cells[i]->enabled(), started) << i;
            called[i] ? expectCalled(*cells[i]) : expectFree(*cells[i]);
        }
        EXPECT_EQ(r.strip(), strip);
        EXPECT_EQ(r.estratto().caption(), caption);
        EXPECT_EQ(std::tuple(r.numeri().visible(), r.numeri().enabled(), r.estratto().enabled(),
                             r.estrai().enabled()),
                  std::tuple(boardShown, started, started, estraiOn));
        fullBoards += anyFree() ? 0 : 1;
    }

    Rig r;
    std::vector<Control*> cells;
    std::mt19937 gen;
    // The model: what the caller should see and the log should hold.
    std::vector<bool> called = std::vector<bool>(window::kCells, false);
    Strings strip{"", "", ""};
    std::string caption;
    std::string log;
    bool boardShown = true;
    bool started = false;
    bool estraiOn = false;
    int calls = 0;
    int rounds = 0;
    int fullBoards = 0;
};

// Many short evenings with many rounds, then long ones in which the board
// fills up and the last free numbers, the full board and the empty draw come up.
TEST(Play, RandomEvenings) {
    int calls = 0;
    int rounds = 0;
    int fullBoards = 0;
    for (std::uint32_t seed = 1; seed <= 2040 && !HasFailure(); ++seed) {
        const bool longer = seed > 2000;
        Evening e(seed);
        for (int a = 0; a < (longer ? 4000 : 80) && !HasFailure(); ++a) {
            e.step(longer ? 1 : 8, longer ? 25 : 60);
            if (HasFailure()) ADD_FAILURE() << "seed " << seed << ", action " << a;
        }
        EXPECT_EQ(e.r.logBytes(), e.log) << "seed " << seed;
        calls += e.calls;
        rounds += e.rounds;
        fullBoards += e.fullBoards;
    }
    EXPECT_GT(calls, 40000);  // the aim is good enough to play real rounds
    EXPECT_GT(rounds, 5000);
    EXPECT_GT(fullBoards, 100);
}

}  // namespace
