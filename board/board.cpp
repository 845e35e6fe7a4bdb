// SPDX-License-Identifier: MIT
#include "board/board.h"

#include "window/texts.h"

#include <algorithm>
#include <string>

namespace board {

namespace {

// The big number's text: a one-digit number with a leading "0".
std::string bigNumber(int n) {
    return n < 10 ? "0" + std::to_string(n) : std::to_string(n);
}

}  // namespace

Board::Board(forms::Form& tabellone, roundlog::RoundLog& log, platform::Question& question,
             platform::Random& random)
    : form_(tabellone),
      log_(log),
      question_(question),
      random_(random),
      numeri_(tabellone.control("numeri")),
      estratto_(tabellone.control("estratto")),
      estrai_(tabellone.control("estrai")) {
    for (int i = 0; i < window::kCells; ++i) {
        num_.at(static_cast<std::size_t>(i)) = &form_.control("num", i);
        cell(i).onDblClick = [this](int index) { call(index); };
    }
    for (int k = 0; k < window::kSlots; ++k) {
        last_.at(static_cast<std::size_t>(k)) = &form_.control("last", k);
        slot(k).onDblClick = [this](int index) { cancel(index); };
    }
    estratto_.onDblClick = [this](int) { closeDisplay(); };
    estrai_.onClick = [this](int) { draw(); };
    tabellone.control("nuova").onClick = [this](int) { newRound(); };
    form_.onLoad = [this] { load(); };
    form_.onActivate = [this] { activate(); };
    form_.onUnload = [this] { unload(); };
    form_.onEnter = [this](forms::Control* focused) { enter(focused); };
}

void Board::load() {
    const forms::FontSize4 size = cell(0).font().size;
    const forms::Color back = cell(0).backColor();
    log_.open();
    defaultsize_ = size;
    defaultBack_ = back;
    show();
}

void Board::activate() {
    // The focus goes to estrai while it can still take it.
    form_.setFocus(&estrai_);
    Round next = round_;
    next.canDraw = false;
    commit(next);
}

void Board::unload() {
    log_.close();
}

void Board::call(int index) {
    const int n = index + 1;
    if (round_.isCalled(n)) {
        return;
    }
    log_.appendCall(std::to_string(n));
    commit(round_.call(n));
    form_.announce(window::kCalledAnnouncement + std::to_string(n));
}

void Board::closeDisplay() {
    commit(round_.closeDisplay());
    form_.setFocus(nullptr);
}

void Board::enter(forms::Control* focused) {
    if (focused == nullptr) {
        if (round_.displayOpen && round_.inPlay) {
            closeDisplay();
        }
        return;
    }
    if (const auto at = std::find(num_.begin(), num_.end(), focused); at != num_.end()) {
        call(static_cast<int>(at - num_.begin()));
    } else if (const auto in = std::find(last_.begin(), last_.end(), focused); in != last_.end()) {
        cancel(static_cast<int>(in - last_.begin()));
    }
}

void Board::draw() {
    if (const int n = drawFree(round_, random_); n != 0) {
        call(n - 1);
    }
    Round next = round_;
    next.canDraw = false;
    commit(next);
}

void Board::cancel(int index) {
    const int n = round_.strip.at(static_cast<std::size_t>(index));
    if (n == 0) {
        return;
    }
    commit(round_.cancel(index));
    form_.announce(window::kCancelledAnnouncement + std::to_string(n));
}

void Board::newRound() {
    if (question_.ask(window::kNewRoundPrompt, window::kNewRoundTitle) !=
        platform::Question::Answer::Yes) {
        return;
    }
    log_.appendHeader();
    commit(round_.fresh());
}

void Board::commit(const Round& next) {
    round_ = next;
    show();
}

// The round written into the controls. Each setter tells the window only of
// a real change, so writing the whole picture costs nothing where nothing
// moved.
void Board::show() {
    numeri_.setEnabled(round_.inPlay);
    estratto_.setEnabled(round_.inPlay);
    estrai_.setEnabled(round_.canDraw);
    if (round_.shown != 0) {
        estratto_.setCaption(bigNumber(round_.shown));
    }
    numeri_.setVisible(!round_.displayOpen);
    // While the board covers it, the big number is no one's to read.
    estratto_.setAccessible({round_.displayOpen && round_.shown != 0
                                 ? window::kCalledAnnouncement + std::to_string(round_.shown)
                                 : "",
                             ""});

    // A cell is written when its number was called or freed, or play began,
    // since the picture last written: a call rewrites one cell, not ninety.
    const float freeSize = forms::toPoints(defaultsize_);
    for (int i = 0; i < window::kCells; ++i) {
        const bool called = round_.isCalled(i + 1);
        if (pictured_ && pictured_->inPlay == round_.inPlay &&
            pictured_->isCalled(i + 1) == called) {
            continue;
        }
        forms::Control& c = cell(i);
        c.setEnabled(round_.inPlay);
        c.setTag(called ? kCalledTag : "");
        c.setBackColor(called ? kCalledBack : defaultBack_);
        c.setForeColor(called ? kCalledFore : kFreeFore);
        c.setFontBold(called);
        if (called) {
            c.setFontSize(freeSize + kCalledGrowth);
        } else {
            c.setFontSize4(defaultsize_);
        }
        c.setAccessible({std::to_string(i + 1), called ? window::kCalledDescription : ""});
    }
    for (int k = 0; k < window::kSlots; ++k) {
        const int n = round_.strip.at(static_cast<std::size_t>(k));
        forms::Control& s = slot(k);
        s.setText(n != 0 ? std::to_string(n) : "");
        s.setAccessible({std::string(window::kSlotNames.at(static_cast<std::size_t>(k))) + ": " +
                             (n != 0 ? std::to_string(n) : window::kNoNumber),
                         s.toolTipText()});
    }
    pictured_ = round_;
}

}  // namespace board
