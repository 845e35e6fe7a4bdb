#include "forms/qt/qt_platform.h"

#include <QApplication>
#include <QDirIterator>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "forms/geometry.h"

namespace qtforms {

void registerEmbeddedFonts() {
    QDirIterator it(QStringLiteral(":/fonts"));
    while (it.hasNext()) {
        QFontDatabase::addApplicationFont(it.next());
    }
}

forms::Question::Answer QtQuestion::ask(const std::string& prompt, const std::string& title) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(prompt), QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    box.button(QMessageBox::Yes)->setText(QString::fromUtf8(forms::kYesText));
    box.button(QMessageBox::No)->setText(QString::fromUtf8(forms::kNoText));
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
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtFatalReport::report(const std::string& message) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(forms::kErrorTitle),
                    QString::fromStdString(message), QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QString::fromUtf8(forms::kOkText));
    box.exec();
    QCoreApplication::exit(1);
}

}  // namespace qtforms
