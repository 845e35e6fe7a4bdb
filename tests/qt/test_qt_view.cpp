// The Qt backend drawn offscreen: the widget tree must mirror the model,
// follow its changes, and turn real mouse and keyboard input into the
// board's events.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "board/board.h"
#include "forms/posix/posix_files.h"
#include "forms/qt/qt_form_view.h"
#include "forms/qt/qt_platform.h"
#include "roundlog/roundlog.h"
#include "window/layout.h"

namespace {

class YesQuestion : public forms::Question {
  public:
    Answer ask(const std::string& prompt, const std::string& /*title*/) override {
        asked.push_back(prompt);
        return Answer::Yes;
    }
    std::vector<std::string> asked;
};

class FixedClock : public forms::Clock {
  public:
    forms::LocalTime now() override { return {2026, 3, 7, 9, 5, 3}; }
};

class GivenFolder : public forms::AppFolder {
  public:
    forms::NativePath path() override { return folder; }
    forms::NativePath folder;
};

class FirstRandom : public forms::Random {
  public:
    void reseed() override {}
    float next() override { return 0.0F; }  // always number 1
};

// Pixel edge of a twips coordinate at 15 twips a pixel, rounding halves up.
int px(int twips) {
    return (2 * twips + 15) / 30 - (2 * twips + 15 < 0 && (2 * twips + 15) % 30 != 0);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class QtViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<forms::Form> form_;
    std::unique_ptr<roundlog::RoundLog> log_;
    std::unique_ptr<qtforms::QtFormView> view_;
    std::unique_ptr<board::Board> board_;
    YesQuestion question_;
    FixedClock clock_;
    FirstRandom random_;
    GivenFolder folder_;
    forms::PosixFileSystem files_;

    QPoint centre(const char* name, int index = -1) const {
        const forms::Rect r = form_->windowRect(form_->control(name, index));
        return {(r.left + r.width / 2) / 15, (r.top + r.height / 2) / 15};
    }
    QWidget* widget(const char* name, int index = -1) const {
        return view_->widgetFor(form_->control(name, index));
    }
    QString logPath() const { return dir_->filePath(QStringLiteral("logSorvina.txt")); }

  private slots:
    void initTestCase() { qtforms::registerEmbeddedFonts(); }

    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        form_ = window::makeTabellone();
        folder_.folder = dir_->path().toStdString();
        log_ = std::make_unique<roundlog::RoundLog>(folder_, files_, clock_);
        view_ = std::make_unique<qtforms::QtFormView>(*form_);
        board_ = std::make_unique<board::Board>(*form_, *log_, question_, random_);
        question_.asked.clear();
        QVERIFY(form_->load());
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
        QTRY_VERIFY(!widget("estrai")->isEnabled());
    }

    void cleanup() {
        view_->close();
        board_.reset();
        view_.reset();
        log_.reset();
        form_.reset();
        dir_.reset();
    }

    void windowHasTheClientAreaAndTitle() {
        QCOMPARE(view_->size(), QSize(865, 678));
        QCOMPARE(view_->windowTitle(), QStringLiteral("TABELLONE DELLA SORVINA"));
    }

    void everyWidgetSitsWhereItsTwipsSay() {
        for (forms::Control* c : form_->controls()) {
            const forms::Rect r = form_->windowRect(*c);
            const QRect expected(px(r.left), px(r.top), px(r.right()) - px(r.left),
                                 px(r.bottom()) - px(r.top));
            QWidget* w = view_->widgetFor(*c);
            QVERIFY(w != nullptr);
            QCOMPARE(QRect(w->mapTo(view_.get(), QPoint(0, 0)), w->size()), expected);
        }
        // Spot checks against pixels worked out by hand.
        QCOMPARE(widget("num", 0)->geometry(), QRect(14, 32, 55, 55));
        QCOMPARE(widget("num", 5)->geometry(), QRect(380, 32, 55, 55));
        QCOMPARE(widget("Label1")->geometry(), QRect(0, -2, 561, 75));
    }

    void cellsShowTheirNumbersOnTeal() {
        for (int i = 0; i < window::kCells; ++i) {
            auto* cell = qobject_cast<QLineEdit*>(widget("num", i));
            QVERIFY(cell != nullptr);
            QCOMPARE(cell->text(), QString::number(i + 1));
            QVERIFY(cell->isReadOnly());
            QCOMPARE(cell->palette().color(QPalette::Base), QColor(0, 192, 192));
            QCOMPARE(cell->font().family(), QStringLiteral("Comic Neue"));
            QCOMPARE(cell->font().pixelSize(), 29);  // 21.75 pt at 96 dpi
            QVERIFY(!cell->isEnabled());
        }
        auto* title = qobject_cast<QLabel*>(widget("Label1"));
        QCOMPARE(title->text(), QStringLiteral("Numeri Estratti della Sorvina"));
        QCOMPARE(title->palette().color(QPalette::Window), QColor(0, 84, 227));
        QCOMPARE(title->palette().color(QPalette::WindowText), QColor(255, 255, 0));
        QCOMPARE(qobject_cast<QLabel*>(widget("Label2"))->font().family(),
                 QStringLiteral("Liberation Sans"));
        QCOMPARE(qobject_cast<QAbstractButton*>(widget("nuova"))->text(), QStringLiteral("Nuova"));
        QCOMPARE(qobject_cast<QAbstractButton*>(widget("estrai"))->text(),
                 QStringLiteral("Estrai"));
        QVERIFY(widget("nuova")->isEnabled());
        QCOMPARE(qobject_cast<QLineEdit*>(widget("last", 0))->palette().color(QPalette::Base),
                 QColor(0, 0, 128));
    }

