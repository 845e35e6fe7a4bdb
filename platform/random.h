// SPDX-License-Identifier: MIT
// The random generator, which needs nothing but the standard library. The
// local clock asks the operating system (platform/posix/posix_clock.h,
// platform/win32/win32_clock.h).
#pragma once

#include <random>

#include "platform/platform.h"

namespace platform {

// A Mersenne Twister seeded once, from the system's source of entropy.
class SeededRandom : public Random {
  public:
    SeededRandom();
    float next() override;

  private:
    std::mt19937 engine_;
};

}  // namespace platform
