// Tabellone on Linux: the caller's board for the 90-number game, drawn with
// Qt 6 Widgets. One window, one round log beside the executable.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <string_view>

#include "board/tabellone.h"
#include "forms/posix/posix_clock.h"
#include "forms/posix/posix_files.h"
#include "forms/qt/qt_form_view.h"
#include "forms/qt/qt_platform.h"
#include "forms/std_platform.h"

int main(int argc, char** argv) {
    // Asked for its version, the program says it and ends: no window, no log.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::puts("Tabellone " TABELLONE_VERSION);
        return 0;
    }
    QApplication app(argc, argv);
    qtforms::registerEmbeddedFonts();
    // The dove of Nuova for the window and the task bar, as on Windows.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/colomba@3x.png")));

    forms::PosixClock clock;
    forms::SeededRandom random;
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
