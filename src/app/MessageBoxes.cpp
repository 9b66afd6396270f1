#include "MessageBoxes.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace app {

namespace {

int run(QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons,
        QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, QApplication::applicationName(), displayText(text), buttons);
    box.setDefaultButton(defaultButton);
    box.setTextFormat(Qt::PlainText);
    // Parentless: the box is centred on the screen, not on a window.
    box.adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = box.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        box.move(frame.topLeft());
    }
    return box.exec();
}

} // namespace

QString displayText(const QString& text) {
    QString shown = text;
    // The client library's texts break their lines with CR LF: one break, not two.
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

bool QtMessageBoxes::confirm(const QString& text) {
    return run(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

void QtMessageBoxes::information(const QString& text) {
    run(QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtMessageBoxes::plain(const QString& text) { run(QMessageBox::NoIcon, text, QMessageBox::Ok, QMessageBox::Ok); }

} // namespace app
