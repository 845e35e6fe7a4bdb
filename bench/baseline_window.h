// SPDX-License-Identifier: MIT
// The Qt baseline window, shared by the baseline program and the in-process
// start-up breakdown: the controls of baseline_layout.h as plain widgets (93
// line edits, 8 plain widgets, 4 labels, 2 frames, 2 push buttons) in one
// fixed window. No logic, no pictures, no fonts of its own.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "baseline_layout.h"

namespace baseline {

inline QRect rectOf(const Twips& t) {
    return {px(t.left), px(t.top), px(t.left + t.width) - px(t.left),
            px(t.top + t.height) - px(t.top)};
}

inline void build(QWidget& window) {
    window.setWindowTitle(QStringLiteral("BASELINE"));
    window.setFixedSize(kWidth, kHeight);

    auto* grid = new QFrame(&window);
    grid->setFrameStyle(QFrame::Box | QFrame::Sunken);
    grid->setGeometry(rectOf(kGrid));

    QPalette teal = window.palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        teal.setColor(group, QPalette::Base, QColor(0, 192, 192));
    }
    for (int i = 0; i < kCells; ++i) {
        auto* cell = new QLineEdit(QString::number(i + 1), grid);
        cell->setGeometry(rectOf(baseline::cell(i)));
        cell->setPalette(teal);
        cell->setReadOnly(true);
        cell->setAlignment(Qt::AlignCenter);
    }

    auto* side = new QFrame(&window);
    side->setFrameStyle(QFrame::Box | QFrame::Sunken);
    side->setGeometry(rectOf(kSide));
    for (int k = 0; k < kSlots; ++k) {
        auto* slot = new QLineEdit(side);
        slot->setGeometry(rectOf(baseline::slot(k)));
    }

    for (int k = 0; k < kBoxes; ++k) {
        auto* plain = new QWidget(&window);
        plain->setGeometry(rectOf(box(k)));
    }
    for (int k = 0; k < kLabels; ++k) {
        auto* text = new QLabel(QString::fromLatin1(kCaptions[k]), &window);
        text->setGeometry(rectOf(label(k)));
    }
    auto* first = new QPushButton(QStringLiteral("Uno"), &window);
    first->setGeometry(rectOf(kFirstButton));
    auto* second = new QPushButton(QStringLiteral("Due"), &window);
    second->setGeometry(rectOf(kSecondButton));
}

}  // namespace baseline
