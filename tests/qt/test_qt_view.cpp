// SPDX-License-Identifier: MIT
// The Qt backend drawn offscreen: what the end-to-end suite cannot read off
// the screen. The widget tree mirrors the model's texts and fonts and
// follows their changes; a button held by the mouse is drawn down.
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "board/tabellone.h"
#include "forms/qt/qt_form_view.h"
#include "forms/qt/qt_platform.h"
#include "platform/posix/posix_files.h"

namespace {

struct Fakes : platform::Question,
               platform::FatalReport,
               platform::Random,
               platform::Clock,
               platform::AppFolder {
    Answer ask(const std::string& /*prompt*/, const std::string& /*title*/) override {
        return Answer::Yes;
    }
    void report(const std::string& message) override { reports.push_back(message); }
    float next() override { return 0.0F; }  // always number 1
    platform::LocalTime now() override { return {2026, 3, 7, 9, 5, 3}; }
    platform::NativePath path() override { return folder; }
    std::vector<std::string> reports;
    std::string folder;
};

}  // namespace

class QtViewTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    Fakes fakes_;
    platform::PosixFileSystem files_;
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

  private slots:
    void initTestCase() { qtforms::registerEmbeddedFonts(); }

    void init() {
        fakes_ = {};
        fakes_.folder = dir_.path().toStdString();
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

    // Text, colours and fonts as the model gives them, and as it changes
    // them; a cell's place inside its container, worked out by hand.
    void theWidgetTreeMirrorsTheModel() {
        QCOMPARE(widget("num", 5)->geometry(), QRect(380, 32, 55, 55));
        auto* cell = qobject_cast<QLineEdit*>(widget("num", 41));
        QCOMPARE(cell->text(), QStringLiteral("42"));
        QCOMPARE(cell->font().family(), QStringLiteral("Comic Neue"));
        QCOMPARE(cell->font().pixelSize(), 29);  // 21.75 pt at 96 dpi
        QCOMPARE(qobject_cast<QLabel*>(widget("Label2"))->font().family(),
                 QStringLiteral("Liberation Sans"));
        auto* title = qobject_cast<QLabel*>(widget("Label1"));
        QCOMPARE(title->text(), QStringLiteral("Numeri Estratti della Sorvina"));
        QCOMPARE(title->palette().color(QPalette::WindowText), QColor(255, 255, 0));
        QCOMPARE(qobject_cast<QAbstractButton*>(widget("nuova"))->text(), QStringLiteral("Nuova"));

        forms::Control& model = control("num", 41);
        model.setFontSize(model.fontSize() + 6.0F);
        model.setFontBold(true);
        QCOMPARE(cell->font().pixelSize(), 37);  // 27.75 pt
        QVERIFY(cell->font().bold());
    }

    // A button is drawn down while the mouse holds it, and up once let go.
    void theMouseReachesTheFormRaw() {
        auto* nuova = qobject_cast<QAbstractButton*>(widget("nuova"));
        QTest::mousePress(view_.get(), Qt::LeftButton, {}, centre("nuova"));
        QVERIFY(nuova->isDown());
        QTest::mouseRelease(view_.get(), Qt::LeftButton, {}, centre("nuova"));
        QVERIFY(!nuova->isDown());
    }
};

QTEST_MAIN(QtViewTest)
#include "test_qt_view.moc"
