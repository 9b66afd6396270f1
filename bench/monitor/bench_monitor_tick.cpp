// Vantrel's refresh tick at 1,000 / 10,000 / 100,000 log lines, against
//  (a) the floor: the same statement prepared and every row fetched through the data layer's
//      Statement, nothing kept;
//  (b) what a Qt developer would write: QSqlQueryModel on the QIBASE driver in a QTableView,
//      all rows fetched and resizeRowsToContents();
//  (c) peak memory (VmHWM) of a running Vantrel process.
// Runs a Firebird server of its own (scripts/fb-server.sh) and stops it at the end.
//
//   bench_monitor_tick [SIZES...]     e.g. bench_monitor_tick 1000 10000 100000

#include "TestDb.h"
#include "DataModule.h"
#include "MainWindow.h"
#include "MonitorParts.h"
#include "Startup.h"

#include "FbClient.h"
#include "Statement.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <ibase.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

// The statement every tick runs.
QString selectText() {
    return fb::TDM::kLogSelectOrdered;
}
const QByteArray kReadCommitted = testdb::readCommittedTpb();

void exec(const QString& database, const QStringList& statements) {
    for (const QString& sql : statements) {
        try {
            testdb::execOn(database, {sql});
        } catch (const fb::DbError& e) {
            throw fb::DbError(e.message() + QStringLiteral("\r\nin: ") + sql.left(80));
        }
    }
}

void createDatabase(const QString& database) { testdb::createDatabase(database); }

// Log lines as the changeover procedures write them: Bulgarian text of 40 to 200 characters.
QString fillStatement(int from, int to) {
    return QStringLiteral(
               "execute block as "
               "declare i integer = %1; declare s varchar(400); declare k integer; declare len integer; "
               "begin "
               "  while (i < %2) do begin "
               "    len = 40 + mod(i * 37, 161); s = ''; k = i; "
               "    while (char_length(s) < len) do begin "
               "      s = s || decode(mod(k, 9), 0, 'Таблица ', 1, 'ФАКТУРИ: ', 2, 'превалутирани ', 3, "
               "'суми ', "
               "           4, 'в евро, ', 5, 'ред ', 6, 'изключен тригер ', 7, 'по курс 1,95583 ', 8, 'лева; "
               "') "
               "           || (mod(k * 7, 1000)) || ' '; "
               "      k = k * 31 + 7; k = mod(k, 100003); "
               "    end "
               "    insert into EURO_LOG (LOG_MSG) values (left(: s, : len)); "
               "    i = i + 1; "
               "  end "
               "end")
        .arg(from)
        .arg(to);
}

qint64 cpuNow() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

double medianMs(std::vector<qint64> ns) {
    std::sort(ns.begin(), ns.end());
    return ns[ns.size() / 2] / 1e6;
}

double timeRuns(int runs, const std::function<void()>& run) {
    std::vector<qint64> ns;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        run();
        ns.push_back(t.nsecsElapsed());
    }
    return medianMs(ns);
}

class SilentBoxes : public app::MessageBoxes {
public:
    bool confirm(const QString&) override { return false; }
    void information(const QString&) override {}
    void plain(const QString&) override {}
};

// The floor: prepare anew, execute, fetch every row and touch every column.
qint64 rawFetch(fb::Transaction& transaction) {
    fb::Statement statement(transaction, selectText());
    statement.execute(transaction);
    qint64 bytes = 0;
    while (statement.fetch())
        for (int c = 0; c < statement.columnCount(); ++c)
            bytes += statement.column(c).size();
    return bytes;
}

