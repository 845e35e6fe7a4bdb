// The baseline window, shared by the baseline program and the in-process
// start-up breakdown: one fixed 865x678 window holding as many plain
// widgets as the board has controls (109): 93 line edits (the 90 cells
// where the board has them, teal, and the 3 slots), 8 plain widgets, 4
// labels, 2 frames and 2 push buttons. No logic, no pictures, no fonts of
// its own.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <cmath>

namespace baseline {

inline int px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

inline QRect rectOf(int left, int top, int width, int height) {
    return {px(left), px(top), px(left + width) - px(left), px(top + height) - px(top)};
}

inline void build(QWidget& window) {
    window.setWindowTitle(QStringLiteral("BASELINE"));
    window.setFixedSize(865, 678);

    auto* grid = new QFrame(&window);
    grid->setFrameStyle(QFrame::Box | QFrame::Sunken);
    grid->setGeometry(rectOf(0, 750, 10695, 9405));

    QPalette teal = window.palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        teal.setColor(group, QPalette::Base, QColor(0, 192, 192));
    }
    // The cells sit where the board's do, so that the same pixels turn teal.
    for (int i = 0; i < 90; ++i) {
        const int row = i / 10;
        const int column = i % 10;
        const int left = 210 + 900 * column + (column >= 5 ? 990 : 0);
        const int top = 480 + 900 * row + 180 * (row / 3);
        auto* cell = new QLineEdit(QString::number(i + 1), grid);
        cell->setGeometry(rectOf(left, top, 820, 820));
        cell->setPalette(teal);
        cell->setReadOnly(true);
        cell->setAlignment(Qt::AlignCenter);
    }

    auto* side = new QFrame(&window);
    side->setFrameStyle(QFrame::Box | QFrame::Sunken);
    side->setGeometry(rectOf(10830, 3930, 1335, 4245));
    for (int k = 0; k < 3; ++k) {
        auto* slot = new QLineEdit(side);
        slot->setGeometry(rectOf(300, 1200 + 960 * k, 800, 800));
    }

    for (int k = 0; k < 8; ++k) {
        auto* box = new QWidget(&window);
        box->setGeometry(rectOf(10260, 90 + 60 * k, 600, 600));
    }
    const char* captions[] = {"Uno", "Due", "Tre", "Quattro"};
    for (int k = 0; k < 4; ++k) {
        auto* label = new QLabel(QString::fromLatin1(captions[k]), &window);
        label->setGeometry(rectOf(0, 15 + 180 * k, 8415, 180));
    }
    auto* first = new QPushButton(QStringLiteral("Uno"), &window);
    first->setGeometry(rectOf(10830, 3270, 1335, 585));
    auto* second = new QPushButton(QStringLiteral("Due"), &window);
    second->setGeometry(rectOf(10830, 8340, 1335, 1275));
}

}  // namespace baseline
