// SPDX-License-Identifier: MIT
#include "forms/color.h"

namespace forms {

Color resolveColor(Color c) {
    if (!isSystemColor(c)) {
        return c & 0x00FFFFFFU;
    }
    switch (c & 0xFFU) {
        case 2:  // active title bar
            return rgb(0, 84, 227);
        case 12:  // application workspace
            return rgb(128, 128, 128);
        case 13:  // highlight
            return rgb(49, 106, 197);
        case 18:  // button text
            return rgb(0, 0, 0);
        case 15:  // button face
            return rgb(240, 240, 240);
        case 17:  // grey text
            return rgb(109, 109, 109);
        default:
            return rgb(192, 192, 192);
    }
}

}  // namespace forms
