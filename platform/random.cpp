// SPDX-License-Identifier: MIT
#include "platform/random.h"

#include <array>
#include <cstdint>

namespace platform {

SeededRandom::SeededRandom() {
    // As many words of entropy as the engine has state to fill.
    std::random_device entropy;
    std::array<std::uint32_t, std::mt19937::state_size> words{};
    for (std::uint32_t& w : words) {
        w = entropy();
    }
    std::seed_seq seq(words.begin(), words.end());
    engine_.seed(seq);
}

float SeededRandom::next() {
    // 24 random bits scaled by 2^-24: every value is exact in a float and the
    // largest is 1 - 2^-24, so 1.0 cannot come out.
    return static_cast<float>(engine_() >> 8U) * 0x1p-24F;
}

}  // namespace platform
