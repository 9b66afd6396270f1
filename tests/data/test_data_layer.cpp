#include "DataModule.h"
#include "DbError.h"
#include "TestDb.h"

#include <QtTest>

using namespace fb;
using testdb::TestDatabase;

class DataLayerTest : public QObject {
    Q_OBJECT
private slots:
    void smoke();
};

void DataLayerTest::smoke() {
    TestDatabase db(QStringLiteral("smoke"));
    db.createNotarySchema();
    testdb::RecordingWindow window;
    TDM dm(ProgramKind::Console, window, testdb::settingsFor(db.connectionName()));
    dm.IBD.Open();
    QVERIFY(window.connected);
    QCOMPARE(window.title, QStringLiteral("Corvane,  Рег.№ 4711"));
    QCOMPARE(window.panels[1], db.connectionName());
    QString result;
    dm.RunStatement(QStringLiteral("select cast(:A as varchar(20)) || ' ' || cast(:B as varchar(20)) from rdb$database"),
                    [](TIBSQL& q) {
                        q.ParamByName(QStringLiteral("A")).setAsInteger(42);
                        q.ParamByName(QStringLiteral("B")).setAsString(QStringLiteral("Иванов"));
                    },
                    [&](TIBSQL& q) { result = q.FieldByName(QStringLiteral("CONCATENATION")).asString(); });
    QCOMPARE(result, QStringLiteral("42 Иванов"));
    dm.IBReports.Open();
    QVERIFY(dm.IBReports.Locate(QStringLiteral("ID"), QStringLiteral("INVOICE")));
    auto in = dm.IBReports.CreateBlobReadStream(QStringLiteral("DESCR"));
    char buf[100];
    const qint64 n = in->read(buf, sizeof buf);
    QCOMPARE(QByteArray(buf, int(n)), QByteArray("old invoice"));
    in.reset();
    dm.IBReports.Edit();
    {
        auto out = dm.IBReports.CreateBlobWriteStream(QStringLiteral("DESCR"));
        QByteArray big(3 * 1024 * 1024 + 5, 'x');
        out->write(big.constData(), big.size());
    }
    dm.IBReports.Post();
    dm.IBT.CommitRetaining();
    dm.IBReports.Close();
    QCOMPARE(db.queryInt(QStringLiteral("select octet_length(DESCR) from REPORTS where ID='INVOICE'")),
             3 * 1024 * 1024 + 5);
    try {
        dm.RunStatement(QStringLiteral("select * from NO_SUCH_TABLE"), {}, {});
        QFAIL("no error");
    } catch (const DbError& e) {
        qDebug() << e.message();
        QVERIFY(e.message().startsWith(QStringLiteral("Dynamic SQL Error\r\nSQL error code = -204\r\nTable unknown")));
    }
}

QTEST_GUILESS_MAIN(DataLayerTest)
#include "test_data_layer.moc"
