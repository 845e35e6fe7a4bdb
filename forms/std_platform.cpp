#include "forms/std_platform.h"

#include <chrono>

namespace forms {

void ClockSeededRandom::reseed() {
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    const auto bits = static_cast<unsigned long long>(ticks);
    std::seed_seq seq{static_cast<unsigned>(bits), static_cast<unsigned>(bits >> 32U)};
    engine_.seed(seq);
}

float ClockSeededRandom::next() {
    // 24 random bits scaled by 2^-24: every value is exact in a float and the
    // largest is 1 - 2^-24, so 1.0 cannot come out.
    return static_cast<float>(engine_() >> 8U) * 0x1p-24F;
}

}  // namespace forms
