// SPDX-License-Identifier: MIT
// Tabellone on Linux: the caller's board for the 90-number game, drawn with
// Qt 6 Widgets. One window, one round log beside the executable.
#include <QApplication>
#include <QIcon>
#include <array>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "board/command_line.h"
#include "board/tabellone.h"
#include "forms/qt/qt_form_view.h"
#include "forms/qt/qt_platform.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_files.h"
#include "platform/random.h"
#include "window/texts.h"

namespace {

// No exception may unwind through Qt's own frames: whatever escapes an
// event (the form reports its handlers' own failures) is reported here, in
// the error box, once; then the program ends with status 1.
class Application final : public QApplication {
  public:
    Application(int& argc, char** argv, platform::FatalReport& fatal)
        : QApplication(argc, argv), fatal_(fatal) {}

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            fail(std::current_exception());
            return false;
        }
    }

    // Shows the failure; one that comes while the box is open is not shown.
    void fail(const std::exception_ptr& failure) {
        if (!failed_) {
            failed_ = true;
            fatal_.report(window::fatalMessage(failure));
        }
    }
    bool failed() const { return failed_; }

  private:
    platform::FatalReport& fatal_;
    bool failed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    // The board's own options; anything else is refused before any window.
    const board::CommandLine command = board::readCommandLine({argv + 1, argv + argc});
    if (command.action != board::CommandLine::Action::Run) {
        std::fputs(command.text.c_str(),
                   command.action == board::CommandLine::Action::Print ? stdout : stderr);
        return command.status;
    }
    // Qt's own options (-qwindowtitle, -style, ...) are not the board's: Qt
    // is given the program's name alone. Its environment variables apply.
    int qtArgc = 1;
    std::array<char*, 2> qtArgv{argv[0], nullptr};
    qtforms::useBoxTexts(window::kBoxTexts);
    qtforms::QtFatalReport fatal;
    Application app(qtArgc, qtArgv.data(), fatal);
    try {
        qtforms::registerEmbeddedFonts();
        // The dove of Nuova for the window and the task bar, as on Windows.
        QApplication::setWindowIcon(
            QIcon(qtforms::embeddedPicture(QStringLiteral("colomba@3x.png"))));

        platform::PosixClock clock;
        platform::SeededRandom random;
        platform::PosixAppFolder folder;
        platform::PosixFileSystem files;
        qtforms::QtQuestion question;

        board::Tabellone tabellone({question, fatal, random, clock, folder, files});
        qtforms::QtFormView view(tabellone.form());
        question.setParent(&view);
        fatal.setParent(&view);

        tabellone.form().load();
        if (tabellone.form().failed()) {
            return 1;
        }
        view.openOnScreen();
        view.show();
        // A failure while the window was shown has been reported already.
        const int status = app.failed() ? 1 : QApplication::exec();
        return tabellone.form().failed() || app.failed() ? 1 : status;
    } catch (...) {
        app.fail(std::current_exception());
        return 1;
    }
}
