// Replacing one stored report template: LoadReport and EnsureDirectory against the test
// server, with the files in a scratch folder.

#include "ConsoleError.h"
#include "ConsoleTestSupport.h"
#include "DataModule.h"
#include "DbError.h"
#include "ReportLoader.h"
#include "TestDb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <memory>

using namespace consoletest;
using console::ReportLoader;
using testdb::TestDatabase;

namespace {

const QStringList kNames{QStringLiteral("BILLBEFORE"), QStringLiteral("EORDER"), QStringLiteral("INVOICE"),
                         QStringLiteral("IORDER")};
const QDateTime kStamp(QDate(2026, 1, 8), QTime(14, 5, 9));

// A connected console data module, as after start-up.
struct Session {
    testdb::RecordingWindow window;
    fb::TDM dm;
    RecordingBoxes boxes;
    int reportOpens = 0;
    explicit Session(const TestDatabase& db)
        : dm(fb::ProgramKind::Console, window, testdb::settingsFor(db.connectionName())) {
        dm.IBD.Open();
        QObject::connect(&dm.IBReports, &fb::TIBDataSet::afterOpen, [this] { ++reportOpens; });
    }
};

// An exclusive lock as another program would hold it (flock locks belong to the open file,
// so a second open in this process counts as another holder).
class HeldLock {
public:
    explicit HeldLock(const QString& path) : fd_(::open(QFile::encodeName(path).constData(), O_RDONLY)) {
        if (fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0)
            qFatal("cannot lock %s", qPrintable(path));
    }
    ~HeldLock() { ::close(fd_); }

private:
    int fd_;
};

bool canLock(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    const bool ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

QStringList backups(const QString& folder) {
    return QDir(folder + QStringLiteral("/Backup")).entryList(QDir::Files, QDir::Name);
}

} // namespace

class ReportLoaderTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void replacesAndKeepsTheOldContent_data();
    void replacesAndKeepsTheOldContent();
    void templateFileThatCannotBeHadLeavesBeforeTheDatabase_data();
    void templateFileThatCannotBeHadLeavesBeforeTheDatabase();
    void nameWithoutRowChangesNothing_data();
    void nameWithoutRowChangesNothing();
    void failedPostIsShownUndoneAndBackedUp();
    void backupsWithinOneSecondAreAllKept();
    void noReplacementWithoutBackupFolder();
    void ensureDirectory_data();
    void ensureDirectory();

private:
    std::unique_ptr<TestDatabase> db_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString folder() const { return dir_->path(); }
    QString file(const QString& name) const { return dir_->filePath(name); }
};

void ReportLoaderTest::initTestCase() {
    db_ = std::make_unique<TestDatabase>(QStringLiteral("console_report_loader"));
    db_->createNotarySchema();
    installProcedures(*db_);
}

