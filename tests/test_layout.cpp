// The board window as it is created: where every control sits, what covers
// what, and how the cells and the strip look before the first round.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "fakes.h"
#include "window/layout.h"

namespace {

using forms::Control;
using forms::Form;
using forms::Point;
using forms::Rect;
using forms::rgb;

constexpr std::array<int, 10> kColumnLeft{210,  1110, 2010, 2910, 3810,
                                          5700, 6600, 7500, 8400, 9300};
constexpr std::array<int, 9> kRowTop{480, 1380, 2280, 3360, 4260, 5160, 6240, 7140, 8040};

// Calls f on a grid of points covering r, its last row and column included.
template <typename F>
void forEachPoint(const Rect& r, int step, F f) {
    for (int x = r.left;; x += step) {
        const int px = x < r.right() ? x : r.right() - 1;
        for (int y = r.top;; y += step) {
            const int py = y < r.bottom() ? y : r.bottom() - 1;
            f(Point{px, py});
            if (py == r.bottom() - 1) break;
        }
        if (px == r.right() - 1) break;
    }
}

struct Expected {
    const char* name;
    int index;
    Rect rect;
};

void expectStack(const std::vector<Control*>& stack, const std::vector<Expected>& expected) {
    ASSERT_EQ(stack.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE(expected[k].name);
        EXPECT_EQ(stack[k]->name(), expected[k].name);
        EXPECT_EQ(stack[k]->index(), expected[k].index);
        EXPECT_EQ(stack[k]->rect().left, expected[k].rect.left);
        EXPECT_EQ(stack[k]->rect().top, expected[k].rect.top);
        EXPECT_EQ(stack[k]->rect().width, expected[k].rect.width);
        EXPECT_EQ(stack[k]->rect().height, expected[k].rect.height);
    }
}

TEST(Layout, CellsSitInBlocksOfThreeRowsByFiveColumns) {
    auto form = window::makeTabellone();
    const Control& numeri = form->control("numeri");
    for (int i = 0; i < window::kCells; ++i) {
        SCOPED_TRACE(i);
        const Control& c = form->control("num", i);
        EXPECT_EQ(c.container(), &numeri);
        EXPECT_EQ(c.rect().left, kColumnLeft.at(static_cast<std::size_t>(i % 10)));
        EXPECT_EQ(c.rect().top, kRowTop.at(static_cast<std::size_t>(i / 10)));
        EXPECT_EQ(c.rect().width, 820);
        EXPECT_EQ(c.rect().height, 820);
        EXPECT_EQ(c.text(), std::to_string(i + 1));
        EXPECT_EQ(window::cellPosition(i).x, c.rect().left);
        EXPECT_EQ(window::cellPosition(i).y, c.rect().top);
    }
    // The anchors the board's drawing was made from.
    EXPECT_EQ(form->control("num", 4).rect().left, 3810);
    EXPECT_EQ(form->control("num", 5).rect().left, 5700);
    EXPECT_EQ(form->control("num", 29).rect().top, 2280);
    EXPECT_EQ(form->control("num", 30).rect().top, 3360);
    EXPECT_EQ(form->control("num", 60).rect().top, 6240);
    EXPECT_EQ(form->control("num", 89).rect().left, 9300);
    EXPECT_EQ(form->control("num", 89).rect().top, 8040);
    for (int a = 0; a < window::kCells; ++a) {
        for (int b = a + 1; b < window::kCells; ++b) {
            const Rect& ra = form->control("num", a).rect();
            const Rect& rb = form->control("num", b).rect();
            const bool apart = ra.right() <= rb.left || rb.right() <= ra.left ||
                               ra.bottom() <= rb.top || rb.bottom() <= ra.top;
            EXPECT_TRUE(apart) << a << " overlaps " << b;
        }
    }
}

TEST(Layout, TabWalksTheCellsInItsOwnOrder) {
    const std::vector<int> order{
        19, 9,  20, 18, 17, 16, 15, 14, 13, 12, 11, 10, 8,  7,  6,  5,  4,  3,  2,  1,  0,  88, 87,
        86, 85, 84, 83, 82, 81, 80, 78, 77, 76, 75, 74, 73, 72, 71, 70, 68, 67, 66, 65, 64, 63, 62,
        61, 60, 58, 57, 56, 55, 54, 53, 52, 51, 50, 48, 47, 46, 45, 44, 43, 42, 41, 40, 38, 37, 36,
        35, 34, 33, 32, 31, 30, 28, 27, 26, 25, 24, 23, 22, 21, 89, 79, 69, 59, 49, 39, 29};
    ASSERT_EQ(order.size(), 90U);
    auto form = window::makeTabellone();
    const auto tabs = window::cellTabIndices();
    for (std::size_t k = 0; k < order.size(); ++k) {
        EXPECT_EQ(form->control("num", order[k]).tabIndex, 12 + static_cast<int>(k)) << order[k];
        EXPECT_EQ(tabs.at(static_cast<std::size_t>(order[k])), 12 + static_cast<int>(k));
    }
    EXPECT_EQ(form->control("last", 0).tabIndex, 4);
    EXPECT_EQ(form->control("last", 1).tabIndex, 5);
    EXPECT_EQ(form->control("last", 2).tabIndex, 7);
}

TEST(Layout, WindowAndStripStacks) {
    auto form = window::makeTabellone();
    EXPECT_EQ(form->caption(), "TABELLONE DELLA SORVINA");
    EXPECT_EQ(form->clientWidth(), 12975);
    EXPECT_EQ(form->clientHeight(), 10170);
    expectStack(form->children(), {{"Picture2", 6, {10260, 90, 2745, 2505}},
                                   {"numeri", -1, {0, 750, 10695, 9405}},
                                   {"estrai", -1, {10830, 3270, 1335, 585}},
                                   {"Frame1", -1, {10830, 3930, 1335, 4245}},
                                   {"nuova", -1, {10830, 8340, 1335, 1275}},
                                   {"Picture2", 4, {0, 870, 2385, 2535}},
                                   {"estratto", -1, {2460, 1830, 6945, 6465}},
                                   {"Label1", -1, {0, -30, 8415, 1125}}});
    expectStack(form->control("Frame1").children(), {{"last", 2, {300, 3120, 800, 800}},
                                                     {"last", 1, {300, 2160, 800, 800}},
                                                     {"last", 0, {300, 1200, 800, 800}},
                                                     {"Label2", -1, {120, 240, 1155, 885}}});
}

TEST(Layout, LookOfCellsStripAndBigNumber) {
    auto form = window::makeTabellone();
    for (int i = 0; i < window::kCells; ++i) {
        const Control& c = form->control("num", i);
        SCOPED_TRACE(i);
        EXPECT_EQ(c.backColor(), 0x00C0C000U);
        EXPECT_EQ(c.backColor(), rgb(0, 192, 192));
        EXPECT_EQ(c.foreColor(), 0U);
        EXPECT_EQ(c.font().name, "Comic Sans MS");
        EXPECT_EQ(c.font().size, 217500);
        EXPECT_FALSE(c.font().bold);
        EXPECT_EQ(c.tag(), "");
    }
    for (int k = 0; k < window::kSlots; ++k) {
        const Control& s = form->control("last", k);
        EXPECT_EQ(s.backColor(), rgb(0, 0, 128));
        EXPECT_EQ(s.foreColor(), rgb(255, 255, 0));
        EXPECT_EQ(s.font().size, 240000);
        EXPECT_EQ(s.toolTipText(), "Doppi click per annullare il numero");
        EXPECT_EQ(s.text(), "");
    }
    const Control& estratto = form->control("estratto");
    EXPECT_EQ(estratto.toolTipText(), "Doppio Click per chiudere!");
    EXPECT_EQ(estratto.font().size, 2302500);
    EXPECT_TRUE(estratto.font().bold);
    EXPECT_TRUE(estratto.font().italic);
}

// While the board is shown the big number lies wholly beneath it; hiding
// the board uncovers it and the stars on the left, and the buttons and the
// strip stay within reach either way.
TEST(LayoutHit, WhatCanBeReachedWithTheBoardShownAndHidden) {
    auto form = window::makeTabellone();
    Control& numeri = form->control("numeri");
    const Control& estratto = form->control("estratto");
    const Control& stars4 = form->control("Picture2", 4);
    const Control& stars6 = form->control("Picture2", 6);
    const Rect er = form->windowRect(estratto);

    forEachPoint(er, 15, [&](Point p) {
        const Control* c = form->controlAt(p);
        ASSERT_NE(c, nullptr);
        ASSERT_NE(c, &estratto) << p.x << "," << p.y;
    });
    for (int i = 0; i < window::kCells; ++i) {
        const Control& cell = form->control("num", i);
        forEachPoint(form->windowRect(cell), 91, [&](Point p) {
            ASSERT_EQ(form->controlAt(p), &cell) << i << " at " << p.x << "," << p.y;
        });
    }
    // The stars on the right overlap the board's last 435 twips down to 2595.
    forEachPoint({10260, 750, 435, 1845}, 15,
                 [&](Point p) { ASSERT_EQ(form->controlAt(p), &stars6); });
    EXPECT_EQ(form->controlAt({10259, 1000}), &numeri);
    EXPECT_EQ(form->controlAt({10500, 2595}), &numeri);

    const std::vector<const Control*> always{
        &form->control("estrai"),  &form->control("nuova"),   &stars6,
        &form->control("last", 0), &form->control("last", 1), &form->control("last", 2),
        &form->control("Label2")};
    auto expectReachable = [&] {
        for (const Control* c : always) {
            forEachPoint(form->windowRect(*c), 29, [&](Point p) {
                if (p.x < form->clientWidth()) {  // the right stars reach past the window
                    ASSERT_EQ(form->controlAt(p), c) << c->name();
                }
            });
        }
        // The frame around the strip, between the slots.
        EXPECT_EQ(form->controlAt({10830 + 100, 3930 + 1150}), &form->control("Frame1"));
    };
    expectReachable();

    numeri.setVisible(false);
    forEachPoint(er, 15, [&](Point p) { ASSERT_EQ(form->controlAt(p), &estratto); });
    forEachPoint(form->windowRect(stars4), 15,
                 [&](Point p) { ASSERT_EQ(form->controlAt(p), &stars4); });
    expectReachable();
}

}  // namespace
