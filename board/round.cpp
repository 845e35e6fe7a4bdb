// SPDX-License-Identifier: MIT
#include "board/round.h"

#include <algorithm>

namespace board {

int candidateFor(float r) {
    // The product is exact in double precision, so every number gets exactly
    // the values of r in [(n - 1) / 90, n / 90); the clamp keeps the cell in
    // range whatever the generator gives.
    const int candidate = static_cast<int>(90.0 * static_cast<double>(r)) + 1;
    return std::clamp(candidate, 1, window::kCells);
}

bool Round::anyFree() const {
    return std::find(called.begin(), called.end(), false) != called.end();
}

Round Round::call(int n) const {
    Round next = *this;
    if (isCalled(n)) {
        return next;
    }
    next.called.at(static_cast<std::size_t>(n - 1)) = true;
    next.shown = n;
    next.displayOpen = true;
    std::copy_backward(strip.begin(), strip.end() - 1, next.strip.end());
    next.strip.front() = n;
    next.canDraw = next.anyFree();
    return next;
}

Round Round::cancel(int slot) const {
    Round next = *this;
    const int n = strip.at(static_cast<std::size_t>(slot));
    if (n != 0) {
        next.called.at(static_cast<std::size_t>(n - 1)) = false;
        next.strip.at(static_cast<std::size_t>(slot)) = 0;
    }
    return next;
}

Round Round::fresh() const {
    Round next = *this;
    next.called.fill(false);
    next.strip.fill(0);
    next.inPlay = true;
    next.canDraw = true;
    return next;
}

Round Round::closeDisplay() const {
    Round next = *this;
    next.displayOpen = false;
    next.canDraw = true;
    return next;
}

int drawFree(const Round& round, platform::Random& random) {
    if (!round.anyFree()) {
        return 0;
    }
    // Values that fall on a called number are passed over, so every free
    // number is equally likely.
    int candidate = 0;
    do {
        candidate = candidateFor(random.next());
    } while (round.isCalled(candidate));
    return candidate;
}

}  // namespace board
