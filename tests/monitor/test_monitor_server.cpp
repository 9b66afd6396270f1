// The monitor when its database server goes away or is not there: each case runs a Firebird
// server of its own, never the shared test server.

#include "MonitorHarness.h"
#include "Startup.h"
#include "TestDb.h"

#include <QDir>
#include <QHeaderView>
#include <QTcpServer>
#include <QtTest>

using monitortest::Monitor;
using monitortest::PrivateServer;

namespace {

QString privateRoot(const QString& name) {
    const QString root = testdb::serverRoot() + QStringLiteral("/../monitor-") + name;
    QDir().mkpath(root);
    return QDir(root).canonicalPath();
}

int freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A notary database with a few log lines on the server at `port`.
QString createLogDatabase(const QString& root, int port) {
    const QString name = QStringLiteral("127.0.0.1/%1:%2/monitor.fdb").arg(port).arg(root);
    QFile::remove(root + QStringLiteral("/monitor.fdb"));
    monitortest::createDatabaseOn(name);
    monitortest::execOn(
        name, {
                  QStringLiteral("create table FIRMA (ID integer, NAME varchar(100), GRAD varchar(50))"),
                  QStringLiteral("insert into FIRMA values (4711, 'Нотариус', 'Пловдив')"),
                  QStringLiteral(
                      "create table EURO_LOG (LOG_ID integer not null primary key, LOG_MSG varchar(4000), "
                      "LOG_TS timestamp)"),
                  QStringLiteral("insert into EURO_LOG values (1, 'първи', current_timestamp)"),
                  QStringLiteral("insert into EURO_LOG values (2, 'втори', current_timestamp)"),
              });
    return name;
}

} // namespace

class MonitorServerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { app::applyProcessSettings(QStringLiteral("Vantrel")); }
    void serverStoppedWhileRunning();
    void startedUnreachableThenServerStarted();
};

void MonitorServerTest::serverStoppedWhileRunning() {
    PrivateServer server(privateRoot(QStringLiteral("stopped")));
    const int port = server.start();
    QVERIFY(port > 0);
    const QString name = createLogDatabase(server.root(), port);
    {
        Monitor m(name);
        QVERIFY(m.window.bConnected2DB);
        QCOMPARE(m.ids(), (QList<qint64>{2, 1}));
        m.tick();
        QCOMPARE(m.rows(), 2);

        server.stop();
        bool eventsRan = false;
        QTimer::singleShot(0, &m.window, [&] { eventsRan = true; });
        m.tick();
        QCOMPARE(m.rows(), 0);
        QCOMPARE(m.footer(), QStringLiteral("0"));
        QVERIFY(eventsRan); // the tick returned and let the window work
        m.tick();
        QCOMPARE(m.rows(), 0);
        QVERIFY(m.window.bConnected2DB);
        QVERIFY(m.boxes.shown.isEmpty());
    } // closing the window with the server gone must not fail either
}

void MonitorServerTest::startedUnreachableThenServerStarted() {
    const int port = freePort();
    PrivateServer server(privateRoot(QStringLiteral("late")));
    const QString name = QStringLiteral("127.0.0.1/%1:%2/monitor.fdb").arg(port).arg(server.root());
    Monitor m(name);
    QCOMPARE(m.window.connectionAttempts, 2);
    QVERIFY(!m.window.DM);
    QVERIFY(!m.window.bConnected2DB);
    QCOMPARE(m.window.windowTitle(), QStringLiteral("Vantrel"));
    QCOMPARE(m.window.statusText(2), QStringLiteral("Not Connected to DB"));
    QCOMPARE(m.grid().view()->horizontalHeader()->count(), 3);
    QCOMPARE(m.rows(), 0);

    QCOMPARE(server.start(port), port);
    QCOMPARE(createLogDatabase(server.root(), port), name);
    m.tick();
    m.tick();
    QCOMPARE(m.rows(), 0);
    QCOMPARE(m.window.connectionAttempts, 2);
    QVERIFY(m.boxes.shown.isEmpty());
}

QTEST_MAIN(MonitorServerTest)
#include "test_monitor_server.moc"