void ReportLoaderTest::init() {
    QStringList reset{QStringLiteral("delete from TEST_LOCKED_REPORTS")};
    for (const QString& name : kNames)
        reset.append(
            QStringLiteral("update REPORTS set DESCR = 'old %1' where ID = '%2'").arg(name.toLower(), name));
    db_->exec(reset);
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void ReportLoaderTest::replacesAndKeepsTheOldContent_data() {
    QTest::addColumn<int>("stored"); // 0: text, 1: empty blob, 2: NULL
    QTest::addColumn<QByteArray>("content");
    const QByteArray small = "<?xml version=\"1.0\"?><Report name=\"Фактура\"/>\r\n";
    QTest::newRow("text over text") << 0 << small;
    QTest::newRow("over an empty blob") << 1 << small;
    QTest::newRow("over NULL") << 2 << small;
    // Two full buffers and a half one.
    QTest::newRow("2.5 MiB") << 0 << patternBytes(2621440, 7);
    QTest::newRow("one byte over the buffer") << 0 << patternBytes(ReportLoader::kBufferSize + 1, 11);
    // An empty file empties the stored template (empty, not NULL).
    QTest::newRow("empty file") << 0 << QByteArray();
}

void ReportLoaderTest::replacesAndKeepsTheOldContent() {
    QFETCH(int, stored);
    QFETCH(QByteArray, content);
    const QByteArray oldText = "old invoice \x00\xff bytes";
    const QByteArray empty;
    setStoredTemplate(*db_, QStringLiteral("INVOICE"),
                      stored == 0   ? &oldText
                      : stored == 1 ? &empty
                                    : nullptr);
    writeFile(file(QStringLiteral("INVOICE.fr3")), content);

    Session s(*db_);
    ReportLoader loader(s.dm, s.boxes, folder(), [] { return kStamp; });
    loader.LoadReport(QStringLiteral("INVOICE"));

    QVERIFY(s.boxes.boxes.isEmpty());
    bool isNull = true;
    QCOMPARE(storedTemplate(*db_, QStringLiteral("INVOICE"), &isNull), content);
    QVERIFY(!isNull);
    QCOMPARE(backups(folder()), QStringList{QStringLiteral("B_INVOICE_260108140509.FR3")});
    QCOMPARE(readFile(folder() + QStringLiteral("/Backup/B_INVOICE_260108140509.FR3")),
             stored == 0 ? oldText : QByteArray());
    // The others are untouched, the dataset is closed, the transaction goes on, the file is free.
    QCOMPARE(storedTemplate(*db_, QStringLiteral("IORDER")), QByteArray("old iorder"));
    QVERIFY(!s.dm.IBReports.Active());
    QVERIFY(s.dm.IBT.Active());
    QVERIFY(canLock(file(QStringLiteral("INVOICE.fr3"))));
}

void ReportLoaderTest::templateFileThatCannotBeHadLeavesBeforeTheDatabase_data() {
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("expected"); // %1: the file's full path, %2: the reason
    QTest::newRow("missing") << false << QStringLiteral("Файлът %1 не може да бъде отворен: %2");
    QTest::newRow("held by another program")
        << true << QStringLiteral("Файлът %1 се използва от друга програма");
}

void ReportLoaderTest::templateFileThatCannotBeHadLeavesBeforeTheDatabase() {
    QFETCH(bool, present);
    QFETCH(QString, expected);
    const QString path = file(QStringLiteral("IORDER.fr3"));
    std::unique_ptr<HeldLock> lock;
    if (present) {
        writeFile(path, "new iorder");
        lock = std::make_unique<HeldLock>(path);
    }
    Session s(*db_);
    ReportLoader loader(s.dm, s.boxes, folder(), [] { return kStamp; });
    try {
        loader.LoadReport(QStringLiteral("IORDER"));
        QFAIL("no error raised");
    } catch (const console::FileError& e) {
        QCOMPARE(e.message(), present ? expected.arg(path) : expected.arg(path, qt_error_string(ENOENT)));
    }
    QCOMPARE(s.reportOpens, 0);
    QVERIFY(!QFileInfo::exists(folder() + QStringLiteral("/Backup")));
    QCOMPARE(storedTemplate(*db_, QStringLiteral("IORDER")), QByteArray("old iorder"));
    QVERIFY(s.boxes.boxes.isEmpty());
}

void ReportLoaderTest::nameWithoutRowChangesNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("unknown") << QStringLiteral("NOSUCH");
    QTest::newRow("other case") << QStringLiteral("invoice");
    QTest::newRow("prefix only") << QStringLiteral("INVOIC");
}

void ReportLoaderTest::nameWithoutRowChangesNothing() {
    QFETCH(QString, name);
    writeFile(file(name + QStringLiteral(".fr3")), "new content");
    Session s(*db_);
    ReportLoader loader(s.dm, s.boxes, folder(), [] { return kStamp; });
    loader.LoadReport(name);
    QVERIFY(s.boxes.boxes.isEmpty());
    QVERIFY(!QFileInfo::exists(folder() + QStringLiteral("/Backup")));
    QCOMPARE(storedTemplate(*db_, QStringLiteral("INVOICE")), QByteArray("old invoice"));
    QCOMPARE(db_->queryInt(QStringLiteral("select count(*) from REPORTS")), 4);
    QVERIFY(!s.dm.IBReports.Active());
    QVERIFY(canLock(file(name + QStringLiteral(".fr3"))));
}

void ReportLoaderTest::failedPostIsShownUndoneAndBackedUp() {
    db_->exec(QStringLiteral(
        "insert into TEST_LOCKED_REPORTS values ('INVOICE', 'Шаблонът е заключен от ревизор')"));
    const QString expectedServerText =
        serverError(*db_, QStringLiteral("update REPORTS set DESCR = 'x' where ID = 'INVOICE'"));
    QVERIFY(expectedServerText.contains(QStringLiteral("Шаблонът е заключен от ревизор")));
    writeFile(file(QStringLiteral("INVOICE.fr3")), "new invoice");
    writeFile(file(QStringLiteral("IORDER.fr3")), "new iorder");

    Session s(*db_);
    ReportLoader loader(s.dm, s.boxes, folder(), [] { return kStamp; });
    loader.LoadReport(QStringLiteral("INVOICE")); // returns normally

    QCOMPARE(s.boxes.texts(), QStringList{QStringLiteral("НЕУСПЕШНО изпълнение\r") + expectedServerText});
    QCOMPARE(s.boxes.boxes.first().kind, BoxKind::Plain);
    QCOMPARE(storedTemplate(*db_, QStringLiteral("INVOICE")), QByteArray("old invoice"));
    QCOMPARE(readFile(folder() + QStringLiteral("/Backup/B_INVOICE_260108140509.FR3")),
             QByteArray("old invoice"));
    QVERIFY(!s.dm.IBReports.Active());
    QVERIFY(s.dm.IBT.Active());

    // The same data module goes on with the next template.
    loader.LoadReport(QStringLiteral("IORDER"));
    QCOMPARE(s.boxes.boxes.size(), 1);
    QCOMPARE(storedTemplate(*db_, QStringLiteral("IORDER")), QByteArray("new iorder"));
}