    void modelChangesShowInTheWidgets() {
        forms::Control& cell = form_->control("num", 41);
        cell.setBackColor(forms::rgb(255, 255, 0));
        cell.setFontSize(cell.fontSize() + 6.0F);
        cell.setFontBold(true);
        auto* w = qobject_cast<QLineEdit*>(widget("num", 41));
        QCOMPARE(w->palette().color(QPalette::Base), QColor(255, 255, 0));
        QCOMPARE(w->font().pixelSize(), 37);  // 27.75 pt
        QVERIFY(w->font().bold());
        form_->control("last", 2).setText("42");
        QCOMPARE(qobject_cast<QLineEdit*>(widget("last", 2))->text(), QStringLiteral("42"));
        form_->control("numeri").setVisible(false);
        QVERIFY(!widget("numeri")->isVisible());
        QVERIFY(widget("estratto")->isVisible());
    }

    void doubleClickBeforeAnyRoundDoesNothing() {
        QTest::mouseDClick(view_.get(), Qt::LeftButton, {}, centre("num", 4));
        QVERIFY(widget("numeri")->isVisible());
        QCOMPARE(readAll(logPath()).size(), 0);
    }

    void realInputPlaysARound() {
        QTest::mouseClick(view_.get(), Qt::LeftButton, {}, centre("nuova"));
        QCOMPARE(question_.asked.size(), std::size_t{1});
        QVERIFY(widget("num", 4)->isEnabled());
        QVERIFY(widget("estrai")->isEnabled());

        QVERIFY(QTest::qWaitForWindowActive(view_.get()));
        QTest::mouseClick(view_.get(), Qt::LeftButton, {}, centre("num", 4));
        QCOMPARE(QApplication::focusWidget(), widget("num", 4));
        QTest::mouseDClick(view_.get(), Qt::LeftButton, {}, centre("num", 4));
        // The cell took the focus with the click; hiding the board gives it
        // to the window, not to a button that Enter would press.
        QCOMPARE(QApplication::focusWidget(), view_.get());
        auto* big = qobject_cast<QLabel*>(widget("estratto"));
        QVERIFY(!widget("numeri")->isVisible());
        QVERIFY(big->isVisible());
        QCOMPARE(big->text(), QStringLiteral("05"));
        QCOMPARE(big->font().pixelSize(), 307);  // 230.25 pt
        QCOMPARE(qobject_cast<QLineEdit*>(widget("last", 0))->text(), QStringLiteral("5"));

        // The big number is drawn where the board was.
        const QImage shot = view_->grab().toImage();
        QCOMPARE(shot.pixelColor(centre("estratto") + QPoint(0, 180)), QColor(255, 0, 0));

        QTest::mouseDClick(view_.get(), Qt::LeftButton, {}, centre("estratto"));
        QVERIFY(widget("numeri")->isVisible());

        // The draw from the keyboard: Space on the focused button.
        widget("estrai")->setFocus();
        QTest::keyClick(widget("estrai"), Qt::Key_Space);
        QCOMPARE(big->text(), QStringLiteral("01"));
        QVERIFY(!widget("estrai")->isEnabled());

        const QByteArray log = readAll(logPath());
        QVERIFY(log.endsWith("\"5\r\n\"\r\n\"1\r\n\"\r\n"));
        QCOMPARE(log.size(), 130 + 7 + 7);
    }

    void doubleClickOnAButtonIsTwoClicks() {
        QTest::mouseClick(view_.get(), Qt::LeftButton, {}, centre("nuova"));
        QTest::mouseDClick(view_.get(), Qt::LeftButton, {}, centre("nuova"));
        QTest::mouseRelease(view_.get(), Qt::LeftButton, {}, centre("nuova"));
        QCOMPARE(question_.asked.size(), std::size_t{2});
        QCOMPARE(readAll(logPath()).size(), 2 * 130);
    }

    void clickOnACoveredControlGoesNowhere() {
        QTest::mouseClick(view_.get(), Qt::LeftButton, {}, centre("nuova"));
        // estratto lies beneath numeri: a double-click on it, between the
        // blocks of cells, lands on the stars of the board and does nothing.
        const QPoint gap(5000 / 15, centre("estratto").y());
        QVERIFY(form_->controlAt({5000, centre("estratto").y() * 15})->name() == "Picture2");
        QTest::mouseDClick(view_.get(), Qt::LeftButton, {}, gap);
        QVERIFY(widget("numeri")->isVisible());
        QCOMPARE(qobject_cast<QLabel*>(widget("estratto"))->text(), QString());
    }
};

QTEST_MAIN(QtViewTest)
#include "test_qt_view.moc"
