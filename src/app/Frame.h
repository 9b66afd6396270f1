#pragma once

#include <QString>

namespace app {

// Left edge of a block of width `blockWidth` centred in a window of outer width
// `outerWidth` (8 pixels of frame allowed for); integer division truncating toward zero.
constexpr int logoLeft(int outerWidth, int blockWidth) { return (outerWidth - blockWidth - 8) / 2; }
// Top edge likewise, allowing 80 pixels for caption, menu and status bar.
constexpr int logoTop(int outerHeight, int blockHeight) { return (outerHeight - blockHeight - 80) / 2; }
// Width of each of the four status panels.
constexpr int statusPanelWidth(int clientWidth) { return clientWidth / 4; }

// True when a new file can be created in `folder`: creates "chk.tmp" exclusively (never
// opening, truncating or removing an existing one) and removes it at once.
bool CanWriteToFolder(const QString& folder);

// The version label's text: a notice line, one CR, "Версия: " and the file version.
QString versionLabelText(const QString& fileVersion);

} // namespace app
