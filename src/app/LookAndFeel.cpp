#include "LookAndFeel.h"

#include "FieldValue.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QPalette>
#include <QStringList>

namespace app {

namespace {

// Light palette that does not follow the desktop's colour scheme: the windows
// must look the same on every machine. Mid and Dark are kept pale because
// Fusion and the style sheet below draw borders with them.
QPalette lightPalette() {
    const QColor text(0x20, 0x20, 0x20);
    const QColor disabledText(0x9a, 0x9a, 0x9a);
    const QColor window(0xf0, 0xf0, 0xf0);
    const QColor highlight(0x2f, 0x66, 0xc4); // the blue of the application icon

    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xf7, 0xf7, 0xf7));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x8a, 0x8a, 0x8a));
    p.setColor(QPalette::Button, QColor(0xf5, 0xf5, 0xf5));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, QColor(0xf7, 0xf7, 0xf7));
    p.setColor(QPalette::Mid, QColor(0xdc, 0xdc, 0xdc));
    p.setColor(QPalette::Dark, QColor(0xc8, 0xc8, 0xc8));
    p.setColor(QPalette::Shadow, QColor(0xb0, 0xb0, 0xb0));
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, highlight);
    p.setColor(QPalette::LinkVisited, QColor(0x6a, 0x3d, 0xa8));
    p.setColor(QPalette::ToolTipBase, Qt::white);
    p.setColor(QPalette::ToolTipText, text);

    p.setColor(QPalette::Disabled, QPalette::WindowText, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Text, disabledText);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Base, window);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0xc8, 0xc8, 0xc8));
    p.setColor(QPalette::Disabled, QPalette::HighlightedText, text);
    // Keeps the selection readable when the grid loses focus.
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0xd6, 0xe2, 0xf5));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, text);
    return p;
}

// Only what the palette cannot say: flat header sections, grid and status-bar
// separators in the palette's light border colour, and a flat menu bar.
const char* const kStyleSheet = R"(
QHeaderView::section {
    background-color: palette(window);
    color: palette(window-text);
    border: none;
    border-right: 1px solid palette(mid);
    border-bottom: 1px solid palette(mid);
    padding: 3px 6px;
}
QTableCornerButton::section {
    background-color: palette(window);
    border: none;
    border-right: 1px solid palette(mid);
    border-bottom: 1px solid palette(mid);
}
QTableView {
    border: 1px solid palette(dark);
    gridline-color: palette(mid);
}
QStatusBar {
    border-top: 1px solid palette(mid);
}
QStatusBar::item {
    border: none;
    border-right: 1px solid palette(mid);
}
QMenuBar {
    background-color: palette(window);
    border-bottom: 1px solid palette(mid);
}
QMenuBar::item {
    background: transparent;
    padding: 3px 8px;
}
QMenuBar::item:selected, QMenuBar::item:pressed {
    background-color: #dbe6f7;
    color: palette(window-text);
}
)";

// QFontDatabase names a family that several foundries provide "Family [Foundry]".
bool isFamilyInstalled(const QString& family) {
    const QStringList families = QFontDatabase::families();
    for (const QString& installed : families) {
        if (installed.compare(family, Qt::CaseInsensitive) == 0 ||
            installed.startsWith(family + QStringLiteral(" ["), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

void applyLookAndFeel() {
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!application)
        return;
    // Setting the style resets the palette, so the palette comes after it.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(lightPalette());
    application->setStyleSheet(QString::fromLatin1(kStyleSheet));
}

void applyDefaultFont() {
    const QString family = QStringLiteral("Segoe UI");
    if (!isFamilyInstalled(family))
        return;
    const QFont font(family, 9);
    QApplication::setFont(font);
    QApplication::setFont(font, "QMessageBox");
    QApplication::setFont(font, "QMenu");
    QApplication::setFont(font, "QMenuBar");
}

// One definition for the whole process: the data layer formats dates as text with it too.
QString defaultDateFormat() { return fb::dateDisplayFormat(); }

QString dateTimeFormat() { return fb::dateTimeDisplayFormat(); }

} // namespace app
