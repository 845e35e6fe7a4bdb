// SPDX-License-Identifier: MIT
// The forms model on a small hand-built window: which control a point lands
// on, which events get through, and how a failing handler ends dispatch; then
// the board window as it is created: where every control sits, what covers
// what, and how the cells, the strip and the big number look.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "fakes.h"
#include "forms/form.h"
#include "forms/geometry.h"
#include "forms/null/null_view.h"
#include "window/layout.h"

namespace {

using fakes::Strings;
using forms::Control;
using forms::Kind;
using forms::Point;
using forms::Rect;

// A window 1000 x 800 with, top of the stack first: two buttons, a frame at
// (100,100) holding a small text box over a big label, and a label under it
// all. Tab order: text box, ok, cancel.
struct Sample {
    forms::Form form{"f", "F", 1000, 800};
    Control& ok = form.add(Kind::CommandButton, "ok", -1, nullptr, {600, 50, 200, 100});
    Control& cancel = form.add(Kind::CommandButton, "cancel", -1, nullptr, {600, 200, 200, 100});
    Control& frame = form.add(Kind::Frame, "frame", -1, nullptr, {100, 100, 400, 300});
    Control& back = form.add(Kind::Label, "back", -1, nullptr, {0, 0, 1000, 800});
    Control& small = form.add(Kind::TextBox, "cell", 7, &frame, {50, 60, 100, 100});
    Control& big = form.add(Kind::Label, "cell", 8, &frame, {0, 0, 600, 600});
    Strings events;
    fakes::RecordingReport report;
    nullforms::NullView view{form};

