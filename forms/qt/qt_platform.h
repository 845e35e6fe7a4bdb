// SPDX-License-Identifier: MIT
// The platform interfaces as Qt provides them, and the embedded resources.
#pragma once

#include <QKeyEvent>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "forms/form.h"
#include "platform/platform.h"

namespace qtforms {

// The keys held down and the repeats of each, as the whole program sees
// them: fed by the board window and by the boxes, whichever has the
// keyboard, so that a key held down as a box opens is known for held there.
forms::KeyRepeats& keyRepeats();
// A key event's time for keyRepeats(): the system's, or for a copy passed
// on without one (a screen reader's bridge posts such copies) the moment it
// came, so that the gaps between presses still tell a held key.
std::uint64_t keyTime(const QKeyEvent& key);
// Keeps keyRepeats() to what the system holds down, as a window of the
// program takes the keyboard or loses it.
void followHeldKeys();
// On X, has the server repeat a held key with presses alone, so that every
// release reported is the key let go.
void askForPlainKeyRepeats();
// Which of the keys the board uses (Qt's codes) the X server holds down now;
// any other key, none. Where there is no X server, every key.
std::function<bool(int)> keysHeldOnServer();

// The words of the question's and the error box's buttons, and the error
// box's title. Call once, before any box opens.
void useBoxTexts(platform::BoxTexts texts);

// Registers the fonts embedded in the executable. Call once, after the
// QApplication exists and before any window is built.
void registerEmbeddedFonts();

// The platform's modal Yes/No message box: no icon, Yes the default.
class QtQuestion : public platform::Question {
  public:
    // The window the question is modal to.
    void setParent(QWidget* parent) { parent_ = parent; }
    Answer ask(const std::string& prompt, const std::string& title) override;

  private:
    QWidget* parent_ = nullptr;
};

// An error box, then the event loop is told to end with status 1.
class QtFatalReport : public platform::FatalReport {
  public:
    // The window the box is modal to, while it exists: the window manager
    // gives the box the focus even while that window holds the mouse.
    void setParent(QWidget* parent) { parent_ = parent; }
    void report(const std::string& message) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace qtforms
