// SPDX-License-Identifier: MIT
// Where the baseline windows put their controls, in twips at 15 to the
// pixel: one 865x678 client area holding as many plain controls as the
// board has (109): 93 text boxes (the 90 cells where the board has them,
// teal, and 3 slots in a frame of their own), 8 plain boxes, 4 labels, 2
// frames and 2 push buttons. The Qt and the Win32 baselines both read it;
// the Win32 one also has the big number, a label where the board has its.
#pragma once

#include <cmath>

namespace baseline {

constexpr int kWidth = 865;
constexpr int kHeight = 678;
constexpr int kCells = 90;
constexpr int kSlots = 3;
constexpr int kBoxes = 8;
constexpr int kLabels = 4;
constexpr const char* kCaptions[kLabels] = {"Uno", "Due", "Tre", "Quattro"};

struct Twips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

inline int px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

// The frame around the cells, and cell i (0..89) inside it, where the
// board's are, so that the same pixels turn teal.
constexpr Twips kGrid{0, 750, 10695, 9405};
constexpr Twips cell(int i) {
    const int row = i / 10;
    const int column = i % 10;
    return {210 + 900 * column + (column >= 5 ? 990 : 0), 480 + 900 * row + 180 * (row / 3), 820,
            820};
}

// The frame at the side, and slot k (0..2) inside it.
constexpr Twips kSide{10830, 3930, 1335, 4245};
constexpr Twips slot(int k) {
    return {300, 1200 + 960 * k, 800, 800};
}

constexpr Twips box(int k) {
    return {10260, 90 + 60 * k, 600, 600};
}
constexpr Twips label(int k) {
    return {0, 15 + 180 * k, 8415, 180};
}
// The big number, where the board shows it, under the frame of the cells.
constexpr Twips kBig{2460, 1830, 6945, 6465};
constexpr Twips kFirstButton{10830, 3270, 1335, 585};
constexpr Twips kSecondButton{10830, 8340, 1335, 1275};

}  // namespace baseline
