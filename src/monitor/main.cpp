#include "MonitorParts.h"

int main(int argc, char** argv) {
    monitor::MonitorParts parts;
    return app::runProgram({QStringLiteral("Vantrel"), QStringLiteral(APP_FILE_VERSION), fb::ProgramKind::Monitor},
                           parts, argc, argv);
}
