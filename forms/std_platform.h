// Implementations of the platform interfaces that need nothing but the
// standard library: the random generator and the local clock.
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

class SystemClock : public Clock {
  public:
    LocalTime now() override;
};

}  // namespace forms
