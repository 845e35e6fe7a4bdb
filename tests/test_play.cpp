// Random evenings at the board: seeded sequences of clicks and double-clicks
// anywhere in the window, aimed mostly at the cells, the strip, the big
// number and the two buttons, with the question answered at random. After
// every action the board must be consistent, and at the end the log must
// hold exactly the rounds and calls the caller saw.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "board/board.h"
#include "fakes.h"

namespace {

using fakes::Answer;
using fakes::Rig;
using forms::Control;
using forms::Point;
using forms::rgb;

constexpr forms::Color kTeal = rgb(0, 192, 192);
constexpr forms::Color kYellow = rgb(255, 255, 0);
constexpr forms::Color kBlue = rgb(0, 0, 255);

struct Style {
    int actions;
    int nuovaPercent;  // how often the caller reaches for nuova
    int yesPercent;    // how often they answer Yes
};

class Evening {
  public:
    Evening(std::uint32_t seed, Style style)
        : rig_(fakes::FakeRandom::seeded(seed), fakes::kMorning), gen_(seed), style_(style) {
        for (int i = 0; i < window::kCells; ++i) cells_.push_back(&rig_.cell(i));
    }

    void play() {
        rig_.open();
        for (int a = 0; a < style_.actions; ++a) {
            act();
            check();
            if (::testing::Test::HasFailure()) {
                ADD_FAILURE() << "after action " << a;
                return;
            }
        }
        checkLog();
    }

  private:
    Control& cell(int i) const { return *cells_[static_cast<std::size_t>(i)]; }

    int pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(gen_); }

    Point inside(const Control& c) {
        const forms::Rect r = rig_.form->windowRect(c);
        return {r.left + pick(r.width), r.top + pick(r.height)};
    }

    void clickOrDouble(Point p, int doublePercent) {
        if (pick(100) < doublePercent) {
            rig_.form->dblClickAt(p);
        } else {
            rig_.form->clickAt(p);
        }
    }

    void act() {
        if (rig_.question.script.empty()) {
            rig_.question.script.push_back(pick(100) < style_.yesPercent ? Answer::Yes
                                                                         : Answer::No);
        }
        tagsBefore_.clear();
        for (int i = 0; i < window::kCells; ++i) tagsBefore_.push_back(cell(i).tag());
        askedBefore_ = rig_.question.asked.size();

        const int r = pick(100);
        if (r < style_.nuovaPercent) {
            clickOrDouble(inside(rig_.nuova()), 20);
        } else if (r < 40) {
            clickOrDouble(inside(cell(pick(window::kCells))), 90);
        } else if (r < 52) {
            clickOrDouble(inside(rig_.estratto()), 90);
        } else if (r < 64) {
            const int how = pick(3);
            if (how == 0) {
                rig_.form->keyClick(rig_.estrai());
            } else {
                clickOrDouble(inside(rig_.estrai()), 50);
            }
        } else if (r < 76) {
            clickOrDouble(inside(rig_.slot(pick(window::kSlots))), 90);
        } else {
            const Point p{pick(rig_.form->clientWidth()), pick(rig_.form->clientHeight())};
            clickOrDouble(p, 50);
        }
        observe();
    }

    // Follows the round from what the caller can see: a Yes starts a new
    // one, a cell turning "ok" is a call.
    void observe() {
        const auto& asked = rig_.question.asked;
        ASSERT_LE(asked.size(), askedBefore_ + 1);
        if (asked.size() > askedBefore_ && asked.back().answer == Answer::Yes) {
            ++yes_;
            expectedLog_ += fakes::kMorningHeader;
            return;
        }
        int calls = 0;
        for (int i = 0; i < window::kCells; ++i) {
            if (tagsBefore_[static_cast<std::size_t>(i)].empty() && cell(i).tag() == "ok") {
                ++calls;
                const std::string text = std::to_string(i + 1);
                expectedLog_ += fakes::record(text);
                shown_ = i < 9 ? "0" + text : text;
                ++totalCalls_;
            }
        }
        ASSERT_LE(calls, 1) << "one action called several numbers";
    }