    Sample() {
        form.setFatalReport(&report);
        small.tabIndex = 0;
        ok.tabIndex = 1;
        cancel.tabIndex = 2;
        for (Control* c : form.controls()) {
            const std::string n = c->name();
            c->onClick = [this, n](int i) { events.push_back(n + ".click" + std::to_string(i)); };
            c->onDblClick = [this, n](int i) { events.push_back(n + ".dbl" + std::to_string(i)); };
        }
        form.onEnter = [this](Control* c) { events.push_back(c ? "enter." + c->name() : "enter"); };
    }
    void press(Point p) { form.pointerPress(p); }
    void release(Point p) { form.pointerRelease(p); }
    void click(Point p) { press(p), release(p); }
    void dblClick(Point p) { click(p), form.pointerDoublePress(p), release(p); }
};

constexpr Point kOk{650, 60};
constexpr Point kCancel{650, 250};
constexpr Point kSmall{160, 170};
constexpr Point kBig{140, 370};
constexpr Point kBack{900, 700};

TEST(Form, InputReachesTheTopmostVisibleControlThatTakesIt) {
    Sample s;
    // Frame children are placed relative to the frame, and clipped by it.
    const std::vector<std::pair<forms::Point, Control*>> hits{
        {{150, 160}, &s.small}, {{249, 259}, &s.small}, {{250, 160}, &s.big},
        {{499, 399}, &s.big},   {{500, 399}, &s.back},  {{499, 400}, &s.back},
        {kOk, &s.ok},           {{1000, 10}, nullptr},  {{10, 800}, nullptr}};
    for (const auto& [p, c] : hits) EXPECT_EQ(s.form.controlAt(p), c) << p.x << "," << p.y;

    s.dblClick(kSmall);
    s.dblClick(kBig);
    s.dblClick(kOk);  // a push button takes a double-click as two clicks
    EXPECT_EQ(s.events, (Strings{"cell.click7", "cell.dbl7", "cell.click8", "cell.dbl8",
                                 "ok.click-1", "ok.click-1"}));
    s.events.clear();

    // Hidden controls do not cover; disabled ones do, and swallow the input,
    // as do the controls in a disabled or hidden frame.
    s.small.setVisible(false);
    EXPECT_EQ(s.form.controlAt(kSmall), &s.big);
    s.frame.setEnabled(false);
    s.dblClick(kSmall);
    s.frame.setEnabled(true);
    s.frame.setVisible(false);
    EXPECT_EQ(s.form.controlAt(kSmall), &s.back);
    EXPECT_FALSE(s.form.acceptsInput(s.big));
    s.ok.setEnabled(false);
    s.click(kOk);
    EXPECT_TRUE(s.events.empty());
}

// A button clicks only when the press and the release are both on it, and
// it took input all along; it looks pushed in only while the pointer that
// holds it is over it.
TEST(Form, AButtonClicksOnlyWhenPressedAndReleasedOnIt) {
    Sample s;
    for (const Point from : {kSmall, kBig, kBack, kCancel, Point{1200, 10}}) {
        s.press(from);
        s.form.pointerMove(kOk);
        EXPECT_FALSE(s.ok.down());
        s.release(kOk);
    }
    s.cancel.setEnabled(false);
    s.press(kCancel);  // a disabled button is no place to start from either
    s.release(kOk);
    s.cancel.setEnabled(true);
    EXPECT_TRUE(s.events.empty());

    s.press(kOk);
    EXPECT_TRUE(s.ok.down());
    s.form.pointerMove(kCancel);
    EXPECT_FALSE(s.ok.down() || s.cancel.down());
    s.release(kCancel);  // dragged off: no click
    s.press(kOk);
    s.form.pointerMove(kBack);
    s.form.pointerMove(kOk);
    EXPECT_TRUE(s.ok.down());
    s.release(kOk);  // dragged back on: a click
    EXPECT_FALSE(s.ok.down());
    s.press(kOk);
    s.ok.setEnabled(false);
    s.ok.setEnabled(true);
    s.release(kOk);  // disabled while held: no click
    s.press(kOk);
    s.press(kBack);  // the release was lost: ok comes back up
    EXPECT_FALSE(s.ok.down());
    s.release(kOk);
    EXPECT_EQ(s.events, (Strings{"ok.click-1"}));
}

// Space clicks the focused button when let go, if it went down there; Enter
// clicks it when pressed. Auto-repeat never clicks again; Enter anywhere else
// goes to onEnter.
TEST(Form, KeysClickTheFocusedButtonOnce) {
    Sample s;
    s.form.setFocus(&s.small);
    s.form.keyDown(forms::Key::Space, false);
    s.form.keyDown(forms::Key::Tab, false);  // on to ok, Space still held
    EXPECT_EQ(s.form.focus(), &s.ok);
    s.form.keyUp(forms::Key::Space);
    EXPECT_TRUE(s.events.empty());

    s.view.key(forms::Key::Space, 5);
    EXPECT_FALSE(s.ok.down());  // up again once let go
    s.form.keyDown(forms::Key::Space, false);
    EXPECT_TRUE(s.ok.down());
    s.form.keyDown(forms::Key::Tab, false);  // the focus leaves: no click
    s.form.keyUp(forms::Key::Space);
    EXPECT_FALSE(s.ok.down());
    EXPECT_EQ(s.form.focus(), &s.cancel);
    s.view.key(forms::Key::Enter, 5);
    s.form.setFocus(&s.small);
    s.view.key(forms::Key::Enter, 3);
    s.form.setFocus(nullptr);
    s.view.key(forms::Key::Enter);
    EXPECT_EQ(s.events, (Strings{"ok.click-1", "cancel.click-1", "enter.cell", "enter"}));
}

// F11 goes into full screen and out of it, Escape only out of it; the form
// keeps the state, also when the window manager changes it.
TEST(Form, F11AndEscapeTakeTheWindowInAndOutOfFullScreen) {
    using forms::WindowRequest;
    Sample s;
    s.view.key(forms::Key::F11, 2);  // held: once
    s.view.key(forms::Key::Escape);
    s.view.key(forms::Key::Escape);  // not in full screen: nothing
    s.view.key(forms::Key::F11);
    s.form.noteFullScreen(false);  // taken out by the window manager
    s.view.key(forms::Key::F11);
    s.view.key(forms::Key::F11);
    EXPECT_EQ(s.view.requests(),
              (std::vector{WindowRequest::EnterFullScreen, WindowRequest::LeaveFullScreen,
                           WindowRequest::EnterFullScreen, WindowRequest::EnterFullScreen,
                           WindowRequest::LeaveFullScreen}));
    EXPECT_FALSE(s.form.fullScreen());
}

// The backend is told of each control whose look changed, once, and of no
// change that changes nothing: disabling a frame greys the text boxes in it
// and no other colour; a push button's caption greys too.
TEST(Form, TheBackendRedrawsJustTheControlsWhoseLookChanged) {
    using Changes = std::vector<nullforms::NullView::Change>;
    constexpr auto kLook = forms::Property::Look;
    const forms::Color grey = forms::resolveColor(forms::systemColor(forms::kGreyText));
    Sample s;
    s.small.setForeColor(forms::rgb(0, 0, 255));
    s.big.setForeColor(forms::rgb(255, 255, 0));
    s.view.forget();
    s.frame.setEnabled(false);
    EXPECT_EQ(s.view.changes(), (Changes{{&s.frame, kLook}, {&s.small, kLook}, {&s.big, kLook}}));
    EXPECT_EQ(s.small.look(), (forms::Look{0, grey, false}));
    EXPECT_EQ(s.big.look(), (forms::Look{0, forms::rgb(255, 255, 0), false}));
    s.view.forget();
    s.small.setEnabled(false);  // greyed by its frame already
    s.small.setForeColor(forms::rgb(0, 0, 255));
    s.big.setText(s.big.text());
    EXPECT_EQ(s.view.changes(), Changes{});
    s.frame.setEnabled(true);
    EXPECT_EQ(s.view.changes(), (Changes{{&s.frame, kLook}, {&s.big, kLook}}));
    EXPECT_EQ(s.small.look().fore, grey);  // disabled itself
    EXPECT_NE(s.ok.look().fore, grey);
    s.ok.setEnabled(false);
    EXPECT_EQ(s.ok.look().fore, grey);
}

// A box the program opens takes no key that was already down, nor its
// repeats, until that key is let go; a key pressed after it opened acts. A
// repeat comes marked, or as a release and a press at the same instant.
TEST(Form, ABoxActsOnlyOnKeysPressedAfterItOpened) {
    constexpr int kEnter = 13;
    constexpr int kSpace = 32;
    forms::KeyRepeats repeats;
    forms::ModalKeys box;
    const auto press = [&](int key, bool marked, std::uint64_t ms) {
        return box.press(key, repeats.press(key, marked, ms));
    };
    const auto release = [&](int key, std::uint64_t ms) {
        repeats.release(key, ms);
        return box.release(key);
    };
    EXPECT_FALSE(press(kEnter, true, 700));  // the Enter that opened it, held on
    EXPECT_FALSE(release(kEnter, 740));
    EXPECT_FALSE(press(kEnter, false, 740));
    EXPECT_FALSE(release(kEnter, 900));  // let go at last
    EXPECT_FALSE(release(kSpace, 910));  // a Space held as it opened, let go
    EXPECT_TRUE(press(kSpace, false, 1000));
    EXPECT_TRUE(press(kSpace, true, 1660));
    EXPECT_TRUE(release(kSpace, 1700));
    EXPECT_FALSE(release(kSpace, 1700));
    EXPECT_TRUE(press(kEnter, false, 2000));  // pressed afresh
    EXPECT_TRUE(release(kEnter, 0));          // events that carry no time
    EXPECT_TRUE(press(kEnter, false, 0));

    // Repeats that come as presses alone; a release lost on the way holds a
    // key no longer than a repeat could take to follow.
    forms::KeyRepeats plain;
    EXPECT_FALSE(plain.press(kSpace, false, 5000));
    EXPECT_TRUE(plain.press(kSpace, false, 5660));
    EXPECT_TRUE(plain.press(kSpace, false, 5700));
    EXPECT_FALSE(plain.press(kSpace, false, 8000));
    plain.release(kSpace, 8100);
    EXPECT_FALSE(plain.press(kSpace, false, 8200));
}

// When the focused control stops taking input, by itself or with its frame,
// the focus goes to the window itself, never to the next control; Tab walks
// the controls that can take input, in TabIndex order, round and back.
TEST(Form, FocusFallsToTheWindowAndTabSkipsWhatCannotTakeIt) {
    Sample s;
    s.press(kSmall);
    EXPECT_EQ(s.form.focus(), &s.small);
    s.frame.setVisible(false);
    EXPECT_EQ(s.form.focus(), nullptr);
    s.frame.setVisible(true);
    s.form.setFocus(&s.ok);
    s.ok.setEnabled(false);
    EXPECT_EQ(s.form.focus(), nullptr);
    s.form.setFocus(&s.ok);  // cannot take it while disabled
    EXPECT_EQ(s.form.focus(), nullptr);

    std::vector<Control*> walk;
    for (int i = 0; i < 3; ++i) {
        s.view.key(forms::Key::Tab);
        walk.push_back(s.form.focus());
    }
    s.view.key(forms::Key::BackTab);
    walk.push_back(s.form.focus());
    EXPECT_EQ(walk, (std::vector<Control*>{&s.small, &s.cancel, &s.small, &s.cancel}));
    EXPECT_EQ(s.view.focusHistory().back(), &s.cancel);  // the backend was told each move
}

// What a handler changes reaches the backend when it has ended well, in the
// order it happened, each property once, the focus once where it ended up,
// and announcements last. A failed handler's changes never reach it, and
// the focus is back where it was; what the input did before the handler
// (the button let up) still does.
TEST(Form, TheBackendIsHandedEachHandlersChangesInOrder) {
    Sample s;
    s.form.setFocus(&s.small);
    s.view.forget();
    s.form.dispatch([&s] {
        s.form.announce("detto");
        s.big.setText("x");
        s.form.setFocus(&s.ok);
        s.small.setText("y");
        s.big.setText("z");
        s.form.setFocus(nullptr);
        EXPECT_TRUE(s.view.stream().empty());
    });
    EXPECT_EQ(s.view.stream(), (Strings{"Text cell(8)", "Accessible cell(8)", "Text cell(7)",
                                        "Accessible cell(7)", "Focus -", "Say detto"}));

    s.form.setFocus(&s.small);
    s.ok.onClick = [&s](int) {
        s.big.setText("w");
        s.form.announce("mai");
        throw platform::FatalError("Impossibile scrivere il registro");
    };
    s.press(kOk);
    s.view.forget();
    s.release(kOk);
    EXPECT_EQ(s.view.stream(), (Strings{"Down ok"}));
    EXPECT_EQ(s.form.focus(), &s.small);
    EXPECT_EQ(s.report.messages.size(), 1U);
}

TEST(Form, AFailingHandlerIsReportedOnceAndEndsDispatch) {
    Sample s;
    s.form.onLoad = [&] { s.events.push_back("load"); };
    s.form.onActivate = [&] { s.events.push_back("activate"); };
    EXPECT_TRUE(s.form.activate());
    EXPECT_FALSE(s.form.activate());  // Activate is raised once only

    s.small.onDblClick = [](int) {
        throw platform::FatalError("Impossibile scrivere il registro");
    };
    s.dblClick(kSmall);
    EXPECT_TRUE(s.form.failed());
    s.dblClick(kSmall);
    s.click(kOk);
    EXPECT_FALSE(s.form.load());
    EXPECT_EQ(s.events, (Strings{"activate", "cell.click7"}));
    EXPECT_EQ(s.report.messages, (Strings{"Impossibile scrivere il registro"}));

    // Any other exception is reported too, with its text.
    Sample t;
    t.form.dispatch([] { throw std::out_of_range("boom"); });
    ASSERT_EQ(t.report.messages.size(), 1U);
    EXPECT_NE(t.report.messages[0].find("boom"), std::string::npos);
}

// Each edge is rounded on its own, so neighbours 80 twips apart keep a gap
// at every scale, and a point in a pixel maps back into that pixel.
TEST(Geometry, EdgesRoundOnTheirOwnAndPixelsMapBack) {
    const forms::Scale at96;
    EXPECT_EQ(at96.x(7), 0);
    EXPECT_EQ(at96.x(8), 1);                                   // 8/15 is past the half
    EXPECT_EQ(at96.fontPixels(217500), 29);                    // 21.75 pt at 96 dpi
    EXPECT_EQ(forms::Scale(0.06, 0, 0).fontPixels(82500), 9);  // 9.9 px: never larger
    for (const double dpi : {96.0, 120.0, 144.0, 192.0, 72.0 * 5}) {
        const forms::Scale s(dpi / 1440.0, 13, -4);
        for (int t = 0; t < 13000; t += 900) {
            const forms::PixelRect a = s.rect({t, t, 820, 820});
            const forms::PixelRect b = s.rect({t + 900, t + 900, 820, 820});
            EXPECT_LT(a.left + a.width, b.left) << dpi << " at " << t;
            const forms::Point back = s.toTwips(a.left, a.top + a.height - 1);
            EXPECT_EQ(s.x(back.x), a.left) << dpi << " at " << t;
            EXPECT_TRUE(forms::Rect({t, t, 820, 820}).contains(s.toTwips(a.left + 1, a.top + 1)));
        }
    }
}

// The window opens at the platform's scale unless the screen is too small
// for it with its frame; a larger window zooms the board to fit, centred; a
// smaller one clips. Pictures are drawn at the density nearest the zoom.
TEST(Geometry, FitsTheScreenZoomsToTheWindowAndPicksPictures) {
    const forms::Form f("f", "", 12975, 10170);
    EXPECT_DOUBLE_EQ(forms::startScale(f, 1 / 15.0, 1024, 768, 10, 30), 1 / 15.0);
    // 1366x768 at 125%: 1093x614 device-independent pixels; the height rules.
    EXPECT_DOUBLE_EQ(forms::startScale(f, 1 / 15.0, 1093, 614, 16, 48), 566 / 10170.0);

    const forms::Scale tv = forms::fitToClient(f, 1 / 15.0, 1920, 1061);
    EXPECT_DOUBLE_EQ(tv.pixelsPerTwip(), 1061 / 10170.0);
    EXPECT_EQ(tv.originX(), (1920 - 1354) / 2);  // the board is 1354 pixels wide
    EXPECT_EQ(tv.originY(), 0);
    const forms::Scale small = forms::fitToClient(f, 1 / 15.0, 500, 400);
    EXPECT_DOUBLE_EQ(small.pixelsPerTwip(), 1 / 15.0);
    EXPECT_EQ(small.originX() + small.originY(), 0);

    EXPECT_EQ(forms::pictureDensity(1 / 15.0, 1.0), 1);
    EXPECT_EQ(forms::pictureDensity(1 / 15.0, 1.25), 1);
    EXPECT_EQ(forms::pictureDensity(tv.pixelsPerTwip(), 1.0), 2);
    EXPECT_EQ(forms::pictureDensity(1 / 15.0, 2.0), 2);
    EXPECT_EQ(forms::pictureDensity(tv.pixelsPerTwip(), 2.0), 3);
    EXPECT_EQ(forms::pictureAt("stelle.gif", 3), "stelle@3x.png");
    EXPECT_EQ(forms::pictureAt("stelle.gif", 1), "stelle.gif");
    // The stars, 220 x 170 at 15 twips a pixel: their drawing at 2x shown on
    // the TV, and on a screen of device ratio 2 at 96 dpi.
    EXPECT_EQ(forms::drawnPictureSize({440, 340}, 2, tv.pixelsPerTwip(), 1.0),
              (forms::PixelSize{344, 266}));  // 220 x 15 x 1061 / 10170 = 344.3
    EXPECT_EQ(forms::drawnPictureSize({440, 340}, 2, 1 / 15.0, 2.0), (forms::PixelSize{440, 340}));

    // A window off the right and bottom of the area moves back onto it, as
    // little as it takes; one larger than the area keeps its corner on it.
    const forms::PixelRect area{0, 24, 1024, 744};
    EXPECT_EQ(forms::keptOnArea({700, 300, 400, 500}, area),
              (forms::PixelRect{624, 268, 400, 500}));
    EXPECT_EQ(forms::keptOnArea({10, 30, 400, 500}, area), (forms::PixelRect{10, 30, 400, 500}));
    EXPECT_EQ(forms::keptOnArea({-50, 0, 1200, 900}, area), (forms::PixelRect{0, 24, 1200, 900}));
}

// The layout's family where the system has it, else its embedded stand-in;
// the system is asked once per family.
TEST(Geometry, FontsAreTheLayoutsWhereInstalledElseTheStandIns) {
    Strings asked;
    forms::FontFamilies families([&asked](const std::string& family) {
        asked.push_back(family);
        return family == "Arial";
    });
    EXPECT_EQ(families.drawn("Comic Sans MS"), "Comic Neue");
    EXPECT_EQ(families.drawn("Arial"), "Arial");
    EXPECT_EQ(families.drawn("MS Sans Serif"), "Liberation Sans");
    EXPECT_EQ(families.drawn("Comic Sans MS"), "Comic Neue");
    EXPECT_EQ(asked, (Strings{"Comic Sans MS", "Arial", "MS Sans Serif"}));
    forms::FontFamilies withComic([](const std::string& family) { return family != "Arial"; });
    EXPECT_EQ(withComic.drawn("Comic Sans MS"), "Comic Sans MS");
    EXPECT_EQ(withComic.drawn("Arial"), "Liberation Sans");
}

// Calls f with the control under each point, and the point, of a grid `step`
// apart over c, its last row and column included, within the window.
template <typename F>
void forEachPoint(const forms::Form& form, const Control& c, int step, F f) {
    const Rect r = form.windowRect(c);
    for (int x = r.left; x < r.right() + step - 1; x += step) {
        for (int y = r.top; y < r.bottom() + step - 1; y += step) {
            const Point p{std::min(x, r.right() - 1), std::min(y, r.bottom() - 1)};
            if (p.x < form.clientWidth()) f(form.controlAt(p), p);  // the right stars reach past it
        }
    }
}

// Ten numbers a row, 1 to 90, in blocks of three rows by five columns: the
// cells 900 apart, and 990 further across and 180 further down between
// blocks, so that no two cells touch.
TEST(Layout, CellsSitInBlocksOfThreeRowsByFiveColumns) {
    auto form = window::makeTabellone();
    const auto at = [&form](int i) {
        const Rect& r = form->control("num", i).rect();
        return std::pair(r.left, r.top);
    };
    const std::vector<std::pair<int, std::pair<int, int>>> corners{
        {0, {210, 480}},   {4, {3810, 480}},  {5, {5700, 480}},  {29, {9300, 2280}},
        {30, {210, 3360}}, {60, {210, 6240}}, {89, {9300, 8040}}};
    for (const auto& [i, corner] : corners) EXPECT_EQ(at(i), corner) << "num(" << i << ")";
    for (int i = 0; i < window::kCells; ++i) {
        if (i % 10 != 9) {
            EXPECT_EQ(at(i + 1).first - at(i).first, i % 10 == 4 ? 1890 : 900) << i;
        }
        if (i < 80) {
            EXPECT_EQ(at(i + 10).second - at(i).second, i / 10 % 3 == 2 ? 1080 : 900) << i;
        }
        const Control& c = form->control("num", i);
        const forms::Font& f = c.font();
        EXPECT_EQ(std::tuple(c.container(), c.rect().width, c.rect().height, c.text(),
                             c.backColor(), c.foreColor(), f.name, f.size, f.bold),
                  std::tuple(&form->control("numeri"), 820, 820, std::to_string(i + 1), 0x00C0C000U,
                             0U, "Comic Sans MS", 217500, false));
    }
}

// The window's own stack, top first, with each control's place; the strip
// and the big number as the caller reads them.
TEST(Layout, TheWindowsStackAndTheLookOfTheStripAndTheBigNumber) {
    auto form = window::makeTabellone();
    Strings stack;
    for (const Control* c : form->children()) {
        const Rect& r = c->rect();
        stack.push_back(c->name() + std::to_string(c->index()) + " " + std::to_string(r.left) +
                        "," + std::to_string(r.top) + " " + std::to_string(r.width) + "x" +
                        std::to_string(r.height));
    }
    EXPECT_EQ(stack, (Strings{"Picture26 10260,90 2745x2505", "numeri-1 0,750 10695x9405",
                              "estrai-1 10830,3270 1335x585", "Frame1-1 10830,3930 1335x4245",
                              "nuova-1 10830,8340 1335x1275", "Picture24 0,870 2385x2535",
                              "estratto-1 2460,1830 6945x6465", "Label1-1 0,-30 8415x1125"}));
    for (int k = 0; k < window::kSlots; ++k) {
        const Control& s = form->control("last", k);
        EXPECT_EQ(
            std::tuple(s.rect().top, s.backColor(), s.foreColor(), s.font().size, s.toolTipText()),
            std::tuple(1200 + 960 * k, forms::rgb(0, 0, 128), forms::rgb(255, 255, 0), 240000,
                       "Doppi click per annullare il numero"));
    }
    const Control& big = form->control("estratto");
    EXPECT_EQ(std::tuple(big.toolTipText(), big.font().size, big.font().bold, big.font().italic),
              std::tuple("Doppio Click per chiudere!", 2302500, true, true));
    const Control& title = form->control("Label1");
    EXPECT_EQ(
        std::tuple(title.caption(), title.foreColor(), form->control("nuova").caption(),
                   form->control("estrai").caption()),
        std::tuple("Numeri Estratti della Sorvina", forms::rgb(255, 255, 0), "Nuova", "Estrai"));
}

// While the board is shown it wholly covers the big number, and each cell
// takes the input over its whole square; hiding the board uncovers the big
// number and the stars on the left. The buttons, the right stars and the
// strip stay within reach either way.
TEST(Layout, WhatCanBeReachedWithTheBoardShownAndHidden) {
    auto form = window::makeTabellone();
    const Control& estratto = form->control("estratto");
    auto expectAll = [&](const Control* c, int step) {
        forEachPoint(*form, *c, step, [&](const Control* at, Point p) {
            ASSERT_EQ(at, c) << c->name() << " at " << p.x << "," << p.y;
        });
    };
    forEachPoint(*form, estratto, 15, [&](const Control* at, Point p) {
        ASSERT_TRUE(at != nullptr && at != &estratto) << p.x << "," << p.y;
    });
    for (int i = 0; i < window::kCells; ++i) expectAll(&form->control("num", i), 91);
    const std::vector<const Control*> always{
        &form->control("estrai"),  &form->control("nuova"),   &form->control("Picture2", 6),
        &form->control("last", 0), &form->control("last", 1), &form->control("last", 2),
        &form->control("Label2")};
    for (const bool shown : {true, false}) {
        form->control("numeri").setVisible(shown);
        for (const Control* c : always) expectAll(c, 29);
    }
    expectAll(&estratto, 15);
    expectAll(&form->control("Picture2", 4), 15);
}

// While the big number shows, the board (the frame numeri) is hidden: Tab
// and Shift+Tab walk the buttons and the strip alone, never a cell nobody
// sees, though every cell is itself enabled. With the board shown they walk
// the cells too.
TEST(Layout, TabWhileTheBigNumberShowsNeverLandsOnAHiddenCell) {
    auto form = window::makeTabellone();
    const auto walk = [&form](forms::Key key) {  // where the focus lands, round twice
        std::set<std::string> seen;
        for (int step = 0; step < 2 * (window::kCells + 5); ++step) {
            form->keyDown(key, false);
            seen.insert(form->focus()->name() + std::to_string(form->focus()->index()));
        }
        return seen;
    };
    const std::set<std::string> outside{"nuova-1", "estrai-1", "last0", "last1", "last2"};
    std::set<std::string> all = outside;
    for (int i = 0; i < window::kCells; ++i) all.insert("num" + std::to_string(i));

    form->control("numeri").setVisible(false);
    EXPECT_EQ(walk(forms::Key::Tab), outside);
    EXPECT_EQ(walk(forms::Key::BackTab), outside);
    form->control("numeri").setVisible(true);
    EXPECT_EQ(walk(forms::Key::Tab), all);
}

}  // namespace
