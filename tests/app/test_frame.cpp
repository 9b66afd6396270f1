// The shared main-window frame and start-up sequence, in offscreen windows.

#include "ConsoleParts.h"
#include "Frame.h"
#include "MainWindow.h"
#include "MonitorParts.h"
#include "Startup.h"
#include "TestDb.h"

#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace app;

namespace {

class RecordingBoxes : public MessageBoxes {
public:
    QStringList plainTexts;
    bool confirm(const QString&) override { return false; }
    void information(const QString&) override {}
    void plain(const QString& text) override { plainTexts.append(text); }
};

ProgramInfo consoleInfo() { return {QStringLiteral("Corvane"), QStringLiteral("2.26.1.6"), fb::ProgramKind::Console}; }
ProgramInfo monitorInfo() { return {QStringLiteral("Vantrel"), QStringLiteral("2.25.12.6"), fb::ProgramKind::Monitor}; }

} // namespace

class FrameTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void layoutFormulas_data();
    void layoutFormulas();
    void versionText();
    void writeProbe();
    void writeProbeKeepsExistingFile();
    void writeProbeInFolderThatCannotBeWritten();
    void firstActivationMaximisesAndProbesOnce();
    void firstActivationWarnsWhenProbeFails();

    void consoleStartsConnected();
    void startupFailure_data();
    void startupFailure();
    void monitorWithoutLogTable();
    void exitClosesWindow();

private:
    std::unique_ptr<testdb::TestDatabase> db_;
};

void FrameTest::initTestCase() {
    applyProcessSettings(QStringLiteral("Corvane"));
    db_ = std::make_unique<testdb::TestDatabase>(QStringLiteral("frame"));
    db_->createNotarySchema();
}

void FrameTest::layoutFormulas_data() {
    QTest::addColumn<int>("outerWidth");
    QTest::addColumn<int>("outerHeight");
    QTest::addColumn<int>("clientWidth");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("panel");
    // Division truncates toward zero, also for negative values.
    QTest::newRow("small window") << 251 << 300 << 3 << -6 << -18 << 0;
    QTest::newRow("odd width") << 677 << 428 << 661 << 206 << 46 << 165;
    QTest::newRow("exact") << 1288 << 1024 << 1280 << 512 << 344 << 320;
    QTest::newRow("tiny") << 0 << 0 << 0 << -132 << -168 << 0;
}

void FrameTest::layoutFormulas() {
    QFETCH(int, outerWidth);
    QFETCH(int, outerHeight);
    QFETCH(int, clientWidth);
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, panel);
    QCOMPARE(logoLeft(outerWidth, 256), left);
    QCOMPARE(logoTop(outerHeight, 256), top);
    QCOMPARE(statusPanelWidth(clientWidth), panel);
}

void FrameTest::versionText() {
    RecordingBoxes boxes;
    TMainF console(consoleInfo(), boxes);
    const QStringList lines = console.versionText().split(QLatin1Char('\r'));
    QCOMPARE(lines.size(), 2);
    QVERIFY(!lines.at(0).isEmpty());
    QCOMPARE(lines.at(1), QStringLiteral("Версия: 2.26.1.6"));
    QVERIFY(!console.versionText().contains(QLatin1Char('\n')));
    // No version: the second line is exactly the label.
    TMainF bare({QStringLiteral("Vantrel"), QString(), fb::ProgramKind::Monitor}, boxes);
    QCOMPARE(bare.versionText().split(QLatin1Char('\r')).at(1), QStringLiteral("Версия: "));
}

void FrameTest::writeProbe() {
    QTemporaryDir dir;
    QVERIFY(CanWriteToFolder(dir.path()));
    QVERIFY(CanWriteToFolder(dir.path() + QLatin1Char('/')));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("chk.tmp"))));
}

void FrameTest::writeProbeKeepsExistingFile() {
    QTemporaryDir dir;
    QFile existing(dir.filePath(QStringLiteral("chk.tmp")));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();
    QVERIFY(!CanWriteToFolder(dir.path()));
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("keep me"));
}

void FrameTest::writeProbeInFolderThatCannotBeWritten() {
    // Neither a missing folder nor /proc takes new files, whoever runs the test.
    QVERIFY(!CanWriteToFolder(QStringLiteral("/nonexistent-folder-for-probe")));
    QVERIFY(!CanWriteToFolder(QStringLiteral("/proc")));
}

