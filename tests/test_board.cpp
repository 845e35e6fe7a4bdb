// The rules of the game, driven the way the caller drives them: clicks and
// double-clicks at the controls' places in the window, the question answered
// by script and the log read back from a fresh folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "board/board.h"
#include "fakes.h"

namespace {

using fakes::Answer;
using fakes::record;
using fakes::Rig;
using forms::Control;
using forms::rgb;

constexpr forms::Color kTeal = rgb(0, 192, 192);
constexpr forms::Color kYellow = rgb(255, 255, 0);
constexpr forms::Color kBlue = rgb(0, 0, 255);
constexpr forms::FontSize4 kFreeSize = 217500;    // 21.75 pt
constexpr forms::FontSize4 kCalledSize = 277500;  // 27.75 pt

using Strip = std::vector<std::string>;

void expectFree(const Control& c, forms::Color back = kTeal, forms::FontSize4 size = kFreeSize) {
    SCOPED_TRACE(c.text());
    EXPECT_EQ(c.backColor(), back);
    EXPECT_EQ(c.foreColor(), 0U);
    EXPECT_FALSE(c.fontBold());
    EXPECT_EQ(c.font().size, size);
    EXPECT_EQ(c.tag(), "");
}

void expectCalled(const Control& c) {
    SCOPED_TRACE(c.text());
    EXPECT_EQ(c.backColor(), kYellow);
    EXPECT_EQ(c.foreColor(), kBlue);
    EXPECT_TRUE(c.fontBold());
    EXPECT_EQ(c.font().size, kCalledSize);
    EXPECT_EQ(c.tag(), "ok");
}

TEST(BoardOpen, TheBoardWaitsForANewRound) {
    Rig rig;
    rig.open();
    EXPECT_FALSE(rig.form->failed());
    EXPECT_EQ(rig.board.defaultsize(), kFreeSize);
    EXPECT_EQ(rig.board.defaultBack(), kTeal);
    EXPECT_FALSE(rig.numeri().enabled());
    EXPECT_FALSE(rig.estratto().enabled());
    EXPECT_FALSE(rig.estrai().enabled());
    EXPECT_TRUE(rig.nuova().enabled());
    for (int i = 0; i < window::kCells; ++i) {
        EXPECT_FALSE(rig.cell(i).enabled()) << i;
        EXPECT_EQ(rig.cell(i).tag(), "") << i;
    }
    EXPECT_EQ(rig.strip(), (Strip{"", "", ""}));
    // estrai was given the focus while it could still take it.
    ASSERT_EQ(rig.observer.focus.size(), 1U);
    EXPECT_EQ(rig.observer.focus[0].control, &rig.estrai());
    EXPECT_TRUE(rig.observer.focus[0].enabled);
    EXPECT_TRUE(std::filesystem::is_regular_file(rig.dir.logPath()));
    EXPECT_TRUE(rig.question.asked.empty());

    // Before the first round, double-clicks and estrai do nothing at all.
    const auto before = fakes::snapshot(*rig.form);
    rig.dblClickCell(0);
    rig.dblClickCell(89);
    rig.closeDisplay();
    rig.form->clickAt(rig.centre(rig.estrai()));
    rig.form->dblClickAt(rig.centre(rig.slot(0)));
    EXPECT_TRUE(fakes::snapshot(*rig.form) == before);
    EXPECT_EQ(rig.logBytes(), "");
    EXPECT_EQ(rig.random.reseeds, 0);
}

// Only cell 0 sets the look a cancelled number goes back to; the new round
// itself paints every cell the usual teal.
TEST(BoardOpen, DefaultsAreTakenFromCellZeroOnly) {
    Rig rig;
    rig.cell(0).setBackColor(rgb(200, 0, 0));
    rig.cell(0).setFontSize4(180000);
    rig.cell(1).setBackColor(rgb(1, 2, 3));
    rig.cell(1).setFontSize4(300000);
    rig.open();
    EXPECT_EQ(rig.board.defaultsize(), 180000);
    EXPECT_EQ(rig.board.defaultBack(), rgb(200, 0, 0));

    rig.newRound();
    expectFree(rig.cell(0), kTeal, 180000);  // below 22 pt: left as it was
    expectFree(rig.cell(1), kTeal, 240000);  // 30 pt counts as grown: 6 pt off
    rig.dblClickCell(4);
    expectCalled(rig.cell(4));
    rig.form->dblClickAt(rig.centre(rig.slot(0)));
    expectFree(rig.cell(4), rgb(200, 0, 0), 180000);
}

TEST(BoardNewRound, AnsweringNoChangesNothingByteForByte) {
    Rig rig;
    rig.open();
    auto before = fakes::snapshot(*rig.form);
    rig.newRound(Answer::No);
    ASSERT_EQ(rig.question.asked.size(), 1U);
    EXPECT_EQ(rig.question.asked[0].prompt, "SICURO DI VOLER COMINCIARE UNA NUOVA SORVINATA?");
    EXPECT_EQ(rig.question.asked[0].title, "Nuovo giro di sorvina");
    EXPECT_TRUE(fakes::snapshot(*rig.form) == before);
    EXPECT_EQ(rig.logBytes(), "");

    // The same in the middle of a round, with the big number showing.
    rig.newRound();
    rig.callAndClose(4);
    rig.dblClickCell(41);
    before = fakes::snapshot(*rig.form);
    const std::string bytes = rig.logBytes();
    rig.newRound(Answer::No);
    EXPECT_EQ(rig.question.asked.size(), 3U);
    EXPECT_TRUE(fakes::snapshot(*rig.form) == before);
    EXPECT_EQ(rig.logBytes(), bytes);
}

TEST(BoardNewRound, YesClearsTheBoardAndWritesAHeader) {
    Rig rig;
    rig.open();
    rig.newRound();
    EXPECT_EQ(rig.logBytes(), fakes::kMorningHeader);
    for (int i = 0; i < window::kCells; ++i) {
        EXPECT_TRUE(rig.cell(i).enabled());
        expectFree(rig.cell(i));
    }
    EXPECT_TRUE(rig.numeri().enabled());
    EXPECT_TRUE(rig.numeri().visible());
    EXPECT_TRUE(rig.estrai().enabled());
    EXPECT_TRUE(rig.estratto().enabled());
    EXPECT_EQ(rig.estratto().caption(), "");

    // A second round started while the big number shows: it stays up, and
    // every mark of the first round goes.
    rig.callAndClose(4);
    rig.callAndClose(41);
    rig.dblClickCell(6);
    rig.newRound();
    EXPECT_FALSE(rig.numeri().visible());
    EXPECT_EQ(rig.estratto().caption(), "07");
    EXPECT_EQ(rig.strip(), (Strip{"", "", ""}));
    for (int i = 0; i < window::kCells; ++i) {
        expectFree(rig.cell(i));
    }
    EXPECT_EQ(rig.logBytes(), fakes::kMorningHeader + record("5") + record("42") + record("7") +
                                  fakes::kMorningHeader);
}

TEST(BoardCall, ACallShowsMarksLogsAndShiftsTheStrip) {
    Rig rig;
    rig.open();
    rig.newRound();
    rig.dblClickCell(6);
    EXPECT_EQ(rig.estratto().caption(), "07");  // padded on the big number only
    EXPECT_FALSE(rig.numeri().visible());
    expectCalled(rig.cell(6));
    EXPECT_EQ(rig.strip(), (Strip{"7", "", ""}));
    EXPECT_TRUE(rig.estrai().enabled());
    EXPECT_EQ(rig.logBytes(), fakes::kMorningHeader + record("7"));

    rig.closeDisplay();
    EXPECT_TRUE(rig.numeri().visible());
    EXPECT_TRUE(rig.estrai().enabled());
    EXPECT_EQ(rig.observer.focus.back().control, nullptr);  // the window takes the focus

    rig.dblClickCell(9);
    EXPECT_EQ(rig.estratto().caption(), "10");
    rig.closeDisplay();
    rig.dblClickCell(89);
    EXPECT_EQ(rig.estratto().caption(), "90");
    EXPECT_EQ(rig.strip(), (Strip{"90", "10", "7"}));
    rig.closeDisplay();
    rig.dblClickCell(0);
    EXPECT_EQ(rig.estratto().caption(), "01");
    EXPECT_EQ(rig.strip(), (Strip{"1", "90", "10"}));
    expectCalled(rig.cell(6));  // fell off the strip, still called
    EXPECT_EQ(rig.logBytes(),
              fakes::kMorningHeader + record("7") + record("10") + record("90") + record("1"));
}

TEST(BoardCall, TheStripShiftsGapsAlong) {
    Rig rig;
    rig.open();
    rig.newRound();
    rig.callAndClose(4);
    rig.callAndClose(6);
    rig.callAndClose(8);
    EXPECT_EQ(rig.strip(), (Strip{"9", "7", "5"}));
    rig.form->dblClickAt(rig.centre(rig.slot(1)));
    EXPECT_EQ(rig.strip(), (Strip{"9", "", "5"}));
    expectFree(rig.cell(6));
    rig.dblClickCell(10);
    EXPECT_EQ(rig.strip(), (Strip{"11", "9", ""}));
    expectCalled(rig.cell(4));  // 5 left the strip but stays called
    EXPECT_EQ(rig.logBytes(),
              fakes::kMorningHeader + record("5") + record("7") + record("9") + record("11"));
}

TEST(BoardCall, ACalledCellIgnoresAnotherCall) {
    Rig rig;
    rig.open();
    rig.newRound();
    rig.callAndClose(4);
    rig.callAndClose(6);
    const auto before = fakes::snapshot(*rig.form);
    const std::string bytes = rig.logBytes();
    rig.dblClickCell(4);
    EXPECT_TRUE(fakes::snapshot(*rig.form) == before);
    // Not even straight at the handler.
    rig.form->dispatch([&] { rig.board.call(6); });
    EXPECT_TRUE(fakes::snapshot(*rig.form) == before);
    EXPECT_EQ(rig.logBytes(), bytes);
}

TEST(BoardCancel, ACancelledNumberIsFreeAndCanBeCalledAgain) {
    Rig rig;
    rig.open();
    rig.newRound();
    rig.dblClickCell(11);
    rig.form->dblClickAt(rig.centre(rig.slot(0)));
    expectFree(rig.cell(11));
    EXPECT_EQ(rig.strip(), (Strip{"", "", ""}));
    // The big number and estrai are none of cancel's business.
    EXPECT_FALSE(rig.numeri().visible());
    EXPECT_EQ(rig.estratto().caption(), "12");
    EXPECT_TRUE(rig.estrai().enabled());
    EXPECT_EQ(rig.logBytes(), fakes::kMorningHeader + record("12"));

    rig.closeDisplay();
    rig.dblClickCell(11);
    expectCalled(rig.cell(11));
    EXPECT_EQ(rig.strip(), (Strip{"12", "", ""}));
    EXPECT_EQ(rig.logBytes(), fakes::kMorningHeader + record("12") + record("12"));

    // After a draw estrai is off, and a cancel leaves it off.
    rig.closeDisplay();
    rig.random.script({0.5F});
    rig.form->clickAt(rig.centre(rig.estrai()));
    EXPECT_FALSE(rig.estrai().enabled());
    rig.form->dblClickAt(rig.centre(rig.slot(1)));
    expectFree(rig.cell(11));
    EXPECT_FALSE(rig.estrai().enabled());
}

TEST(BoardCancel, SlotsThatNameNoCellAreIgnored) {
    EXPECT_EQ(board::slotNumber("1"), 1);
    EXPECT_EQ(board::slotNumber("45"), 45);
    EXPECT_EQ(board::slotNumber("90"), 90);
    Rig rig;
    rig.open();
    rig.newRound();
    rig.callAndClose(6);
    rig.callAndClose(0);
    for (const std::string text : {"", "abc", "0", "91", "-3", " 7", "7x", "+7", "7.0"}) {
        SCOPED_TRACE("slot text '" + text + "'");
        EXPECT_EQ(board::slotNumber(text), 0);
        rig.slot(1).setText(text);  // as if typed into the slot
        const auto before = fakes::snapshot(*rig.form);
        rig.form->dblClickAt(rig.centre(rig.slot(1)));
        EXPECT_TRUE(fakes::snapshot(*rig.form) == before);
    }
    expectCalled(rig.cell(6));
}

TEST(BoardDraw, CandidatesSplitZeroToOneIntoNinetyEqualShares) {
    EXPECT_EQ(board::candidateFor(0.0F), 1);
    EXPECT_EQ(board::candidateFor(0.5F), 46);
    EXPECT_EQ(board::candidateFor(std::nextafter(1.0F, 0.0F)), 90);
    // At every boundary k / 90 the last float below it gives k and the first
    // float at or above it gives k + 1. A float times 90 is exact in double
    // precision, so the boundary floats are found exactly.
    for (int k = 1; k < 90; ++k) {
        float f = static_cast<float>(k / 90.0);
        while (static_cast<double>(f) * 90.0 < k) {
            f = std::nextafter(f, 1.0F);
        }
        while (static_cast<double>(std::nextafter(f, 0.0F)) * 90.0 >= k) {
            f = std::nextafter(f, 0.0F);
        }
        EXPECT_EQ(board::candidateFor(f), k + 1) << "at " << k << "/90";
        EXPECT_EQ(board::candidateFor(std::nextafter(f, 0.0F)), k) << "below " << k << "/90";
    }
}

TEST(BoardDraw, DrawsAFreshNumberAndSkipsCalledOnes) {
    Rig rig({0.0F});
    rig.open();
    rig.newRound();
    rig.form->clickAt(rig.centre(rig.estrai()));
    EXPECT_EQ(rig.random.reseeds, 1);
    EXPECT_EQ(rig.random.draws, 1);
    expectCalled(rig.cell(0));
    EXPECT_EQ(rig.estratto().caption(), "01");
    EXPECT_FALSE(rig.estrai().enabled());
    rig.closeDisplay();
    EXPECT_TRUE(rig.estrai().enabled());

    // 1 is taken; 46 comes next. Then 90, with 1 and 46 both passed over.
    rig.random.script({0.0F, 0.5F});
    rig.form->keyClick(rig.estrai());
    rig.closeDisplay();
    rig.random.script({0.5F, 0.0F, std::nextafter(1.0F, 0.0F)});
    rig.form->dblClickAt(rig.centre(rig.estrai()));  // a double-click is a click
    EXPECT_EQ(rig.random.reseeds, 3);
    EXPECT_EQ(rig.random.draws, 6);
    EXPECT_EQ(rig.strip(), (Strip{"90", "46", "1"}));
    EXPECT_EQ(rig.logBytes(), fakes::kMorningHeader + record("1") + record("46") + record("90"));
}

// Leaves only the numbers in `free` uncalled, by double-clicking the others.
void callAllBut(Rig& rig, const std::vector<int>& free) {
    for (int i = 0; i < window::kCells; ++i) {
        if (std::find(free.begin(), free.end(), i + 1) == free.end()) {
            rig.callAndClose(i);
        }
    }
}

TEST(BoardDraw, TheLastFreeNumbers) {
    Rig rig;
    rig.open();
    rig.newRound();
    callAllBut(rig, {45, 90});
    EXPECT_TRUE(rig.estrai().enabled());
    rig.random.script({0.0F, 0.3F, std::nextafter(1.0F, 0.0F)});
    rig.form->clickAt(rig.centre(rig.estrai()));
    expectCalled(rig.cell(89));
    EXPECT_FALSE(rig.estrai().enabled());
    rig.closeDisplay();

    // Calling the very last by hand turns estrai off; closing turns it on.
    rig.dblClickCell(44);
    EXPECT_FALSE(rig.estrai().enabled());
    rig.closeDisplay();
    EXPECT_TRUE(rig.estrai().enabled());

    // With nothing left, a draw calls nothing and asks for no values.
    const auto before = fakes::snapshot(*rig.form);
    const std::string bytes = rig.logBytes();
    const int draws = rig.random.draws;
    rig.form->clickAt(rig.centre(rig.estrai()));
    EXPECT_FALSE(rig.form->failed());
    EXPECT_EQ(rig.random.draws, draws);
    EXPECT_FALSE(rig.estrai().enabled());
    rig.estrai().setEnabled(true);
    EXPECT_TRUE(fakes::snapshot(*rig.form) == before);
    EXPECT_EQ(rig.logBytes(), bytes);
    EXPECT_EQ(bytes.size(), 130U + 81U * 8U + 9U * 7U);
}

TEST(BoardFailure, ALogThatCannotBeOpenedEndsTheLoad) {
    Rig rig;
    std::filesystem::create_directory(rig.dir.logPath());
    rig.open();
    EXPECT_TRUE(rig.form->failed());
    ASSERT_EQ(rig.report.messages.size(), 1U);
    EXPECT_NE(rig.report.messages[0].find(rig.dir.logPath()), std::string::npos);
    // The load stopped at the open: the board and the big number are off,
    // the cells not yet, and Activate never ran.
    EXPECT_FALSE(rig.numeri().enabled());
    EXPECT_FALSE(rig.estratto().enabled());
    EXPECT_TRUE(rig.cell(0).enabled());
    EXPECT_TRUE(rig.cell(89).enabled());
    EXPECT_TRUE(rig.estrai().enabled());
    EXPECT_TRUE(rig.observer.focus.empty());

    rig.newRound();
    rig.form->keyClick(rig.estrai());
    EXPECT_TRUE(rig.question.asked.empty());
    EXPECT_EQ(rig.random.reseeds, 0);
    EXPECT_EQ(rig.report.messages.size(), 1U);
    EXPECT_TRUE(std::filesystem::is_empty(rig.dir.logPath()));
}

TEST(BoardFailure, AFailedWriteStopsTheHandlerWhereItStands) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    {
        // The header goes last in a new round: the board is already reset.
        Rig rig;
        std::filesystem::create_symlink("/dev/full", rig.dir.logPath());
        rig.open();
        EXPECT_FALSE(rig.form->failed());
        rig.newRound();
        EXPECT_TRUE(rig.form->failed());
        EXPECT_EQ(rig.report.messages.size(), 1U);
        EXPECT_TRUE(rig.cell(0).enabled());
        EXPECT_TRUE(rig.estrai().enabled());
        EXPECT_FALSE(rig.dblClickCell(3));
        EXPECT_EQ(rig.cell(3).backColor(), kTeal);
        EXPECT_EQ(rig.report.messages.size(), 1U);
    }
    {
        // A call shows and marks the number before logging it; the strip,
        // the mark and estrai come after and stay as they were.
        Rig rig;
        std::filesystem::create_symlink("/dev/full", rig.dir.logPath());
        rig.open();
        rig.form->dispatch([&] { rig.board.call(6); });
        EXPECT_TRUE(rig.form->failed());
        ASSERT_EQ(rig.report.messages.size(), 1U);
        EXPECT_NE(rig.report.messages[0].find(rig.dir.logPath()), std::string::npos);
        EXPECT_EQ(rig.estratto().caption(), "07");
        EXPECT_FALSE(rig.numeri().visible());
        EXPECT_EQ(rig.cell(6).backColor(), kYellow);
        EXPECT_EQ(rig.cell(6).font().size, kCalledSize);
        EXPECT_EQ(rig.cell(6).tag(), "");
        EXPECT_EQ(rig.strip(), (Strip{"", "", ""}));
        EXPECT_FALSE(rig.estrai().enabled());
    }
}

