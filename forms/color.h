// SPDX-License-Identifier: MIT
// Colours as the forms model stores them.
#pragma once

#include <cstdint>

namespace forms {

// A colour value 0x00BBGGRR (red in the lowest byte), or 0x800000nn for the
// platform's system colour number nn.
using Color = std::uint32_t;

constexpr Color rgb(unsigned r, unsigned g, unsigned b) {
    return static_cast<Color>((b & 0xFFU) << 16U | (g & 0xFFU) << 8U | (r & 0xFFU));
}

constexpr bool isSystemColor(Color c) {
    return (c & 0x80000000U) != 0;
}

constexpr Color systemColor(unsigned number) {
    return 0x80000000U | number;
}

// The system colours a push button and disabled text are drawn in.
inline constexpr unsigned kButtonFace = 15;
inline constexpr unsigned kGreyText = 17;
inline constexpr unsigned kButtonText = 18;

constexpr unsigned redOf(Color c) {
    return c & 0xFFU;
}
constexpr unsigned greenOf(Color c) {
    return (c >> 8U) & 0xFFU;
}
constexpr unsigned blueOf(Color c) {
    return (c >> 16U) & 0xFFU;
}

// The plain RGB value behind a colour. System colours are fixed here rather
// than taken from the desktop's scheme, so that the yellow titles keep the
// same strong contrast on every machine; a plain RGB value comes back as is.
Color resolveColor(Color c);

}  // namespace forms
