// Tabellone on Linux: the caller's board for the 90-number game, drawn with
// Qt 6 Widgets. One window, one round log beside the executable.
#include <QApplication>

#include "board/tabellone.h"
#include "forms/posix/posix_clock.h"
#include "forms/posix/posix_files.h"
#include "forms/qt/qt_form_view.h"
#include "forms/qt/qt_platform.h"
#include "forms/std_platform.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    qtforms::registerEmbeddedFonts();

    forms::PosixClock clock;
    forms::ClockSeededRandom random;
    forms::PosixAppFolder folder;
    forms::PosixFileSystem files;
    qtforms::QtFatalReport fatal;
    qtforms::QtQuestion question;

    board::Tabellone tabellone({question, fatal, random, clock, folder, files});
    qtforms::QtFormView view(tabellone.form());
    question.setParent(&view);

    tabellone.form().load();
    if (tabellone.form().failed()) {
        return 1;
    }
    view.openOnScreen();
    view.show();
    const int status = QApplication::exec();
    return tabellone.form().failed() ? 1 : status;
}
