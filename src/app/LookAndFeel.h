#pragma once

#include <QString>

namespace app {

// Process-wide look: Fusion style, a light palette and a few flat, light-bordered
// touches. Call once after the QApplication exists and before any window is created.
void applyLookAndFeel();

// Makes "Segoe UI" 9 pt the default font of the application, of message boxes
// and of menus when that family is installed; otherwise leaves every font alone.
void applyDefaultFont();

// Process-wide date formats (QDate/QDateTime::toString patterns).
QString defaultDateFormat(); // "dd.MM.yyyy"
QString dateTimeFormat();    // "dd.MM.yyyy hh:mm:ss"

} // namespace app