void FrameTest::firstActivationMaximisesAndProbesOnce() {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    RecordingBoxes boxes;
    TMainF window(consoleInfo(), boxes);
    QVERIFY(window.bFirst);
    window.show();
    window.FormActivate();
    QVERIFY(!window.bFirst);
    QVERIFY(window.isMaximized());
    QVERIFY(boxes.plainTexts.isEmpty());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("chk.tmp"))));
    // A later activation does nothing, even with the probe file now in place.
    QFile blocker(dir.filePath(QStringLiteral("chk.tmp")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    window.showNormal();
    window.FormActivate();
    QVERIFY(boxes.plainTexts.isEmpty());
    QVERIFY(!window.isMaximized());
    QDir::setCurrent(previous);
}

void FrameTest::firstActivationWarnsWhenProbeFails() {
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("chk.tmp")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    RecordingBoxes boxes;
    TMainF window(monitorInfo(), boxes);
    window.show();
    window.FormActivate();
    QDir::setCurrent(previous);
    QCOMPARE(boxes.plainTexts, QStringList{QStringLiteral("Нямате ПРАВА за запис на файлове в текущата папка")});
    QVERIFY(window.isMaximized());
}

void FrameTest::consoleStartsConnected() {
    RecordingBoxes boxes;
    TMainF window(consoleInfo(), boxes);
    console::ConsoleParts parts;
    parts.formCreated(window);
    createAndConnect(window, parts, testdb::settingsFor(db_->connectionName()));
    QVERIFY(window.DM);
    QVERIFY(window.bConnected2DB);
    QCOMPARE(window.windowTitle(), QStringLiteral("Corvane,  Рег.№ 4711"));
    QCOMPARE(window.statusText(0), QString());
    QCOMPARE(window.statusText(1), db_->connectionName());
    QCOMPARE(window.statusText(2), QString());
    QCOMPARE(window.statusText(3), QString());
    QVERIFY(parts.N8->menuAction()->isVisible());
    window.bFirst = false; // no maximising on activation here
    window.show();
    // The layout must not feed back into the window's size.
    for (int width : {661, 700, 3000, 661}) {
        window.resize(width, 500);
        QCoreApplication::processEvents();
        QCOMPARE(window.width(), width);
        for (int panel = 0; panel < 4; ++panel)
            QCOMPARE(window.statusPanel(panel)->width(), statusPanelWidth(width));
    }
}

void FrameTest::startupFailure_data() {
    QTest::addColumn<bool>("monitor");
    QTest::addColumn<QString>("name");
    QTest::newRow("console, no server") << false << testdb::unreachableName();
    QTest::newRow("console, no database file") << false << testdb::connectionName("/nonexistent/Tarvel.FDB");
    QTest::newRow("monitor, no server") << true << testdb::unreachableName();
    QTest::newRow("monitor, no database file") << true << testdb::connectionName("/nonexistent/Tarvel.FDB");
}

void FrameTest::startupFailure() {
    QFETCH(bool, monitor);
    QFETCH(QString, name);
    RecordingBoxes boxes;
    TMainF window(monitor ? monitorInfo() : consoleInfo(), boxes);
    console::ConsoleParts consoleParts;
    monitor::MonitorParts monitorParts;
    ProgramParts& parts = monitor ? static_cast<ProgramParts&>(monitorParts) : consoleParts;
    parts.formCreated(window);
    createAndConnect(window, parts, testdb::settingsFor(name));
    QCOMPARE(window.statusText(2), QStringLiteral("Not Connected to DB"));
    QCOMPARE(window.statusText(1), QString());
    QCOMPARE(window.windowTitle(), monitor ? QStringLiteral("Vantrel") : QStringLiteral("Corvane"));
    QVERIFY(!window.bConnected2DB);
    QVERIFY(boxes.plainTexts.isEmpty());
    if (monitor) {
        QVERIFY(!window.DM);
    } else {
        // Only the exit command is left on the menu bar.
        QVERIFY(!consoleParts.N8->menuAction()->isVisible());
        QVERIFY(consoleParts.N2->isVisible());
        QVERIFY(window.DM && !window.DM->IBD.Connected());
    }
}

void FrameTest::monitorWithoutLogTable() {
    testdb::TestDatabase db(QStringLiteral("frame_no_log"));
    db.exec(QStringList{QStringLiteral("create table FIRMA (ID integer, NAME varchar(10), GRAD varchar(10))"),
                        QStringLiteral("insert into FIRMA values (55, 'x', 'y')")});
    RecordingBoxes boxes;
    TMainF window(monitorInfo(), boxes);
    monitor::MonitorParts parts;
    parts.formCreated(window);
    createAndConnect(window, parts, testdb::settingsFor(db.connectionName()));
    QVERIFY(!window.DM);
    QVERIFY(window.bConnected2DB);
    QCOMPARE(window.windowTitle(), QStringLiteral("Vantrel,  Рег.№ 55"));
    QCOMPARE(window.statusText(1), db.connectionName());
    QCOMPARE(window.statusText(2), QStringLiteral("Not Connected to DB"));
}

void FrameTest::exitClosesWindow() {
    RecordingBoxes boxes;
    TMainF window(consoleInfo(), boxes);
    console::ConsoleParts parts;
    parts.formCreated(window);
    window.show();
    QVERIFY(window.isVisible());
    parts.N2->trigger();
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(FrameTest)
#include "test_frame.moc"
