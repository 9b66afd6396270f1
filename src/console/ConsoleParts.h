#pragma once

#include "Startup.h"

#include <QAction>
#include <QMenu>

namespace console {

// The console's additions to the frame: the menu bar with the processing menu and exit.
class ConsoleParts : public app::ProgramParts {
public:
    void formCreated(app::TMainF& window) override;
    void startupFailed(app::TMainF& window) override;

    QMenu* N8 = nullptr;   // "Обработки"
    QAction* N2 = nullptr; // "&Изход"
};

} // namespace console