qint64 peakMemoryKb(const QString& database, QString* log) {
    QTemporaryDir folder;
    QProcess vantrel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    vantrel.setProcessEnvironment(env);
    vantrel.setWorkingDirectory(folder.path());
    vantrel.start(QStringLiteral(VANTREL_PATH), {database});
    if (!vantrel.waitForStarted())
        return -1;
    QThread::msleep(7000); // start-up and three refresh ticks
    qint64 kb = -1;
    QFile status(QStringLiteral("/proc/%1/status").arg(vantrel.processId()));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                kb = line.mid(6).trimmed().split(' ').first().toLongLong();
    vantrel.kill();
    vantrel.waitForFinished();
    if (log)
        *log = QString::fromLocal8Bit(vantrel.readAllStandardError()).trimmed();
    return kb;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    app::applyProcessSettings(QStringLiteral("Vantrel"));

    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(QByteArray(argv[i]).toInt());
    if (sizes.empty())
        sizes = {1000, 10000, 100000};

    const QString root = QStringLiteral(BENCH_ROOT);
    QDir().mkpath(root);
    QProcess server;
    server.start(QStringLiteral(FB_SERVER_SCRIPT), {QStringLiteral("start"), root, QStringLiteral("auto")});
    server.waitForFinished(60000);
    const int port = server.readAllStandardOutput().trimmed().toInt();
    if (server.exitCode() != 0 || port == 0) {
        std::fprintf(stderr, "cannot start the benchmark's server: %s\n",
                     server.readAllStandardError().constData());
        return 1;
    }
    auto stopServer = [&] {
        QProcess stop;
        stop.start(QStringLiteral(FB_SERVER_SCRIPT), {QStringLiteral("stop"), root});
        stop.waitForFinished(60000);
    };

    int code = 0;
    try {
        const QString path = QDir(root).canonicalPath() + QStringLiteral("/bench.fdb");
        const QString database = QStringLiteral("127.0.0.1/%1:%2").arg(port).arg(path);
        QFile::remove(path);
        createDatabase(database);
        exec(database,
             {
                 QStringLiteral("create table FIRMA (ID integer, NAME varchar(100), GRAD varchar(50))"),
                 QStringLiteral("insert into FIRMA values (4711, 'Нотариус', 'Пловдив')"),
                 QStringLiteral("create sequence GEN_EURO_LOG_ID"),
                 QStringLiteral(
                     "create table EURO_LOG (LOG_ID integer not null primary key, LOG_MSG varchar(4000), "
                     "LOG_TS timestamp)"),
                 QStringLiteral("create trigger EURO_LOG_BI for EURO_LOG before insert as begin "
                                "if (new.LOG_ID is null) then new.LOG_ID = next value for GEN_EURO_LOG_ID; "
                                "if (new.LOG_TS is null) then new.LOG_TS = cast('NOW' as timestamp); end"),
             });

        QSqlDatabase peerDb = QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), QStringLiteral("peer"));
        peerDb.setDatabaseName(database);
        peerDb.setUserName(QStringLiteral("SYSDBA"));
        peerDb.setPassword(QStringLiteral("plumdrake"));
        peerDb.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=WIN1251"));
        if (!peerDb.open())
            throw std::runtime_error(peerDb.lastError().text().toStdString());

        const QSize windowSize(1200, 760);
        std::printf("%-8s %9s %9s %9s %8s %8s %11s %11s %11s %11s %9s %9s\n", "lines", "floor ms", "tick ms",
                    "peer ms", "tick/fl", "tick/pr", "floor cpu", "tick cpu", "msgsort ms", "filter ms",
                    "stall ms", "HWM MiB");
        int filled = 0;
        for (int lines : sizes) {
            for (int from = filled; from < lines; from += 20000)
                exec(database, {fillStatement(from, std::min(lines, from + 20000))});
            filled = std::max(filled, lines);
            const int runs = lines >= 100000 ? 5 : lines >= 10000 ? 9 : 15;

            fb::Attachment attachment(database.toLocal8Bit(), testdb::loginBuffer(QStringLiteral("WIN1251"), false), fb::TextCodec());
            fb::Transaction transaction(attachment, kReadCommitted);

            // The monitor in its real window.
            SilentBoxes boxes;
            app::TMainF window({QStringLiteral("Vantrel"), QStringLiteral("0"), fb::ProgramKind::Monitor},
                               boxes);
            monitor::MonitorParts parts;
            parts.formCreated(window);
            parts.аTimer->stop();
            fb::ConnectionSettings settings;
            settings.arguments = {database};
            app::createAndConnect(window, parts, settings);
            window.show();
            window.resize(windowSize);
            for (int i = 0; i < 5; ++i)
                QApplication::processEvents();

            // The peer a Qt developer would write.
            QTableView peerView;
            peerView.setWordWrap(true);
            peerView.verticalHeader()->hide();
            peerView.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            QSqlQueryModel peerModel;
            peerView.setModel(&peerModel);
            peerView.resize(windowSize);
            peerView.show();
            auto peerRefresh = [&] {
                peerModel.setQuery(QSqlQuery(selectText(), peerDb));
                while (peerModel.canFetchMore())
                    peerModel.fetchMore();
                peerView.setColumnWidth(0, 90);
                peerView.setColumnWidth(1, 900);
                peerView.setColumnWidth(2, 180);
                peerView.resizeRowsToContents();
                QApplication::processEvents();
            };

            // Warm-up, and a check that both show every line.
            rawFetch(transaction);
            parts.аTimerTimer();
            peerRefresh();
            if (parts.cxGrid1->model()->rowCount() != lines || peerModel.rowCount() != lines)
                throw std::runtime_error("not every line was shown");

            // Interleaved, so that a busy machine weighs on all three alike.
            // Also this process's CPU time: the server's share (sorting, sending) is left out, and a
            // busy machine disturbs it less than the wall clock.
            std::vector<qint64> floorNs, tickNs, peerNs, floorCpuNs, tickCpuNs;
            auto timed = [](std::vector<qint64>& into, std::vector<qint64>* cpuInto,
                            const std::function<void()>& run) {
                const qint64 cpu0 = cpuNow();
                QElapsedTimer t;
                t.start();
                run();
                into.push_back(t.nsecsElapsed());
                if (cpuInto)
                    cpuInto->push_back(cpuNow() - cpu0);
            };
            for (int i = 0; i < runs; ++i) {
                timed(floorNs, &floorCpuNs, [&] { rawFetch(transaction); });
                timed(tickNs, &tickCpuNs, [&] { parts.аTimerTimer(); });
                if (i % 3 == 0)
                    timed(peerNs, nullptr, peerRefresh);
            }
            peerModel.clear();
            const double floorMs = medianMs(floorNs), tickMs = medianMs(tickNs), peerMs = medianMs(peerNs);
            const double floorCpuMs = medianMs(floorCpuNs), tickCpuMs = medianMs(tickCpuNs);

            // The window between ticks: the real timer runs for three ticks while a 20 ms heartbeat
            // measures the longest time the event loop did not answer.
            qint64 longestStallNs = 0;
            {
                QElapsedTimer sinceBeat;
                sinceBeat.start();
                QTimer heartbeat;
                QObject::connect(&heartbeat, &QTimer::timeout, [&] {
                    longestStallNs = std::max(longestStallNs, sinceBeat.nsecsElapsed());
                    sinceBeat.restart();
                });
                heartbeat.start(20);
                parts.аTimer->start();
                QEventLoop loop;
                QTimer::singleShot(3 * monitor::MonitorParts::kRefreshInterval + 500, &loop,
                                   &QEventLoop::quit);
                loop.exec();
                parts.аTimer->stop();
            }

            // The operator's own sort and filter: what they add to a tick.
            QTableView* view = parts.cxGrid1->view();
            view->sortByColumn(1, Qt::AscendingOrder);
            const double sortedTickMs = timeRuns(std::max(3, runs / 3), [&] { parts.аTimerTimer(); });
            view->sortByColumn(0, Qt::DescendingOrder);
            parts.cxGrid1->filterEdit()->setText(QStringLiteral("евро"));
            const double filteredTickMs = timeRuns(std::max(3, runs / 3), [&] { parts.аTimerTimer(); });
            parts.cxGrid1->filterEdit()->clear();
            window.close();
            peerView.close();

            QString vantrelLog;
            const qint64 hwm = peakMemoryKb(database, &vantrelLog);
            std::printf("%-8d %9.1f %9.1f %9.1f %8.2f %8.3f %11.1f %11.1f %11.1f %11.1f %9.1f %9.1f\n", lines,
                        floorMs, tickMs, peerMs, tickMs / floorMs, tickMs / peerMs, floorCpuMs, tickCpuMs,
                        sortedTickMs, filteredTickMs, longestStallNs / 1e6, hwm / 1024.0);
            std::fflush(stdout);
        }
        QSqlDatabase::database(QStringLiteral("peer"), false).close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        code = 1;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("peer"));
    stopServer();
    return code;
}
