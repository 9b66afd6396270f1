// The client-library layer and the data module against the real test server.

#include "DataModule.h"
#include "DbError.h"
#include "Statement.h"
#include "TestDb.h"

#include <QRandomGenerator>
#include <QtTest>

#include <ibase.h>

using namespace fb;
using testdb::RecordingWindow;
using testdb::TestDatabase;

namespace {

// A second program's connection with its own read-committed, no-wait transaction.
struct OtherConnection {
    explicit OtherConnection(const TestDatabase& db) : attachment(db.attach()) {}
    std::unique_ptr<Transaction> begin() {
        return std::make_unique<Transaction>(*attachment, QByteArray("\x03\x09\x07\x0f\x11", 5));
    }
    void run(Transaction& tr, const QString& sql) {
        Statement st(tr, sql);
        st.execute(tr);
    }
    std::unique_ptr<Attachment> attachment;
};

qint64 countRows(TDM& dm, const QString& table) {
    qint64 count = -1;
    dm.RunStatement(QStringLiteral("select count(*) from ") + table, {},
                    [&](TIBSQL& q) { count = q.FieldByName(QStringLiteral("COUNT")).asInt64(); });
    return count;
}

} // namespace

class DataLayerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void namedParameters_data();
    void namedParameters();
    void parameterBoundByName();
    void unknownParameterIsAnError();

    void transactionParameterBuffer();
    void databaseParameterBuffer();
    void environmentLoginReplacesBuiltIn();
    void readCommittedSeesOtherCommits();
    void conflictFailsAtOnce();
    void commitRetainingKeepsTransactionAndDatasets();
    void rollbackRetainingUndoesOnlySinceLastCommit();
    void prepareNeedsActiveTransaction();

    void errorTextForm();
    void procedureExceptionKeepsCyrillic();
    void cyrillicRoundTrip();
    void unmappableParameterIsAnError();
    void unmappableColumnBytesBecomeReplacement();
    void blobLargerThanBufferByteForByte();
    void emptyResultReadsAsNullValues();

    void databaseName_data();
    void databaseName();
    void firmRow_data();
    void firmRow();
    void firmIdThatIsNotANumber();
    void consoleEmptiesLogOnConnect();
    void secondOpenRunsNoEvent();
    void failedStatementLeavesTransactionActive();
    void monitorCreationFailsWithoutLogTable();
    void monitorMakesTwoAttemptsWhenUnreachable();
    void consoleAttachFailureRaises();

private:
    std::unique_ptr<TestDatabase> db_;
};

void DataLayerTest::initTestCase() {
    db_ = std::make_unique<TestDatabase>(QStringLiteral("data_layer"));
    db_->createNotarySchema();
    db_->exec(QStringList{
        QStringLiteral("create table T (ID integer not null primary key, NAME varchar(100), AMOUNT numeric(15,2))"),
        QStringLiteral("create table BLOBS (ID integer not null primary key, DATA blob sub_type 0)"),
        QStringLiteral("create exception E_BG 'Грешка'"),
        QStringLiteral("create procedure FAIL_BG returns (R integer) as begin "
                       "exception E_BG 'Сумата не е в евро.'; suspend; end"),
    });
}

void DataLayerTest::namedParameters_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("rewritten");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("two params") << "select RESULT from EURO_READINESS(:UPDATE_ALL_DATA,:DISABLE_ALL_TRIGGERS)"
                                << "select RESULT from EURO_READINESS(?,?)"
                                << QStringList{"UPDATE_ALL_DATA", "DISABLE_ALL_TRIGGERS"};
    QTest::newRow("literal") << "select ':X' from T where A = :a" << "select ':X' from T where A = ?"
                             << QStringList{"A"};
    QTest::newRow("doubled quote") << "select 'it''s :X' from T where A=:B" << "select 'it''s :X' from T where A=?"
                                   << QStringList{"B"};
    QTest::newRow("quoted name") << "select \"A:B\" from T where X=:Y" << "select \"A:B\" from T where X=?"
                                 << QStringList{"Y"};
    QTest::newRow("comments") << "select 1 -- :C\nfrom T /* :D */ where E=:E"
                              << "select 1 -- :C\nfrom T /* :D */ where E=?" << QStringList{"E"};
    QTest::newRow("repeated") << "update T set A=:OLD_ID where B=:OLD_ID" << "update T set A=? where B=?"
                              << QStringList{"OLD_ID", "OLD_ID"};
    QTest::newRow("none") << "delete from EURO_LOG" << "delete from EURO_LOG" << QStringList{};
}

