#pragma once

#include "OperationServices.h"
#include "Operations.h"
#include "Startup.h"

#include <QAction>
#include <QMenu>

namespace console {

// The console's additions to the frame: the menu bar with the processing menu and exit,
// and the handlers of the four operations.
class ConsoleParts : public app::ProgramParts {
public:
    void formCreated(app::TMainF& window) override;
    void startupFailed(app::TMainF& window) override;

    // Handlers of the processing menu.
    void N20181Click(); // 1.
    void N4Click();     // 2.1.
    void N5Click();     // 2.2.
    void N31Click();    // 3.

    QMenu* N8 = nullptr;   // "Обработки"
    QAction* N2 = nullptr; // "&Изход"
    QAction* N1 = nullptr;
    QAction* N3 = nullptr; // separator
    QAction* N4 = nullptr;
    QAction* N5 = nullptr;
    QAction* N7 = nullptr; // separator
    QAction* N31 = nullptr;

    // What the operations use besides the data module; tests may put their own in.
    CursorControl* cursor = &applicationCursor_;
    Stopwatch* stopwatch = &monotonicStopwatch_;
    ReportLoader::Clock backupClock = &QDateTime::currentDateTime;

private:
    void runOperation(OperationId id, QAction* item);

    app::TMainF* window_ = nullptr;
    ApplicationCursor applicationCursor_;
    MonotonicStopwatch monotonicStopwatch_;
};

} // namespace console
