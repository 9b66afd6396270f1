#pragma once

#include "MainWindow.h"

namespace app {

// What one program adds to the shared frame.
class ProgramParts {
public:
    virtual ~ProgramParts() = default;
    // After the window is created, before the data module: menus, grid, timer.
    virtual void formCreated(TMainF&) {}
    // After the data module was created and opened, or failed (window.DM is then absent).
    virtual void dataModuleCreated(TMainF&) {}
    // The connection could not be made at start-up.
    virtual void startupFailed(TMainF&) {}
};

// Creates the window and the data module and connects. A failure is recorded in status
// panel 2 only; the program then runs without a database.
void createAndConnect(TMainF& window, ProgramParts& parts, const fb::ConnectionSettings& settings);

// The whole start-up sequence; returns the event loop's exit code.
int runProgram(const ProgramInfo& info, ProgramParts& parts, int argc, char** argv);

// Process-wide settings made before any window: look-and-feel, Bulgarian standard buttons,
// fonts, icon. Needs the QApplication.
void applyProcessSettings(const QString& title);

} // namespace app
