// The Qt backend drawn offscreen: the widget tree must mirror the model and
// follow its changes, and real mouse and keyboard input must reach the form
// raw, so that the rules the core decides are the ones the user meets.
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "board/tabellone.h"
#include "forms/posix/posix_files.h"
#include "forms/qt/qt_form_view.h"
#include "forms/qt/qt_platform.h"

namespace {

struct Fakes : forms::Question, forms::FatalReport, forms::Random, forms::Clock, forms::AppFolder {
    Answer ask(const std::string& /*prompt*/, const std::string& /*title*/) override {
        ++questions;
        return Answer::Yes;
    }
    void report(const std::string& message) override { reports.push_back(message); }
    void reseed() override {}
    float next() override { return 0.0F; }  // always number 1
    forms::LocalTime now() override { return {2026, 3, 7, 9, 5, 3}; }
    forms::NativePath path() override { return folder; }
    int questions = 0;
    std::vector<std::string> reports;
    std::string folder;
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class QtViewTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    Fakes fakes_;
    forms::PosixFileSystem files_;
    std::unique_ptr<board::Tabellone> game_;
    std::unique_ptr<qtforms::QtFormView> view_;

    forms::Control& control(const char* name, int index = -1) const {
        return game_->form().control(name, index);
    }
    QWidget* widget(const char* name, int index = -1) const {
        return view_->widgetFor(control(name, index));
    }
    QPoint centre(const char* name, int index = -1) const {
        return view_->pixelRect(control(name, index)).center();
    }
    QWidget* focusedWidget() const {
        forms::Control* c = game_->form().focus();
        return c != nullptr ? view_->widgetFor(*c) : view_.get();
    }
    QByteArray log() const { return readAll(dir_.filePath(QStringLiteral("logSorvina.txt"))); }

  private slots:
    void initTestCase() { qtforms::registerEmbeddedFonts(); }

    void init() {
        fakes_ = {};
        fakes_.folder = dir_.path().toStdString();
        QFile::remove(dir_.filePath(QStringLiteral("logSorvina.txt")));
        game_ = std::make_unique<board::Tabellone>(
            board::Services{fakes_, fakes_, fakes_, fakes_, fakes_, files_});
        view_ = std::make_unique<qtforms::QtFormView>(game_->form());
        game_->form().load();
        view_->show();
        QVERIFY(QTest::qWaitForWindowActive(view_.get()));
        QTRY_VERIFY(!widget("estrai")->isEnabled());
    }

    void cleanup() {
        view_->close();
        view_.reset();
        game_.reset();
    }

    void theWidgetTreeMirrorsTheModel() {
        QCOMPARE(view_->size(), QSize(865, 678));
        QCOMPARE(view_->windowTitle(), QStringLiteral("TABELLONE DELLA SORVINA"));
        for (forms::Control* c : game_->form().controls()) {
            QWidget* w = view_->widgetFor(*c);
            QCOMPARE(QRect(w->mapTo(view_.get(), QPoint(0, 0)), w->size()), view_->pixelRect(*c));
        }
        QCOMPARE(widget("num", 5)->geometry(), QRect(380, 32, 55, 55));  // worked out by hand
        auto* cell = qobject_cast<QLineEdit*>(widget("num", 41));
        QCOMPARE(cell->text(), QStringLiteral("42"));
        QCOMPARE(cell->palette().color(QPalette::Base), QColor(0, 192, 192));
        QCOMPARE(cell->font().family(), QStringLiteral("Comic Neue"));
        QCOMPARE(cell->font().pixelSize(), 29);  // 21.75 pt at 96 dpi
        QCOMPARE(qobject_cast<QLabel*>(widget("Label2"))->font().family(),
                 QStringLiteral("Liberation Sans"));
        auto* title = qobject_cast<QLabel*>(widget("Label1"));
        QCOMPARE(title->text(), QStringLiteral("Numeri Estratti della Sorvina"));
        QCOMPARE(title->palette().color(QPalette::WindowText), QColor(255, 255, 0));
        QCOMPARE(qobject_cast<QAbstractButton*>(widget("nuova"))->text(), QStringLiteral("Nuova"));

        forms::Control& model = control("num", 41);
        model.setBackColor(forms::rgb(255, 255, 0));
        model.setFontSize(model.fontSize() + 6.0F);
        model.setFontBold(true);
        QCOMPARE(cell->palette().color(QPalette::Base), QColor(255, 255, 0));
        QCOMPARE(cell->font().pixelSize(), 37);  // 27.75 pt
        QVERIFY(cell->font().bold());
        control("numeri").setVisible(false);
        QVERIFY(!widget("numeri")->isVisible() && widget("estratto")->isVisible());
    }

    // The mouse: a button is drawn down while the form holds it; a round is
    // played; the big number is drawn where the board was.
    void theMousePlaysARound() {
        auto* nuova = qobject_cast<QAbstractButton*>(widget("nuova"));
        QTest::mousePress(view_.get(), Qt::LeftButton, {}, centre("nuova"));
        QVERIFY(nuova->isDown());
        QTest::mouseRelease(view_.get(), Qt::LeftButton, {}, centre("nuova"));
        QVERIFY(!nuova->isDown());
        QCOMPARE(fakes_.questions, 1);

        QTest::mouseDClick(view_.get(), Qt::LeftButton, {}, centre("num", 4));
        auto* big = qobject_cast<QLabel*>(widget("estratto"));
        QCOMPARE(big->text(), QStringLiteral("05"));
        QCOMPARE(big->font().pixelSize(), 307);  // 230.25 pt
        QCOMPARE(view_->grab().toImage().pixelColor(centre("estratto") + QPoint(0, 180)),
                 QColor(255, 0, 0));
        QCOMPARE(QApplication::focusWidget(), view_.get());
        QTest::mouseDClick(view_.get(), Qt::LeftButton, {}, centre("estratto"));
        QVERIFY(widget("numeri")->isVisible());
        QCOMPARE(log().size(), 130 + 7);
    }

    // The keyboard, whichever widget holds the focus: Tab walks the form's
    // order, Enter presses the focused button, and the native focus follows
    // the form's at every step.
    void theKeyboardPlaysARound() {
        QTest::keyClick(view_.get(), Qt::Key_Tab);  // nuova is first in the tab order
        QCOMPARE(QApplication::focusWidget(), widget("nuova"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(fakes_.questions, 1);
        while (game_->form().focus() != &control("estrai")) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), focusedWidget());
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // a draw: number 1
        QCOMPARE(qobject_cast<QLabel*>(widget("estratto"))->text(), QStringLiteral("01"));
        QCOMPARE(QApplication::focusWidget(), view_.get());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // closes the big number
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // does nothing
        QVERIFY(widget("numeri")->isVisible());
        QCOMPARE(fakes_.questions, 1);
        QVERIFY(log().endsWith("\"1\r\n\"\r\n"));
        QCOMPARE(log().size(), 130 + 7);
    }
};

QTEST_MAIN(QtViewTest)
#include "test_qt_view.moc"
