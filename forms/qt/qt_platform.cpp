#include "forms/qt/qt_platform.h"

#include <QApplication>
#include <QDirIterator>
#include <QFontDatabase>
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
