// SPDX-License-Identifier: MIT
// The board window "tabellone" as it stands when it is created: every
// control, its place in the stack, geometry, fonts, colours and texts.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "forms/form.h"

namespace window {

inline constexpr int kCells = 90;
inline constexpr int kSlots = 3;

// Place of the number cell num(index) within the frame numeri: ten cells a
// row, in six blocks of three rows by five columns.
forms::Point cellPosition(int index);

// TabIndex of every cell, by Index. Cells take TabIndex 12 to 101.
std::array<int, kCells> cellTabIndices();

// Builds the window with all its controls, ready for its Load event.
std::unique_ptr<forms::Form> makeTabellone();

// Picture resources the layout refers to.
inline constexpr const char* kStarsPicture = "stelle.gif";
inline constexpr const char* kDovePicture = "colomba.gif";
inline constexpr const char* kStripePicture = "striscia.jpg";
inline constexpr const char* kWindowPicture = "finestra.bmp";

}  // namespace window
