#include "MonitorHarness.h"

#include "FbClient.h"
#include "Statement.h"
#include "TestDb.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <ibase.h>

namespace monitortest {


Monitor::Monitor(const QString& databaseName, bool show)
    : window({QStringLiteral("Vantrel"), QStringLiteral("2.25.12.6"), fb::ProgramKind::Monitor}, boxes) {
    parts.formCreated(window);
    parts.аTimer->stop();
    app::createAndConnect(window, parts, testdb::settingsFor(databaseName));
    if (show) {
        window.show();
        settle();
    }
}

Monitor::~Monitor() = default;

void Monitor::settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QTest::qWait(10);
    }
}

QList<qint64> Monitor::ids() const {
    QList<qint64> ids;
    for (int row = 0; row < rows(); ++row)
        ids << grid().text(row, QStringLiteral("LOG_ID")).toLongLong();
    return ids;
}

int PrivateServer::start(int port) {
    QProcess script;
    script.start(qEnvironmentVariable("FB_SERVER_SCRIPT"),
                 {QStringLiteral("start"), root_, port > 0 ? QString::number(port) : QStringLiteral("auto")});
    if (!script.waitForFinished(60000) || script.exitCode() != 0)
        return 0;
    running_ = true;
    return script.readAllStandardOutput().trimmed().toInt();
}

void PrivateServer::stop() {
    if (!running_)
        return;
    QProcess script;
    script.start(qEnvironmentVariable("FB_SERVER_SCRIPT"), {QStringLiteral("stop"), root_});
    script.waitForFinished(60000);
    running_ = false;
}

} // namespace monitortest
