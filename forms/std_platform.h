// SPDX-License-Identifier: MIT
// Implementations of the platform interfaces that need nothing but the
// standard library: the random generator, and the message of a failure
// (fatalMessage, declared with the interfaces). The local clock asks the
// operating system (forms/posix/posix_clock.h, forms/win32/win32_clock.h).
#pragma once

#include <random>

#include "forms/platform.h"

namespace forms {

// A Mersenne Twister seeded once, from the system's source of entropy.
class SeededRandom : public Random {
  public:
    SeededRandom();
    float next() override;

  private:
    std::mt19937 engine_;
};

}  // namespace forms