void ReportLoaderTest::backupsWithinOneSecondAreAllKept() {
    Session s(*db_);
    ReportLoader loader(s.dm, s.boxes, folder(), [] { return kStamp; });
    const QString path = file(QStringLiteral("EORDER.fr3"));
    for (const QByteArray& content : {QByteArray("first"), QByteArray("second"), QByteArray("third")}) {
        writeFile(path, content);
        loader.LoadReport(QStringLiteral("EORDER"));
    }
    const QString b = folder() + QStringLiteral("/Backup/");
    QCOMPARE(backups(folder()), (QStringList{QStringLiteral("B_EORDER_260108140509.FR3"),
                                             QStringLiteral("B_EORDER_260108140509_2.FR3"),
                                             QStringLiteral("B_EORDER_260108140509_3.FR3")}));
    QCOMPARE(readFile(b + QStringLiteral("B_EORDER_260108140509.FR3")), QByteArray("old eorder"));
    QCOMPARE(readFile(b + QStringLiteral("B_EORDER_260108140509_2.FR3")), QByteArray("first"));
    QCOMPARE(readFile(b + QStringLiteral("B_EORDER_260108140509_3.FR3")), QByteArray("second"));
    QCOMPARE(storedTemplate(*db_, QStringLiteral("EORDER")), QByteArray("third"));
    QVERIFY(s.boxes.boxes.isEmpty());
}

void ReportLoaderTest::noReplacementWithoutBackupFolder() {
    writeFile(file(QStringLiteral("Backup")), "a file, not a folder");
    writeFile(file(QStringLiteral("BILLBEFORE.fr3")), "new billbefore");
    Session s(*db_);
    ReportLoader loader(s.dm, s.boxes, folder(), [] { return kStamp; });
    try {
        loader.LoadReport(QStringLiteral("BILLBEFORE"));
        QFAIL("no error raised");
    } catch (const console::FileError& e) {
        QCOMPARE(e.message(), QStringLiteral("Папката за архивни копия %1 липсва и не може да бъде създадена")
                                  .arg(folder() + QStringLiteral("/Backup")));
    }
    QCOMPARE(storedTemplate(*db_, QStringLiteral("BILLBEFORE")), QByteArray("old billbefore"));
    QCOMPARE(readFile(file(QStringLiteral("Backup"))), QByteArray("a file, not a folder"));
    QVERIFY(!s.dm.IBReports.Active());
    QVERIFY(s.boxes.boxes.isEmpty());
    QVERIFY(canLock(file(QStringLiteral("BILLBEFORE.fr3"))));
}

void ReportLoaderTest::ensureDirectory_data() {
    QTest::addColumn<QString>("setup"); // what stands at "x" before the call
    QTest::addColumn<QString>("path");  // relative to the scratch folder
    QTest::addColumn<bool>("expected");
    QTest::newRow("existing folder") << "folder"
                                     << "x" << true;
    QTest::newRow("missing, parent exists") << ""
                                            << "x" << true;
    QTest::newRow("missing parent") << ""
                                    << "x/y" << false;
    QTest::newRow("a file") << "file"
                            << "x" << false;
    QTest::newRow("link to a folder") << "link"
                                      << "x" << true;
    QTest::newRow("dangling link") << "dangling"
                                   << "x" << false;
}

void ReportLoaderTest::ensureDirectory() {
    QFETCH(QString, setup);
    QFETCH(QString, path);
    QFETCH(bool, expected);
    const QString x = file(QStringLiteral("x"));
    if (setup == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(x));
    else if (setup == QLatin1String("file"))
        writeFile(x, "f");
    else if (setup == QLatin1String("link")) {
        QVERIFY(QDir().mkdir(file(QStringLiteral("target"))));
        QVERIFY(QFile::link(file(QStringLiteral("target")), x));
    } else if (setup == QLatin1String("dangling"))
        QVERIFY(QFile::link(file(QStringLiteral("nowhere")), x));

    QCOMPARE(ReportLoader::EnsureDirectory(file(path)), expected);
    QCOMPARE(QFileInfo(file(path)).isDir(), expected);
    if (path.contains(QLatin1Char('/')))
        QVERIFY(!QFileInfo::exists(x)); // no intermediate folders
}

QTEST_GUILESS_MAIN(ReportLoaderTest)
#include "test_report_loader.moc"
