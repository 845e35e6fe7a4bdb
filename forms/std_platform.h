// Implementations of the platform interfaces that need nothing but the
// standard library: the random generator. The local clock asks the
// operating system (forms/posix/posix_clock.h, forms/win32/win32_clock.h).
#pragma once

#include <random>

#include "forms/platform.h"

namespace forms {

// A Mersenne Twister reseeded from the high-resolution clock.
class ClockSeededRandom : public Random {
  public:
    void reseed() override;
    float next() override;

  private:
    std::mt19937 engine_;
};

}  // namespace forms
