#include "Startup.h"

#include "LookAndFeel.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

namespace app {

namespace {

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 72, 96, 128, 256})
        icon.addFile(QStringLiteral(":/icons/app-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

void applyProcessSettings(const QString& title) {
    applyLookAndFeel();
    // Qt's own Bulgarian texts for the standard buttons ("&Да", "&Не", "Добре", "Отказ").
    auto* translator = new QTranslator(qApp);
    if (translator->load(QStringLiteral("qtbase_bg"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    applyDefaultFont();
    QApplication::setApplicationName(title);
    QApplication::setWindowIcon(applicationIcon());
    QGuiApplication::setDesktopFileName(title.toLower());
}

void createAndConnect(TMainF& window, ProgramParts& parts, const fb::ConnectionSettings& settings) {
    try {
        window.DM = std::make_unique<fb::TDM>(window.info().kind, window, settings);
        window.DM->IBD.Open();
    } catch (const std::exception&) {
        window.setStatusText(2, QStringLiteral("Not Connected to DB"));
        parts.startupFailed(window);
    }
    parts.dataModuleCreated(window);
}

int runProgram(const ProgramInfo& info, ProgramParts& parts, int argc, char** argv) {
    QApplication application(argc, argv);
    applyProcessSettings(info.title);

    QtMessageBoxes boxes;
    TMainF window(info, boxes);
    parts.formCreated(window);
    createAndConnect(window, parts, fb::ConnectionSettings::fromProcess());

    window.show();
    const int code = QApplication::exec();
    return code;
}

} // namespace app
