#include "OperationServices.h"

#include <QApplication>
#include <QCursor>

namespace console {

void ApplicationCursor::setWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The operation blocks the event loop next: let the menu close and the cursor reach the
    // screen first, without taking any input.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ApplicationCursor::restoreCursor() {
    QApplication::restoreOverrideCursor();
}

QString elapsedText(qint64 ms) {
    if (ms < 0)
        ms = 0;
    const qint64 hours = ms / 3600000;
    const int minutes = static_cast<int>(ms / 60000 % 60);
    const int seconds = static_cast<int>(ms / 1000 % 60);
    const int millis = static_cast<int>(ms % 1000);
    const QString rest = QStringLiteral("%1:%2:%3")
                             .arg(minutes, 2, 10, QLatin1Char('0'))
                             .arg(seconds, 2, 10, QLatin1Char('0'))
                             .arg(millis, 3, 10, QLatin1Char('0'));
    return hours > 0 ? QString::number(hours) + QLatin1Char(':') + rest : rest;
}

} // namespace console
