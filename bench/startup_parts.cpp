// SPDX-License-Identifier: MIT
// Where start-up goes, phase by phase, measured inside the process up to
// the first paint of the window on the X display: the board with its own
// code in the order its main() runs it, or the baseline window.
//
//   bench_startup_parts [--baseline] [--fonts-first]
//
// --fonts-first loads the system font database before anything else that
// needs it, to tell the cost of registering the embedded fonts from the
// cost of the database itself, which any Qt program that draws text pays.
// The board's pictures are decoded in a phase of their own (they are cached
// by name, so building the widgets after finds them decoded).
// Prints one "phase_ms NAME X" line a phase, the total to the first paint,
// then the time of a second paint of the whole window.
#include <QApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QPixmap>
#include <cstdio>
#include <cstring>
#include <memory>

#include "baseline_window.h"
#include "board/tabellone.h"
#include "forms/qt/qt_form_view.h"
#include "forms/qt/qt_platform.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_files.h"
#include "platform/random.h"
#include "window/layout.h"
#include "window/texts.h"

namespace {

// Notes the window's first paint.
class FirstPaint : public QObject {
  public:
    bool painted = false;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            painted = true;
        }
        return QObject::eventFilter(watched, e);
    }
};

class Phases {
  public:
    Phases() { timer_.start(); }
    void operator()(const char* name) {
        const qint64 now = timer_.nsecsElapsed();
        std::printf("phase_ms %s %.2f\n", name, static_cast<double>(now - last_) / 1e6);
        last_ = now;
    }
    void total() {
        std::printf("phase_ms total %.2f\n", static_cast<double>(timer_.nsecsElapsed()) / 1e6);
    }

  private:
    QElapsedTimer timer_;
    qint64 last_ = 0;
};

// Shows the window and waits for its first paint; then paints it all once
// more, which tells what the first paint spent on first-use work (font
// engines, glyphs, pictures) from what any paint of the window costs.
void showAndPaint(QWidget& window, Phases& phase) {
    FirstPaint paint;
    window.installEventFilter(&paint);
    window.show();
    while (!paint.painted) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // The backing store is flushed to the display before the loop is idle.
    QCoreApplication::processEvents();
    phase("show_and_paint");
    window.removeEventFilter(&paint);
    phase.total();
    window.repaint();
    QCoreApplication::processEvents();
    phase("second_paint");
}

}  // namespace

int main(int argc, char** argv) {
    bool baselineMode = false;
    bool fontsFirst = false;
    for (int i = 1; i < argc; ++i) {
        baselineMode = baselineMode || std::strcmp(argv[i], "--baseline") == 0;
        fontsFirst = fontsFirst || std::strcmp(argv[i], "--fonts-first") == 0;
    }
    Phases phase;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    phase("qapplication");
    if (fontsFirst) {
        (void)QFontDatabase::families();
        phase("font_database");
    }

    if (baselineMode) {
        QWidget window;
        baseline::build(window);
        phase("widgets");
        showAndPaint(window, phase);
        return 0;
    }

    qtforms::registerEmbeddedFonts();
    phase("embedded_fonts");
    for (const char* picture : {window::kStarsPicture, window::kDovePicture, window::kStripePicture,
                                window::kWindowPicture}) {
        (void)qtforms::embeddedPicture(QString::fromLatin1(picture));
    }
    phase("pictures");

    platform::PosixClock clock;
    platform::SeededRandom random;
    platform::PosixAppFolder folder;
    platform::PosixFileSystem files;
    qtforms::useBoxTexts(window::kBoxTexts);
    qtforms::QtFatalReport fatal;
    qtforms::QtQuestion question;
    board::Tabellone tabellone({question, fatal, random, clock, folder, files});
    phase("form_model");

    qtforms::QtFormView view(tabellone.form());
    question.setParent(&view);
    phase("widgets");

    tabellone.form().load();
    if (tabellone.form().failed()) {
        return 1;
    }
    phase("load");
    showAndPaint(view, phase);
    return 0;
}
