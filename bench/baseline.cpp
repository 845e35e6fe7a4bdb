// SPDX-License-Identifier: MIT
// The yardstick for the board's start-up and memory: the least a Qt 6
// Widgets program does to show a window like the board's (see
// baseline_window.h), with no logic.
#include <QApplication>

#include "baseline_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    baseline::build(window);
    window.show();
    return QApplication::exec();
}
