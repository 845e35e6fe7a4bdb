// SPDX-License-Identifier: MIT
// The state of play, apart from any window: which numbers are called, the
// strip of the last three calls, the big number and whether the board may
// draw. Every operation is pure: it returns the round as it would be after
// it, so that a handler can log first and keep the new round only once the
// log has it.
#pragma once

#include <array>

#include "platform/platform.h"
#include "window/layout.h"

namespace board {

// The number a value r in [0, 1) picks: 1 to 90, each from an equal share
// of [0, 1).
int candidateFor(float r);

struct Round {
    // called[n - 1]: whether the number n has been called in this round.
    std::array<bool, window::kCells> called{};
    // The numbers in the strip, the newest first; 0 for an empty slot.
    std::array<int, window::kSlots> strip{};
    // The number the big display shows; 0 until the first call.
    int shown = 0;
    // Whether the big number stands in place of the board.
    bool displayOpen = false;
    // Whether a round has begun: until then nothing can be called.
    bool inPlay = false;
    // Whether Estrai may draw.
    bool canDraw = true;

    bool operator==(const Round&) const = default;

    bool isCalled(int n) const { return called.at(static_cast<std::size_t>(n - 1)); }
    bool anyFree() const;

    // Calls n (1 to 90): the big number shows it, it heads the strip, and
    // Estrai may draw while any number is still free. Calling a called
    // number changes nothing.
    Round call(int n) const;
    // Makes the number in the slot free again and empties the slot; an
    // empty slot changes nothing.
    Round cancel(int slot) const;
    // A fresh round: every number free, the strip empty, play begun and
    // Estrai on. The big number stays as it was.
    Round fresh() const;
    // The board shown again in place of the big number; Estrai on.
    Round closeDisplay() const;
};

// A free number picked with values from `random`, every free number equally
// likely; 0 when none is free (and then no value is asked for).
int drawFree(const Round& round, platform::Random& random);

}  // namespace board
