#include "ConsoleParts.h"

int main(int argc, char** argv) {
    console::ConsoleParts parts;
    return app::runProgram({QStringLiteral("Corvane"), QStringLiteral(APP_FILE_VERSION), fb::ProgramKind::Console},
                           parts, argc, argv);
}
