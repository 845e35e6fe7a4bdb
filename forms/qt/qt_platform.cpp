// SPDX-License-Identifier: MIT
#include "forms/qt/qt_platform.h"

#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <cstdint>

#include "forms/form.h"
#include "forms/geometry.h"

namespace qtforms {

forms::KeyRepeats& keyRepeats() {
    static forms::KeyRepeats repeats;
    return repeats;
}

std::uint64_t keyTime(const QKeyEvent& key) {
    static const QElapsedTimer since = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return key.timestamp() != 0 ? static_cast<std::uint64_t>(key.timestamp())
                                : static_cast<std::uint64_t>(since.elapsed()) + 1;
}

// While the keyboard was elsewhere (another program, or a box that closed
// on a key's press while the window manager moved the focus), a release may
// have gone where we never saw it: what the server holds now is held.
void followHeldKeys() {
    if (QApplication::activeWindow() == nullptr) {
        keyRepeats().forget();
    } else {
        keyRepeats().keepOnly(keysHeldOnServer());
    }
}

namespace {
platform::BoxTexts boxTexts;
}  // namespace

void useBoxTexts(platform::BoxTexts texts) {
    boxTexts = std::move(texts);
}

void registerEmbeddedFonts() {
    QDirIterator it(QStringLiteral(":/fonts"));
    while (it.hasNext()) {
        QFontDatabase::addApplicationFont(it.next());
    }
}

namespace {

// While a box is open, keeps from it every key event that the form's rule
// for boxes passes over. Each key event reaches the application first at the
// top-level window, once, before any widget sees it: that is where it is
// judged.
class FreshKeysOnly : public QObject {
  public:
    FreshKeysOnly() { QCoreApplication::instance()->installEventFilter(this); }
    ~FreshKeysOnly() override { QCoreApplication::instance()->removeEventFilter(this); }
    FreshKeysOnly(const FreshKeysOnly&) = delete;
    FreshKeysOnly& operator=(const FreshKeysOnly&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::WindowActivate && watched->isWindowType()) {
            followHeldKeys();  // the box took the keyboard
        }
        // A key passed on again (a screen reader's bridge holds each key
        // while it asks the reader, then posts a copy) was judged when it
        // first came.
        if (!watched->isWindowType() || !e->spontaneous() ||
            (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease)) {
            return false;
        }
        const auto& key = *static_cast<const QKeyEvent*>(e);
        const std::uint64_t time = keyTime(key);
        bool acts = false;
        if (e->type() == QEvent::KeyPress) {
            acts = keys_.press(key.key(), keyRepeats().press(key.key(), key.isAutoRepeat(), time));
        } else if (key.isAutoRepeat()) {
            acts = keys_.press(key.key(), true);  // the release half of a repeat
        } else {
            keyRepeats().release(key.key(), time);
            acts = keys_.release(key.key());
        }
        return !acts;
    }

  private:
    forms::ModalKeys keys_;
};

}  // namespace

platform::Question::Answer QtQuestion::ask(const std::string& prompt, const std::string& title) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(prompt), QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    box.button(QMessageBox::Yes)->setText(QString::fromStdString(boxTexts.yes));
    box.button(QMessageBox::No)->setText(QString::fromStdString(boxTexts.no));
    // Screen readers read the question with Sì, the button that has the
    // focus: one still busy with the click on Nuova when the box opens takes
    // the box for the window it was already in, and reads that button alone.
    // The text is marked as Sì's label, so that it is not read twice.
    QAbstractButton* yes = box.button(QMessageBox::Yes);
    yes->setAccessibleDescription(box.text());
    for (auto* label : box.findChildren<QLabel*>()) {
        if (label->text() == box.text()) {
            label->setBuddy(yes);
        }
    }
    const FreshKeysOnly keys;
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtFatalReport::report(const std::string& message) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(boxTexts.errorTitle),
                    QString::fromStdString(message), QMessageBox::Ok, parent_);
    box.button(QMessageBox::Ok)->setText(QString::fromStdString(boxTexts.ok));
    const FreshKeysOnly keys;
    box.exec();
    QCoreApplication::exit(1);
}

}  // namespace qtforms
