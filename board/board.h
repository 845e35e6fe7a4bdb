// SPDX-License-Identifier: MIT
// The rules of the game as they act on the board window. Every operation is
// the handler of one event. The round (board/round.h) is the state; the
// window's controls are its picture, written from it after each operation
// and never read back. An operation that logs keeps its new round only
// once the log has it, so that a failed write leaves the board, and what
// it shows, as it was.
#pragma once

#include <array>
#include <optional>

#include "board/round.h"
#include "forms/form.h"
#include "platform/platform.h"
#include "roundlog/roundlog.h"
#include "window/layout.h"

namespace board {

inline constexpr forms::Color kCalledBack = forms::rgb(255, 255, 0);
inline constexpr forms::Color kCalledFore = forms::rgb(0, 0, 255);
inline constexpr forms::Color kFreeFore = forms::rgb(0, 0, 0);
inline constexpr float kCalledGrowth = 6.0F;
inline constexpr const char* kCalledTag = "ok";

class Board {
  public:
    // Hooks the handlers onto the window's events. The round log is opened
    // by Load and closed by Unload.
    Board(forms::Form& tabellone, roundlog::RoundLog& log, platform::Question& question,
          platform::Random& random);

    // Load: takes the free look from cell 0, opens the log and shows the
    // board waiting for its first round.
    void load();
    // Activate: gives estrai the focus, then disables it.
    void activate();
    // Unload: closes the log.
    void unload();

    // Calls the number of the cell num(index), once the log has its record:
    // the big number in place of the board, the called look, the strip;
    // then whether estrai may draw. A called number is not called again.
    void call(int index);
    // Double-click on the big number: shows the board again.
    void closeDisplay();
    // Draws a random free number and calls it; then disables estrai.
    void draw();
    // Makes the number in the slot last(index) free again.
    void cancel(int index);
    // After the caller confirms: the round's header in the log, then a
    // fresh round.
    void newRound();
    // Enter on the focused control (nullptr: the window): on a cell it calls
    // the number, on a slot it cancels it, and on the window it closes the
    // big number if it is shown; anywhere else it does nothing.
    void enter(forms::Control* focused);

    const Round& round() const { return round_; }

  private:
    forms::Control& cell(int index) const { return *num_.at(static_cast<std::size_t>(index)); }
    forms::Control& slot(int index) const { return *last_.at(static_cast<std::size_t>(index)); }
    // Keeps `next` as the round and writes it into the controls.
    void commit(const Round& next);
    void show();

    forms::Form& form_;
    roundlog::RoundLog& log_;
    platform::Question& question_;
    platform::Random& random_;

    std::array<forms::Control*, window::kCells> num_{};
    std::array<forms::Control*, window::kSlots> last_{};
    forms::Control& numeri_;
    forms::Control& estratto_;
    forms::Control& estrai_;

    Round round_;
    std::optional<Round> pictured_;  // the round as the controls show it
    // The free look, taken from cell 0 at load: its font size exactly as
    // the platform keeps it, and its back colour.
    forms::FontSize4 defaultsize_ = 0;
    forms::Color defaultBack_ = 0;
};

}  // namespace board