void DataLayerTest::namedParameters() {
    QFETCH(QString, sql);
    QFETCH(QString, rewritten);
    QFETCH(QStringList, names);
    QStringList found;
    QCOMPARE(rewriteNamedParameters(sql, found), rewritten);
    QCOMPARE(found, names);
}

void DataLayerTest::parameterBoundByName() {
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    QString text;
    // The same name twice, set once; an integer and a text parameter.
    dm.RunStatement(QStringLiteral("select cast(cast(:N as integer) + cast(:N as integer) as varchar(10)) || '/' || cast(:S as varchar(10)) "
                                   "from rdb$database"),
                    [](TIBSQL& q) {
                        q.ParamByName(QStringLiteral("S")).setAsString(QStringLiteral("EUR"));
                        q.ParamByName(QStringLiteral("n")).setAsInteger(21);
                    },
                    [&](TIBSQL& q) { text = q.FieldByName(QStringLiteral("CONCATENATION")).asString(); });
    QCOMPARE(text, QStringLiteral("42/EUR"));
}

void DataLayerTest::unknownParameterIsAnError() {
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    QVERIFY_THROWS_EXCEPTION(DbError, dm.RunStatement(QStringLiteral("select 1 from rdb$database where 1=:A"),
                                                      [](TIBSQL& q) { q.ParamByName(QStringLiteral("B")); }, {}));
}

void DataLayerTest::transactionParameterBuffer() {
    TIBDatabase database;
    TIBTransaction transaction(database);
    transaction.Params = {QStringLiteral("read_committed"), QStringLiteral("rec_version"), QStringLiteral("nowait")};
    const char bytes[] = {char(isc_tpb_version3), char(isc_tpb_read_committed), char(isc_tpb_rec_version),
                          char(isc_tpb_nowait)};
    const QByteArray expected(bytes, sizeof bytes);
    QCOMPARE(transaction.transactionParameterBuffer(), expected);
}

void DataLayerTest::databaseParameterBuffer() {
    TIBDatabase database;
    database.Params = {QStringLiteral("user_name=sysdba"), QStringLiteral("password=plumdrake"),
                       QStringLiteral("lc_ctype=WIN1251")};
    QByteArray expected;
    expected.append(char(isc_dpb_version1));
    expected.append(char(isc_dpb_user_name)).append(char(6)).append("sysdba");
    expected.append(char(isc_dpb_password)).append(char(9)).append("plumdrake");
    expected.append(char(isc_dpb_lc_ctype)).append(char(7)).append("WIN1251");
    QCOMPARE(database.databaseParameterBuffer(), expected);
}

void DataLayerTest::environmentLoginReplacesBuiltIn() {
    qputenv("ISC_USER", "OFFICE");
    qputenv("ISC_PASSWORD", "secret");
    const ConnectionSettings fromEnv = ConnectionSettings::fromProcess();
    qunsetenv("ISC_USER");
    qunsetenv("ISC_PASSWORD");
    const ConnectionSettings builtIn = ConnectionSettings::fromProcess();
    QCOMPARE(fromEnv.userName, QStringLiteral("OFFICE"));
    QCOMPARE(fromEnv.password, QStringLiteral("secret"));
    QCOMPARE(builtIn.userName, QStringLiteral("sysdba"));
    QCOMPARE(builtIn.password, QStringLiteral("plumdrake"));

    // A wrong password from the environment really reaches the server.
    RecordingWindow window;
    ConnectionSettings settings = testdb::settingsFor(db_->connectionName());
    settings.password = QStringLiteral("wrong");
    TDM dm(ProgramKind::Console, window, settings);
    try {
        dm.IBD.Open();
        QFAIL("attached with a wrong password");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("user name and password are not defined")),
                 qPrintable(e.message()));
    }
}

