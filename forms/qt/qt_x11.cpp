// SPDX-License-Identifier: MIT
// What the Qt backend asks of the X server itself: keys held down told
// apart from keys pressed again.
#include <QGuiApplication>
#include <array>
#include <utility>

#include "forms/qt/qt_platform.h"

// Last: X11's headers define names (None, Bool, KeyPress) that Qt's use.
#include <X11/XKBlib.h>
#include <X11/keysym.h>

namespace qtforms {

namespace {

Display* x11Display() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    return x11 != nullptr ? x11->display() : nullptr;
}

}  // namespace

void askForPlainKeyRepeats() {
    // By default X repeats a held key as a release and a press at the same
    // instant, which an application can tell from a real release only by
    // looking for the press still to come, and that may not have arrived
    // yet. Asked this way, the server repeats with presses alone, and a
    // release is always the key let go.
    if (Display* display = x11Display(); display != nullptr) {
        Bool supported = False;
        XkbSetDetectableAutoRepeat(display, True, &supported);
    }
}

std::function<bool(int)> keysHeldOnServer() {
    Display* display = x11Display();
    if (display == nullptr) {
        return [](int) { return true; };
    }
    std::array<char, 32> keymap{};
    XQueryKeymap(display, keymap.data());
    return [display, keymap](int key) {
        constexpr std::array<std::pair<int, KeySym>, 7> kSyms{{{Qt::Key_Return, XK_Return},
                                                               {Qt::Key_Enter, XK_KP_Enter},
                                                               {Qt::Key_Space, XK_space},
                                                               {Qt::Key_Tab, XK_Tab},
                                                               {Qt::Key_Backtab, XK_Tab},
                                                               {Qt::Key_Escape, XK_Escape},
                                                               {Qt::Key_F11, XK_F11}}};
        for (const auto& [qtKey, sym] : kSyms) {
            if (qtKey == key) {
                const unsigned code = XKeysymToKeycode(display, sym);
                const auto bits = static_cast<unsigned char>(keymap.at(code / 8U));
                return code != 0 && (bits & (1U << (code % 8U))) != 0;
            }
        }
        return false;
    };
}

}  // namespace qtforms
