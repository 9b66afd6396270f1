#include "RowsDump.h"

#include "LogGrid.h"

#include <QSaveFile>

namespace monitor {

RowsDump::RowsDump() : path_(qEnvironmentVariable("VANTREL_ROWS_DUMP")) {}

void RowsDump::write(const LogGrid& grid) const {
    if (!enabled())
        return;
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        return;
    const int rows = grid.view()->model() ? grid.view()->model()->rowCount() : 0;
    for (int row = 0; row < rows; ++row) {
        QString line = grid.text(row, QStringLiteral("LOG_ID")) + QLatin1Char('\t') +
                       grid.text(row, QStringLiteral("LOG_MSG")).replace(QLatin1Char('\n'), QLatin1Char(' ')) +
                       QLatin1Char('\t') + grid.text(row, QStringLiteral("LOG_TS")) + QLatin1Char('\n');
        file.write(line.toUtf8());
    }
    file.commit();
}

} // namespace monitor