void DataLayerTest::readCommittedSeesOtherCommits() {
    db_->exec(QStringLiteral("delete from T"));
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    OtherConnection other(*db_);
    auto committed = other.begin();
    other.run(*committed, QStringLiteral("insert into T (ID, NAME) values (1, 'committed')"));
    committed->commit();
    auto pending = other.begin();
    other.run(*pending, QStringLiteral("insert into T (ID, NAME) values (2, 'pending')"));

    // Same transaction (IBT stays active), next statement sees the commit, never the pending row.
    QVERIFY(dm.IBT.Active());
    QCOMPARE(countRows(dm, QStringLiteral("T")), 1);
    auto more = other.begin();
    other.run(*more, QStringLiteral("insert into T (ID, NAME) values (3, 'later')"));
    more->commit();
    QCOMPARE(countRows(dm, QStringLiteral("T")), 2);
    pending->rollback();
}

void DataLayerTest::conflictFailsAtOnce() {
    db_->exec(QStringList{QStringLiteral("delete from T"), QStringLiteral("insert into T (ID, NAME) values (1, 'a')")});
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    OtherConnection other(*db_);
    auto holder = other.begin();
    other.run(*holder, QStringLiteral("update T set NAME = 'held' where ID = 1"));
    // With a waiting transaction this would block until the holder ends; no wait fails now.
    try {
        dm.RunStatement(QStringLiteral("update T set NAME = 'mine' where ID = 1"), {}, {});
        QFAIL("the conflicting update went through");
    } catch (const DbError& e) {
        QVERIFY2(e.gdsCode() == isc_lock_conflict || e.gdsCode() == isc_update_conflict ||
                     e.message().contains(QStringLiteral("conflict")),
                 qPrintable(e.message()));
    }
    // Reading the row being changed is not blocked either: the last committed version.
    QString name;
    dm.RunStatement(QStringLiteral("select NAME from T where ID = 1"), {},
                    [&](TIBSQL& q) { name = q.FieldByName(QStringLiteral("NAME")).asString(); });
    QCOMPARE(name, QStringLiteral("a"));
    holder->rollback();
}

void DataLayerTest::commitRetainingKeepsTransactionAndDatasets() {
    db_->exec(QStringList{QStringLiteral("delete from T"), QStringLiteral("insert into T (ID) values (1)"),
                          QStringLiteral("insert into T (ID) values (2)"),
                          QStringLiteral("insert into T (ID) values (3)")});
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    TIBDataSet set(dm.IBD, dm.IBT);
    set.setSelectSQL(QStringLiteral("select ID from T order by ID"));
    set.Open();
    QCOMPARE(set.FieldByName(QStringLiteral("ID")).asInteger(), 1);
    dm.RunStatement(QStringLiteral("insert into T (ID) values (4)"), {}, {});
    QVERIFY(dm.IBT.Active());
    QVERIFY(set.Active());
    // The cursor survived the commit: the remaining rows are still fetched.
    QVERIFY(set.Next());
    QCOMPARE(set.FieldByName(QStringLiteral("ID")).asInteger(), 2);
    set.FetchAll();
    QVERIFY(set.RecordCount() >= 3);
    QCOMPARE(db_->queryInt(QStringLiteral("select count(*) from T where ID = 4")), 1);
}

void DataLayerTest::rollbackRetainingUndoesOnlySinceLastCommit() {
    db_->exec(QStringLiteral("delete from T"));
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    dm.IBSQL.setSQL(QStringLiteral("insert into T (ID) values (1)"));
    dm.IBSQL.ExecQuery();
    dm.IBT.CommitRetaining();
    dm.IBSQL.setSQL(QStringLiteral("insert into T (ID) values (2)"));
    dm.IBSQL.ExecQuery();
    dm.IBT.RollbackRetaining();
    QVERIFY(dm.IBT.Active());
    QCOMPARE(countRows(dm, QStringLiteral("T")), 1);
    QCOMPARE(db_->queryInt(QStringLiteral("select count(*) from T")), 1);
}

