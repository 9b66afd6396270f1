#pragma once

#include "Startup.h"

#include <QTableView>
#include <QTimer>

namespace monitor {

// The monitor's additions to the frame: the log grid and its refresh timer.
class MonitorParts : public app::ProgramParts {
public:
    void formCreated(app::TMainF& window) override;

    QTableView* cxGrid1 = nullptr;
};

} // namespace monitor