// Chi-square of observed counts against equal shares.
double chiSquare(const std::vector<int>& counts) {
    double total = 0;
    for (int c : counts) total += c;
    const double expected = total / static_cast<double>(counts.size());
    double sum = 0;
    for (int c : counts) sum += (c - expected) * (c - expected) / expected;
    return sum;
}

// Draws with the given numbers free, freeing the drawn one each time so the
// same numbers stay free; returns how often each free number came out.
std::vector<int> drawRepeatedly(Rig& rig, const std::vector<int>& free, int times) {
    std::vector<int> counts(free.size(), 0);
    for (int t = 0; t < times; ++t) {
        rig.form->keyClick(rig.estrai());
        const int drawn = std::stoi(rig.estratto().caption());
        const auto at = std::find(free.begin(), free.end(), drawn);
        if (at == free.end() || rig.cell(drawn - 1).tag() != "ok") {
            ADD_FAILURE() << "draw " << t << " called no free number (shows " << drawn << ")";
            break;
        }
        ++counts.at(static_cast<std::size_t>(at - free.begin()));
        rig.form->dblClickAt(rig.centre(rig.slot(0)));
        rig.closeDisplay();
    }
    return counts;
}

// 0.001 quantiles of chi-square with 89 and 3 degrees of freedom: a fair
// draw would fail less than once in a thousand seeds.
constexpr double kChi89 = 135.978;
constexpr double kChi3 = 16.266;

TEST(BoardDrawFairness, EveryNumberIsEquallyLikelyFromAFullBoard) {
    Rig rig(fakes::FakeRandom::seeded(20260307U), fakes::kMorning);
    rig.open();
    rig.newRound();
    std::vector<int> all;
    for (int n = 1; n <= 90; ++n) all.push_back(n);
    const auto counts = drawRepeatedly(rig, all, 90000);
    EXPECT_GT(counts.front(), 0);
    EXPECT_GT(counts.back(), 0);
    EXPECT_LT(chiSquare(counts), kChi89);
    EXPECT_FALSE(rig.form->failed());
}

TEST(BoardDrawFairness, FreeNumbersStayEquallyLikelyNearTheEnd) {
    Rig rig(fakes::FakeRandom::seeded(90U), fakes::kMorning);
    rig.open();
    rig.newRound();
    const std::vector<int> free{1, 2, 45, 90};
    callAllBut(rig, free);
    const auto counts = drawRepeatedly(rig, free, 8000);
    EXPECT_LT(chiSquare(counts), kChi3)
        << counts[0] << " " << counts[1] << " " << counts[2] << " " << counts[3];
    EXPECT_FALSE(rig.form->failed());
}

}  // namespace
