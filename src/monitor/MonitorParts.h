#pragma once

#include "LogGrid.h"
#include "RowsDump.h"
#include "Startup.h"

#include <QTimer>

namespace monitor {

// The monitor's additions to the frame: the log grid over the data module's log dataset and
// the timer that re-reads the log every two seconds.
class MonitorParts : public app::ProgramParts {
public:
    static constexpr int kRefreshInterval = 2000;

    void formCreated(app::TMainF& window) override;
    void dataModuleCreated(app::TMainF& window) override;

    // The refresh tick: while connected, reopen the log within the default transaction with
    // the newest line first. Failures are dropped (the grid is then empty until a later tick
    // succeeds); pending window events are processed in every case.
    void аTimerTimer();

    LogGrid* cxGrid1 = nullptr;
    QTimer* аTimer = nullptr;

private:
    app::TMainF* window_ = nullptr;
    RowsDump rowsDump_;
};

} // namespace monitor
