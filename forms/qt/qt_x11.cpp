// SPDX-License-Identifier: MIT
// What the Qt backend asks of the X server itself.
#include <QGuiApplication>

#include "forms/qt/qt_form_view.h"

// Last: X11's headers define names (None, Bool, KeyPress) that Qt's use.
#include <X11/XKBlib.h>

namespace qtforms {

void askForPlainKeyRepeats() {
    // By default X repeats a held key as a release and a press at the same
    // instant, which an application can tell from a real release only by
    // looking for the press still to come, and that may not have arrived
    // yet. Asked this way, the server repeats with presses alone, and a
    // release is always the key let go.
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 != nullptr && x11->display() != nullptr) {
        Bool supported = False;
        XkbSetDetectableAutoRepeat(x11->display(), True, &supported);
    }
}

}  // namespace qtforms
