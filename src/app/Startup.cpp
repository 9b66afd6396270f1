#include "Startup.h"

#include "LookAndFeel.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace app {

namespace {

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 72, 96, 128, 256})
        icon.addFile(QStringLiteral(":/icons/app-%1.png").arg(size), QSize(size, size));
    return icon;
}

#ifdef Q_OS_UNIX
int terminationPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(terminationPipe[1], &byte, 1);
}

// The client library takes SIGINT and SIGTERM at its first attach and then only drops the
// connections, leaving the program running without them. Taken back once connected, they
// end the program through its event loop, as closing the window does: the data module
// commits and detaches on the way out.
void quitOnTerminationSignals() {
    if (terminationPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, terminationPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte;
        [[maybe_unused]] const ssize_t got = ::read(terminationPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGINT, SIGHUP})
        sigaction(number, &action, nullptr);
}
#endif

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
#ifdef Q_OS_UNIX
    quitOnTerminationSignals(); // after connecting: the client library sets its own at the attach
#endif

    window.show();
    const int code = QApplication::exec();
    return code;
}

} // namespace app