void DataLayerTest::prepareNeedsActiveTransaction() {
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBSQL.setSQL(QStringLiteral("select 1 from rdb$database"));
    QVERIFY_THROWS_EXCEPTION(DbError, dm.IBSQL.Prepare()); // not connected
    dm.IBD.Open();
    dm.IBT.Commit();
    QVERIFY(!dm.IBT.Active());
    QVERIFY_THROWS_EXCEPTION(DbError, dm.IBSQL.Prepare()); // connected, no transaction
    dm.IBT.StartTransaction();
    dm.IBSQL.Prepare();
    QVERIFY_THROWS_EXCEPTION(DbError, dm.IBT.StartTransaction()); // already active
}

void DataLayerTest::errorTextForm() {
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    try {
        dm.RunStatement(QStringLiteral("select * from NO_SUCH_TABLE"), {}, {});
        QFAIL("no error");
    } catch (const DbError& e) {
        QCOMPARE(e.message(), QStringLiteral("Dynamic SQL Error\r\nSQL error code = -204\r\nTable unknown\r\n"
                                             "NO_SUCH_TABLE\r\nAt line 1, column 15"));
        QCOMPARE(e.gdsCode(), long(isc_dsql_error));
    }
    QVERIFY(dm.IBT.Active());
}

void DataLayerTest::procedureExceptionKeepsCyrillic() {
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    try {
        dm.RunStatement(QStringLiteral("select R from FAIL_BG"), {}, {});
        QFAIL("no error");
    } catch (const DbError& e) {
        // The server's text line by line; the final full stop of the whole text goes.
        const QStringList lines = e.message().split(QStringLiteral("\r\n"));
        QVERIFY2(lines.size() >= 2, qPrintable(e.message()));
        QCOMPARE(lines.at(0), QStringLiteral("exception 1"));
        QCOMPARE(lines.at(1), QStringLiteral("E_BG"));
        QCOMPARE(lines.at(2), QStringLiteral("Сумата не е в евро."));
        QVERIFY(!e.message().endsWith(QLatin1Char('.')));
    }
}

void DataLayerTest::cyrillicRoundTrip() {
    db_->exec(QStringLiteral("delete from T"));
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    const QString text = QStringLiteral("Иванов № 5 — 10,00 €");
    dm.RunStatement(QStringLiteral("insert into T (ID, NAME) values (1, :NAME)"),
                    [&](TIBSQL& q) { q.ParamByName(QStringLiteral("NAME")).setAsString(text); }, {});
    QString back;
    dm.RunStatement(QStringLiteral("select NAME from T where ID = 1"), {},
                    [&](TIBSQL& q) { back = q.FieldByName(QStringLiteral("NAME")).asString(); });
    QCOMPARE(back, text);
    // Stored as WIN1251, one byte a character ("—", "№" and "€" included).
    QCOMPARE(db_->queryInt(QStringLiteral("select octet_length(NAME) from T where ID = 1")), text.size());
}

void DataLayerTest::unmappableParameterIsAnError() {
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    try {
        dm.RunStatement(QStringLiteral("insert into T (ID, NAME) values (99, :NAME)"),
                        [](TIBSQL& q) { q.ParamByName(QStringLiteral("NAME")).setAsString(QStringLiteral("中文")); },
                        {});
        QFAIL("an unmappable text was accepted");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("NAME")), qPrintable(e.message()));
    }
    QCOMPARE(db_->queryInt(QStringLiteral("select count(*) from T where ID = 99")), 0);
}

void DataLayerTest::unmappableColumnBytesBecomeReplacement() {
    // Column bytes are decoded, never refused: what has no character becomes the mark.
    const TextCodec utf8(QStringLiteral("UTF8"));
    const QString decoded = utf8.decode(QByteArray("\xd0\x90\xff\xd0\x91"));
    QCOMPARE(decoded, QStringLiteral("А") + QChar(QChar::ReplacementCharacter) + QStringLiteral("Б"));
    // Every byte of code page 1251 is a character.
    const TextCodec win1251(QStringLiteral("WIN1251"));
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);
    QCOMPARE(win1251.decode(all).size(), 256);
    QCOMPARE(win1251.decode(QByteArray("\xb9\x88")), QStringLiteral("№€"));
}