    void check() {
        ASSERT_FALSE(rig_.form->failed());
        ASSERT_TRUE(rig_.report.messages.empty());
        EXPECT_EQ(rig_.board.defaultsize(), 217500);
        EXPECT_EQ(rig_.board.defaultBack(), kTeal);
        int free = 0;
        for (int i = 0; i < window::kCells; ++i) {
            const Control& c = cell(i);
            const bool called = c.tag() == "ok";
            free += called ? 0 : 1;
            ASSERT_TRUE(called || c.tag().empty()) << "cell " << i << ": " << c.tag();
            ASSERT_EQ(c.text(), std::to_string(i + 1));
            ASSERT_EQ(c.backColor() == kYellow, called) << "cell " << i;
            ASSERT_EQ(c.backColor(), called ? kYellow : kTeal) << "cell " << i;
            ASSERT_EQ(c.foreColor(), called ? kBlue : 0U) << "cell " << i;
            ASSERT_EQ(c.fontBold(), called) << "cell " << i;
            ASSERT_EQ(c.font().size, called ? 277500 : 217500) << "cell " << i;
        }
        if (free == 0) ++fullBoards_;
        std::set<int> named;
        for (int k = 0; k < window::kSlots; ++k) {
            const std::string& text = rig_.slot(k).text();
            if (text.empty()) continue;
            const int n = board::slotNumber(text);
            ASSERT_NE(n, 0) << "slot " << k << " holds '" << text << "'";
            ASSERT_TRUE(named.insert(n).second) << n << " is in the strip twice";
            ASSERT_EQ(cell(n - 1).tag(), "ok") << n << " is in the strip but free";
        }
        const std::string& caption = rig_.estratto().caption();
        if (!caption.empty()) {
            ASSERT_EQ(caption.size(), 2U) << caption;
            const int n = (caption[0] - '0') * 10 + (caption[1] - '0');
            ASSERT_TRUE(n >= 1 && n <= 90) << caption;
        }
        ASSERT_EQ(caption, shown_);
    }

    void checkLog() {
        const std::string bytes = rig_.logBytes();
        int headers = 0;
        for (auto at = bytes.find("NUOVO GIRO DI SORVINA"); at != std::string::npos;
             at = bytes.find("NUOVO GIRO DI SORVINA", at + 1)) {
            ++headers;
        }
        EXPECT_EQ(headers, yes_);
        EXPECT_EQ(bytes, expectedLog_);
    }

  public:
    int totalCalls() const { return totalCalls_; }
    int rounds() const { return yes_; }
    int fullBoards() const { return fullBoards_; }

  private:
    Rig rig_;
    std::vector<Control*> cells_;
    std::mt19937 gen_;
    Style style_;
    std::vector<std::string> tagsBefore_;
    std::size_t askedBefore_ = 0;
    int yes_ = 0;
    int totalCalls_ = 0;
    int fullBoards_ = 0;
    std::string shown_;
    std::string expectedLog_;
};

TEST(Play, ManyShortEvenings) {
    int calls = 0;
    int rounds = 0;
    for (std::uint32_t seed = 1; seed <= 2000; ++seed) {
        Evening evening(seed, {80, 8, 60});
        evening.play();
        if (HasFailure()) {
            FAIL() << "seed " << seed;
        }
        calls += evening.totalCalls();
        rounds += evening.rounds();
    }
    // The aim is good enough to play real rounds, not just miss.
    EXPECT_GT(calls, 20000);
    EXPECT_GT(rounds, 5000);
}

// Long rounds, so that the board fills up and the last free numbers, the
// full board and the empty draw all come up.
TEST(Play, LongEveningsThatFillTheBoard) {
    int calls = 0;
    int full = 0;
    for (std::uint32_t seed = 1001; seed <= 1040; ++seed) {
        Evening evening(seed, {4000, 1, 25});
        evening.play();
        if (HasFailure()) {
            FAIL() << "seed " << seed;
        }
        calls += evening.totalCalls();
        full += evening.fullBoards();
    }
    EXPECT_GT(calls, 20000);
    EXPECT_GT(full, 100);
}

}  // namespace
