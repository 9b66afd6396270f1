#pragma once

#include <QString>

namespace monitor {

class LogGrid;

// For end-to-end checks of the running program: when VANTREL_ROWS_DUMP names a file, each
// refresh writes the rows the grid shows there, in the grid's order, one line a row:
// LOG_ID, LOG_MSG and LOG_TS separated by tabs. Nothing the operator sees changes.
class RowsDump {
public:
    RowsDump();
    bool enabled() const { return !path_.isEmpty(); }
    void write(const LogGrid& grid) const;

private:
    QString path_;
};

} // namespace monitor