void DataLayerTest::blobLargerThanBufferByteForByte() {
    db_->exec(QStringList{QStringLiteral("delete from BLOBS"), QStringLiteral("insert into BLOBS (ID) values (1)")});
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    QByteArray content(2 * 1024 * 1024 + 12345, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char& c : content)
        c = static_cast<char>(generator.bounded(256));

    TIBDataSet set(dm.IBD, dm.IBT);
    set.setSelectSQL(QStringLiteral("select * from BLOBS"));
    set.setModifySQL(QStringLiteral("update BLOBS set DATA = :DATA where ID = :OLD_ID"));
    set.Open();
    set.Edit();
    {
        auto out = set.CreateBlobWriteStream(QStringLiteral("DATA"));
        // In 1 MiB pieces, as the programs copy.
        for (qsizetype at = 0; at < content.size(); at += 1024 * 1024)
            out->write(content.constData() + at, std::min<qsizetype>(1024 * 1024, content.size() - at));
    }
    set.Post();
    dm.IBT.CommitRetaining();
    set.Close();

    set.Open();
    auto in = set.CreateBlobReadStream(QStringLiteral("DATA"));
    QByteArray back;
    QByteArray buffer(1024 * 1024, Qt::Uninitialized);
    for (qint64 got; (got = in->read(buffer.data(), buffer.size())) > 0;)
        back.append(buffer.constData(), got);
    QCOMPARE(back.size(), content.size());
    QVERIFY(back == content);
}

void DataLayerTest::emptyResultReadsAsNullValues() {
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    dm.IBQ.setSelectSQL(QStringLiteral("select ID, NAME from T where 1 = 0"));
    dm.IBQ.Open();
    QVERIFY(dm.IBQ.IsEmpty());
    QCOMPARE(dm.IBQ.FieldByName(QStringLiteral("ID")).asInteger(), 0);
    QCOMPARE(dm.IBQ.FieldByName(QStringLiteral("NAME")).asString(), QString());
}

void DataLayerTest::databaseName_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no argument") << QStringList{} << "/srv/office" << "127.0.0.1:/srv/office/Tarvel.FDB";
    QTest::newRow("root folder") << QStringList{} << "/" << "127.0.0.1:/Tarvel.FDB";
    QTest::newRow("first argument, unchanged")
        << QStringList{"192.168.1.5/3051:D:\\Data\\Tarvel.FDB", "ignored"} << "/srv"
        << "192.168.1.5/3051:D:\\Data\\Tarvel.FDB";
    QTest::newRow("empty first argument") << QStringList{""} << "/srv" << "";
}

void DataLayerTest::databaseName() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    ConnectionSettings settings;
    settings.arguments = arguments;
    settings.currentFolder = folder;
    QCOMPARE(settings.databaseName(), expected);
}

void DataLayerTest::firmRow_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("caption");
    QTest::newRow("one row") << QStringList{"insert into FIRMA values (4711, 'A', 'B')"}
                             << QStringLiteral("Corvane,  Рег.№ 4711");
    QTest::newRow("no row") << QStringList{} << QStringLiteral("Corvane,  Рег.№ ");
    QTest::newRow("several rows") << QStringList{"insert into FIRMA values (17, 'A', 'B')",
                                                 "insert into FIRMA values (18, 'C', 'D')"}
                                  << QStringLiteral("Corvane,  Рег.№ 17");
}

void DataLayerTest::firmRow() {
    QFETCH(QStringList, rows);
    QFETCH(QString, caption);
    TestDatabase db(QStringLiteral("firm"));
    db.createNotarySchema();
    db.exec(QStringLiteral("delete from FIRMA"));
    if (!rows.isEmpty())
        db.exec(rows);
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db.connectionName()));
    QVERIFY(!dm.IBD.Connected()); // creating the console's module connects nothing
    dm.IBD.Open();
    QVERIFY(window.connected);
    QCOMPARE(window.title, caption);
    QCOMPARE(window.panels[1], db.connectionName());
    QVERIFY(dm.IBT.Active());
}

