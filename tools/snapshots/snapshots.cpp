// SPDX-License-Identifier: MIT
// Draws the board in each of its states and saves the pictures the README
// shows. It builds the real window with the real board rules, but with a
// fixed clock, a seeded random generator and a question that always answers
// Yes, so that every run draws the same pictures.
//
// Usage: tabellone_snapshots OUTPUT_FOLDER
// Runs without a display (QT_QPA_PLATFORM=offscreen unless set otherwise).
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "board/tabellone.h"
#include "forms/qt/qt_form_view.h"
#include "forms/qt/qt_platform.h"
#include "platform/posix/posix_files.h"
#include "window/texts.h"

namespace {

class YesQuestion : public platform::Question {
  public:
    Answer ask(const std::string& /*prompt*/, const std::string& /*title*/) override {
        return Answer::Yes;
    }
};

class FixedClock : public platform::Clock {
  public:
    platform::LocalTime now() override { return {2024, 12, 24, 21, 30, 0}; }
};

// One fixed stream of values, so that draws differ from each other but not
// from run to run.
class FixedRandom : public platform::Random {
  public:
    float next() override { return static_cast<float>(engine_() >> 8U) * 0x1p-24F; }

  private:
    std::mt19937 engine_{1966};
};

// The log's folder: a temporary one, so the pictures leave no log behind.
class FixedFolder : public platform::AppFolder {
  public:
    explicit FixedFolder(std::string path) : path_(std::move(path)) {}
    platform::NativePath path() override { return path_; }

  private:
    std::string path_;
};

// Ends the program on a failure the board reports.
class StderrFatalReport : public platform::FatalReport {
  public:
    void report(const std::string& message) override {
        std::fprintf(stderr, "tabellone_snapshots: %s\n", message.c_str());
    }
};

bool save(const QImage& image, const QDir& folder, const char* name) {
    const QString path = folder.filePath(QString::fromLatin1(name));
    // Quality 0: the strongest PNG compression.
    if (!image.save(path, "PNG", 0)) {
        std::fprintf(stderr, "tabellone_snapshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The question exactly as the board asks it: the real QtQuestion, caught
// as soon as its box is up, drawn, and answered No.
QImage grabQuestion(QWidget* parent) {
    QImage picture;
    QTimer catcher;
    catcher.setSingleShot(true);
    QObject::connect(&catcher, &QTimer::timeout, [&picture] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr) {
            picture = box->grab().toImage();
            box->done(QMessageBox::No);
        }
    });
    catcher.start(0);
    qtforms::useBoxTexts(window::kBoxTexts);
    qtforms::QtQuestion question;
    question.setParent(parent);
    question.ask(window::kNewRoundPrompt, window::kNewRoundTitle);
    return picture;
}

// A plain window frame around a dialog, with its title, as a window
// manager would draw it: the offscreen platform draws none.
QImage framed(const QImage& dialog, const QString& title) {
    constexpr int kBar = 22;
    QImage out(dialog.width() + 2, dialog.height() + kBar + 1, QImage::Format_RGB32);
    QPainter p(&out);
    p.fillRect(out.rect(), QColor(60, 72, 96));
    QLinearGradient bar(0, 1, 0, kBar);
    bar.setColorAt(0.0, QColor(138, 166, 208));
    bar.setColorAt(1.0, QColor(86, 116, 170));
    p.fillRect(QRect(1, 1, dialog.width(), kBar - 1), bar);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(1, 1, dialog.width(), kBar - 1), Qt::AlignCenter, title);
    p.drawImage(1, kBar, dialog);
    return out;
}

QImage centredOver(const QImage& background, const QImage& front) {
    QImage out = background.convertToFormat(QImage::Format_RGB32);
    QPainter p(&out);
    p.drawImage((out.width() - front.width()) / 2, (out.height() - front.height()) / 2, front);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tabellone_snapshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "tabellone_snapshots: cannot create %s\n", argv[1]);
        return 1;
    }
    qtforms::registerEmbeddedFonts();

    QTemporaryDir logFolder;
    if (!logFolder.isValid()) {
        std::fprintf(stderr, "tabellone_snapshots: no temporary folder for the log\n");
        return 1;
    }
    FixedClock clock;
    FixedRandom random;
    YesQuestion question;
    StderrFatalReport fatal;

    FixedFolder folder(logFolder.path().toStdString());
    platform::PosixFileSystem files;
    board::Tabellone tabellone({question, fatal, random, clock, folder, files});
    qtforms::QtFormView view(tabellone.form());
    board::Board& board = tabellone.board();
    const forms::Form& form = tabellone.form();

    tabellone.form().load();
    view.show();
    QApplication::processEvents();  // the window's Activate
    bool ok = !form.failed();

    // At start: nothing can be called until a round begins.
    const QImage start = view.grab().toImage();
    ok = ok && save(start, out, "start.png");

    // The question that begins a round, over the board at start.
    const QImage box = grabQuestion(&view);
    ok = ok && !box.isNull() &&
         save(centredOver(start, framed(box, QString::fromUtf8(window::kNewRoundTitle))), out,
              "question.png");

    // In play: calls by hand and by the draw, the strip full.
    board.newRound();
    for (const int number : {12, 27, 45, 63, 81, 3}) {
        board.call(number - 1);
        board.closeDisplay();
    }
    for (int k = 0; k < 2; ++k) {
        board.draw();
        board.closeDisplay();
    }
    ok = ok && !form.failed() && save(view.grab().toImage(), out, "play.png");

    // The big number, as it shows after a call until it is double-clicked.
    board.call(8);
    ok = ok && !form.failed() && save(view.grab().toImage(), out, "big-number.png");

    view.close();
    return ok ? 0 : 1;
}
