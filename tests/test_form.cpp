// The forms model on small hand-built windows: which control a point lands
// on, which events get through, and how a failing handler ends dispatch.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "fakes.h"
#include "forms/form.h"

namespace {

using forms::Control;
using forms::Form;
using forms::Kind;

// A window 1000 x 800 with, top of the stack first: a button, a frame at
// (100,100) holding a small label over a big one, and a label under it all.
struct Sample {
    Form form{"f", "F", 1000, 800};
    Control& button = form.add(Kind::CommandButton, "button", -1, nullptr, {600, 50, 200, 100});
    Control& frame = form.add(Kind::Frame, "frame", -1, nullptr, {100, 100, 400, 300});
    Control& back = form.add(Kind::Label, "back", -1, nullptr, {0, 0, 1000, 800});
    Control& small = form.add(Kind::Label, "cell", 7, &frame, {50, 60, 100, 100});
    Control& big = form.add(Kind::Label, "cell", 8, &frame, {0, 0, 600, 600});
    std::vector<std::string> events;

    Sample() {
        for (Control* c : form.controls()) {
            c->onClick = [this, c](int i) {
                events.push_back(c->name() + ".click" + std::to_string(i));
            };
            c->onDblClick = [this, c](int i) {
                events.push_back(c->name() + ".dbl" + std::to_string(i));
            };
        }
    }
};

TEST(FormHit, TopmostVisibleControlWithFrameChildrenRelativeToTheFrame) {
    Sample s;
    // (150,160) is (50,60) in the frame: the corner of the small label.
    EXPECT_EQ(s.form.controlAt({150, 160}), &s.small);
    EXPECT_EQ(s.form.controlAt({249, 259}), &s.small);
    EXPECT_EQ(s.form.controlAt({250, 160}), &s.big);  // right edge is outside
    EXPECT_EQ(s.form.controlAt({149, 160}), &s.big);
    // The big label reaches past the frame; the frame clips it.
    EXPECT_EQ(s.form.controlAt({499, 399}), &s.big);
    EXPECT_EQ(s.form.controlAt({500, 399}), &s.back);
    EXPECT_EQ(s.form.controlAt({499, 400}), &s.back);
    EXPECT_EQ(s.form.controlAt({650, 60}), &s.button);
    EXPECT_EQ(s.form.controlAt({0, 0}), &s.back);
    // Outside the client area there is nothing.
    EXPECT_EQ(s.form.controlAt({-1, 10}), nullptr);
    EXPECT_EQ(s.form.controlAt({1000, 10}), nullptr);
    EXPECT_EQ(s.form.controlAt({10, 800}), nullptr);

    EXPECT_EQ(s.form.windowRect(s.small).left, 150);
    EXPECT_EQ(s.form.windowRect(s.small).top, 160);
}

TEST(FormHit, HiddenControlsDoNotCoverDisabledOnesDo) {
    Sample s;
    s.small.setVisible(false);
    EXPECT_EQ(s.form.controlAt({160, 170}), &s.big);
    s.frame.setVisible(false);
    EXPECT_EQ(s.form.controlAt({160, 170}), &s.back);
    s.frame.setVisible(true);
    s.frame.setEnabled(false);
    EXPECT_EQ(s.form.controlAt({160, 170}), &s.big);
    s.button.setEnabled(false);
    EXPECT_EQ(s.form.controlAt({650, 60}), &s.button);
    // ...but a disabled control swallows the click instead of passing it on.
    EXPECT_FALSE(s.form.clickAt({650, 60}));
    EXPECT_FALSE(s.form.dblClickAt({160, 170}));
    EXPECT_TRUE(s.events.empty());
}

TEST(FormInput, EventsReachOnlyControlsThatTakeInput) {
    Sample s;
    EXPECT_TRUE(s.form.clickAt({160, 170}));
    EXPECT_TRUE(s.form.dblClickAt({160, 170}));
    EXPECT_TRUE(s.form.dblClickAt({140, 170}));
    EXPECT_EQ(s.events, (std::vector<std::string>{"cell.click7", "cell.dbl7", "cell.dbl8"}));

    s.events.clear();
    s.frame.setEnabled(false);  // a disabled container blocks its children
    EXPECT_FALSE(s.form.dblClickAt({160, 170}));
    EXPECT_FALSE(s.form.acceptsInput(s.small));
    s.frame.setEnabled(true);
    s.frame.setVisible(false);
    EXPECT_FALSE(s.form.acceptsInput(s.small));
    s.frame.setVisible(true);
    s.small.setEnabled(false);
    EXPECT_FALSE(s.form.dblClickAt({160, 170}));
    EXPECT_TRUE(s.events.empty());

    // A push button takes a double-click as one more Click.
    EXPECT_TRUE(s.form.dblClickAt({650, 60}));
    EXPECT_EQ(s.events, (std::vector<std::string>{"button.click-1"}));
    EXPECT_TRUE(s.form.keyClick(s.button));
    EXPECT_FALSE(s.form.keyClick(s.back));  // not a button
    s.button.setEnabled(false);
    EXPECT_FALSE(s.form.keyClick(s.button));
    EXPECT_EQ(s.events, (std::vector<std::string>{"button.click-1", "button.click-1"}));
}

TEST(FormEvents, ActivateIsRaisedOnceOnly) {
    Form form("f", "F", 100, 100);
    int activations = 0;
    form.onActivate = [&] { ++activations; };
    EXPECT_TRUE(form.activate());
    EXPECT_FALSE(form.activate());
    form.activate();
    EXPECT_EQ(activations, 1);
}

TEST(FormEvents, AFailingHandlerIsReportedOnceAndEndsDispatch) {
    Sample s;
    fakes::RecordingReport report;
    s.form.setFatalReport(&report);
    s.small.onDblClick = [](int) { throw forms::FatalError("Impossibile scrivere il registro"); };
    int loads = 0;
    s.form.onLoad = [&] { ++loads; };

    EXPECT_FALSE(s.form.failed());
    s.form.dblClickAt({160, 170});
    EXPECT_TRUE(s.form.failed());
    EXPECT_EQ(report.messages, (std::vector<std::string>{"Impossibile scrivere il registro"}));

    // Nothing runs any more, and the same failure is not reported twice.
    EXPECT_FALSE(s.form.clickAt({650, 60}));
    EXPECT_FALSE(s.form.dblClickAt({160, 170}));
    EXPECT_FALSE(s.form.keyClick(s.button));
    EXPECT_FALSE(s.form.load());
    EXPECT_FALSE(s.form.dispatch([] {}));
    EXPECT_EQ(loads, 0);
    EXPECT_TRUE(s.events.empty());
    EXPECT_EQ(report.messages.size(), 1U);
}

TEST(FormEvents, AnyOtherExceptionIsReportedWithItsText) {
    Form form("f", "F", 100, 100);
    fakes::RecordingReport report;
    form.setFatalReport(&report);
    form.dispatch([] { throw std::out_of_range("boom"); });
    EXPECT_TRUE(form.failed());
    ASSERT_EQ(report.messages.size(), 1U);
    EXPECT_NE(report.messages[0].find("boom"), std::string::npos);
}

TEST(FormModel, FocusRequestsReachTheObserverAndFontSizesAreFixedPoint) {
    Sample s;
    fakes::RecordingObserver observer;
    s.form.setObserver(&observer);
    s.form.setFocus(&s.button);
    s.form.setFocus(nullptr);
    ASSERT_EQ(observer.focus.size(), 2U);
    EXPECT_EQ(observer.focus[0].control, &s.button);
    EXPECT_EQ(observer.focus[1].control, nullptr);
    EXPECT_EQ(s.form.focus(), nullptr);

    EXPECT_EQ(forms::toFontSize4(21.75F), 217500);
    EXPECT_EQ(forms::toFontSize4(230.25F), 2302500);
    s.small.setFontSize(21.75F + 6.0F);
    EXPECT_EQ(s.small.font().size, 277500);
    EXPECT_FLOAT_EQ(s.small.fontSize(), 27.75F);
    EXPECT_THROW(s.form.control("cell", 9), std::out_of_range);
    EXPECT_EQ(&s.form.control("cell", 8), &s.big);
}

}  // namespace
