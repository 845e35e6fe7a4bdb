// The rules of the game as they act on the board window. Every operation is
// the handler of one event; all state lives in the window's controls, apart
// from the two defaults captured at load.
#pragma once

#include <array>

#include "forms/form.h"
#include "forms/platform.h"
#include "roundlog/roundlog.h"
#include "window/layout.h"

namespace board {

inline constexpr forms::Color kCalledBack = forms::rgb(255, 255, 0);
inline constexpr forms::Color kCalledFore = forms::rgb(0, 0, 255);
inline constexpr forms::Color kFreeBack = forms::rgb(0, 192, 192);
inline constexpr forms::Color kFreeFore = forms::rgb(0, 0, 0);
inline constexpr float kCalledGrowth = 6.0F;
inline constexpr const char* kCalledTag = "ok";

inline constexpr const char* kNewRoundPrompt = "SICURO DI VOLER COMINCIARE UNA NUOVA SORVINATA?";
inline constexpr const char* kNewRoundTitle = "Nuovo giro di sorvina";

// The number a value r in [0, 1) picks: 1 to 90, each from an equal share
// of [0, 1).
int candidateFor(float r);

// A slot's text read as a whole number from 1 to 90, or 0 when it names no
// cell (empty, or anything else).
int slotNumber(const std::string& text);

class Board {
  public:
    // Hooks the handlers onto the window's events. The round log is opened
    // by Load and closed by Unload.
    Board(forms::Form& tabellone, roundlog::RoundLog& log, forms::Question& question,
          forms::Random& random);

    // Load: captures the defaults, opens the log, disables the board.
    void load();
    // Activate: gives estrai the focus, then disables it.
    void activate();
    // Unload: closes the log.
    void unload();

    // Calls the cell num(index): the big number shown in place of the
    // board, the called look, the log record, the strip, the mark, then
    // whether estrai may draw.
    void call(int index);
    // Double-click on the big number: shows the board again.
    void closeDisplay();
    // Draws a random free number and calls it; then disables estrai.
    void draw();
    // Makes the number in the slot last(index) free again.
    void cancel(int index);
    // After the caller confirms: a fresh round, and its header in the log.
    void newRound();
    // Enter on the focused control (nullptr: the window): on a cell it calls
    // the number, on a slot it cancels it, and on the window it closes the
    // big number if it is shown; anywhere else it does nothing.
    void enter(forms::Control* focused);

    // What a screen reader is told: a cell's number, described "chiamato"
    // while called; which of the last three calls a slot holds; the
    // number on the big display; any other control's text.
    forms::Accessible describe(const forms::Control& control) const;

  private:
    forms::Control& cell(int index) const { return *num_.at(static_cast<std::size_t>(index)); }
    forms::Control& slot(int index) const { return *last_.at(static_cast<std::size_t>(index)); }

    forms::Form& form_;
    roundlog::RoundLog& log_;
    forms::Question& question_;
    forms::Random& random_;

    std::array<forms::Control*, window::kCells> num_{};
    std::array<forms::Control*, window::kSlots> last_{};
    forms::Control& numeri_;
    forms::Control& estratto_;
    forms::Control& estrai_;
    forms::Control& nuova_;

    forms::FontSize4 defaultsize_ = 0;
    forms::Color defaultBack_ = 0;
};

}  // namespace board
