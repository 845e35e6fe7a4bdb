// Tabellone: the caller's board for the 90-number game. One window, one
// round log beside the executable.
#include <QApplication>

#include "board/board.h"
#include "forms/posix/posix_files.h"
#include "forms/qt/qt_form_view.h"
#include "forms/qt/qt_platform.h"
#include "forms/std_platform.h"
#include "roundlog/roundlog.h"
#include "window/layout.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    qtforms::registerEmbeddedFonts();

    forms::SystemClock clock;
    forms::ClockSeededRandom random;
    forms::PosixAppFolder folder;
    forms::PosixFileSystem files;
    qtforms::QtFatalReport fatal;

    const auto tabellone = window::makeTabellone();
    tabellone->setFatalReport(&fatal);
    roundlog::RoundLog log(folder, files, clock);
    qtforms::QtFormView view(*tabellone);
    qtforms::QtQuestion question(&view);
    board::Board board(*tabellone, log, question, random);

    tabellone->load();
    if (tabellone->failed()) {
        return 1;
    }
    view.show();
    const int status = QApplication::exec();
    return tabellone->failed() ? 1 : status;
}