void DataLayerTest::firmIdThatIsNotANumber() {
    TestDatabase db(QStringLiteral("firm_text"));
    db.exec(QStringList{QStringLiteral("create table FIRMA (ID varchar(10), NAME varchar(10), GRAD varchar(10))"),
                        QStringLiteral("insert into FIRMA values ('abc', 'x', 'y')")});
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db.connectionName()));
    dm.IBD.Open();
    QVERIFY(dm.IBD.Connected());
    QVERIFY(!window.connected);
    QCOMPARE(window.title, QStringLiteral("Corvane"));
    QCOMPARE(window.panels[1], QString());
}

void DataLayerTest::consoleEmptiesLogOnConnect() {
    TestDatabase db(QStringLiteral("empties_log"));
    db.createNotarySchema();
    db.exec(QStringList{QStringLiteral("insert into EURO_LOG (LOG_MSG) values ('стар ред 1')"),
                        QStringLiteral("insert into EURO_LOG (LOG_MSG) values ('стар ред 2')")});
    {
        RecordingWindow window;
        TDM dm(ProgramKind::Console, window, testdb::settingsFor(db.connectionName()));
        dm.IBD.Open();
        // Committed at once: another connection sees the empty log while the console runs.
        QCOMPARE(db.queryInt(QStringLiteral("select count(*) from EURO_LOG")), 0);
    }
    // The log is emptied even when the firm read fails.
    db.exec(QStringList{QStringLiteral("insert into EURO_LOG (LOG_MSG) values ('ред')"),
                        QStringLiteral("drop table FIRMA")});
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db.connectionName()));
    dm.IBD.Open();
    QVERIFY(!window.connected);
    QCOMPARE(db.queryInt(QStringLiteral("select count(*) from EURO_LOG")), 0);
}

void DataLayerTest::secondOpenRunsNoEvent() {
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    const QString caption = window.title;
    const int attempts = window.connectedSetFalse;
    dm.IBD.Open();
    QCOMPARE(window.title, caption);
    QCOMPARE(window.connectedSetFalse, attempts);
}

void DataLayerTest::failedStatementLeavesTransactionActive() {
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db_->connectionName()));
    dm.IBD.Open();
    QVERIFY_THROWS_EXCEPTION(DbError, dm.RunStatement(QStringLiteral("select R from FAIL_BG"), {}, {}));
    QVERIFY(dm.IBT.Active());
    QCOMPARE(countRows(dm, QStringLiteral("FIRMA")), 1);
}

void DataLayerTest::monitorCreationFailsWithoutLogTable() {
    TestDatabase db(QStringLiteral("no_log"));
    db.exec(QStringList{QStringLiteral("create table FIRMA (ID integer, NAME varchar(10), GRAD varchar(10))"),
                        QStringLiteral("insert into FIRMA values (321, 'x', 'y')")});
    RecordingWindow window;
    window.title = QStringLiteral("Vantrel");
    std::unique_ptr<TDM> dm;
    QVERIFY_THROWS_EXCEPTION(DbError, dm = std::make_unique<TDM>(ProgramKind::Monitor, window,
                                                                 testdb::settingsFor(db.connectionName())));
    QVERIFY(!dm);
    // The after-connect step had run before the log failed to open.
    QVERIFY(window.connected);
    QCOMPARE(window.title, QStringLiteral("Vantrel,  Рег.№ 321"));
    QCOMPARE(window.panels[1], db.connectionName());
}

void DataLayerTest::monitorMakesTwoAttemptsWhenUnreachable() {
    RecordingWindow window;
    window.title = QStringLiteral("Vantrel");
    QVERIFY_THROWS_EXCEPTION(DbError,
                             TDM(ProgramKind::Monitor, window, testdb::settingsFor(testdb::unreachableName())));
    QCOMPARE(window.connectedSetFalse, 2);
    QVERIFY(!window.connected);
    QCOMPARE(window.title, QStringLiteral("Vantrel"));
}

void DataLayerTest::consoleAttachFailureRaises() {
    RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(testdb::connectionName("/nonexistent/Tarvel.FDB")));
    QVERIFY_THROWS_EXCEPTION(DbError, dm.IBD.Open());
    QVERIFY(!dm.IBD.Connected());
    QCOMPARE(window.connectedSetFalse, 1);
    QVERIFY(!window.connected);
}

QTEST_GUILESS_MAIN(DataLayerTest)
#include "test_data_layer.moc"
