#include "TestDb.h"

#include "FbClient.h"
#include "Statement.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QtGlobal>

#include <ibase.h>

namespace testdb {

namespace {

QString scratchFolder() {
    const QString folder = serverRoot() + QStringLiteral("/testdbs");
    QDir().mkpath(folder);
    return folder;
}

} // namespace

QByteArray readCommittedTpb() { return QByteArray("\x03\x09\x07\x0f\x11", 5); }

QByteArray loginBuffer(const QString& charset, bool create) {
    QByteArray dpb;
    dpb.append(static_cast<char>(isc_dpb_version1));
    auto add = [&](char code, const QByteArray& value) {
        dpb.append(code);
        dpb.append(static_cast<char>(value.size()));
        dpb.append(value);
    };
    add(isc_dpb_user_name, "SYSDBA");
    add(isc_dpb_password, "plumdrake");
    add(isc_dpb_lc_ctype, charset.toLatin1());
    if (create) {
        add(isc_dpb_set_db_charset, "WIN1251");
        dpb.append(static_cast<char>(isc_dpb_sql_dialect));
        dpb.append(static_cast<char>(4));
        const qint32 dialect = 3;
        dpb.append(reinterpret_cast<const char*>(&dialect), 4);
        dpb.append(static_cast<char>(isc_dpb_page_size));
        dpb.append(static_cast<char>(4));
        const qint32 pageSize = 8192;
        dpb.append(reinterpret_cast<const char*>(&pageSize), 4);
    }
    return dpb;
}

void createDatabase(const QString& connectionName, const QString& charset) {
    using namespace fb::detail;
    const QByteArray target = connectionName.toLocal8Bit();
    const fb::TextCodec codec(charset);
    try {
        // Dropped through the server, which may still hold it open.
        const QByteArray dpb = loginBuffer(charset, false);
        invoke(codec, [&](auto* st) {
            Firebird::IAttachment* att = provider()->attachDatabase(
                st, target.constData(), static_cast<unsigned>(dpb.size()),
                reinterpret_cast<const unsigned char*>(dpb.constData()));
            att->dropDatabase(st);
        });
    } catch (const fb::DbError&) {
        // No such database yet.
    }
    const QByteArray dpb = loginBuffer(charset, true);
    invoke(codec, [&](auto* st) {
        Firebird::IAttachment* att = provider()->createDatabase(st, target.constData(),
                                                                static_cast<unsigned>(dpb.size()),
                                                                reinterpret_cast<const unsigned char*>(dpb.constData()));
        att->detach(st);
    });
}

void execOn(const QString& connectionName, const QStringList& statements, const QString& charset) {
    fb::Attachment attachment(connectionName.toLocal8Bit(), loginBuffer(charset, false), fb::TextCodec(charset));
    for (const QString& sql : statements) {
        fb::Transaction transaction(attachment, readCommittedTpb());
        fb::Statement statement(transaction, sql);
        statement.execute(transaction);
        statement.closeCursor();
        transaction.commit();
    }
}

QString serverRoot() {
    const QString root = qEnvironmentVariable("FB_TEST_ROOT");
    if (root.isEmpty())
        qFatal("FB_TEST_ROOT is not set: run the tests through ctest, which starts the test server");
    return root;
}

int serverPort() {
    QFile file(serverRoot() + QStringLiteral("/port"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no test server port in %s", qPrintable(file.fileName()));
    return file.readAll().trimmed().toInt();
}

QString connectionName(const QString& path) {
    return QStringLiteral("127.0.0.1/%1:%2").arg(serverPort()).arg(path);
}

QString unreachableName() {
    // A port that was free a moment ago: nothing listens there.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("127.0.0.1/%1:/nonexistent/Tarvel.FDB").arg(port);
}

TestDatabase::TestDatabase(const QString& name, const QString& charset)
    : path_(scratchFolder() + QLatin1Char('/') + name + QStringLiteral(".fdb")), charset_(charset) {
    createDatabase(connectionName(), charset_);
}

TestDatabase::~TestDatabase() = default;

std::unique_ptr<fb::Attachment> TestDatabase::attach(const QString& charset) const {
    return std::make_unique<fb::Attachment>(connectionName().toLocal8Bit(), loginBuffer(charset, false),
                                            fb::TextCodec(charset));
}

void TestDatabase::exec(const QString& sql) const { exec(QStringList{sql}); }

void TestDatabase::exec(const QStringList& statements) const { execOn(connectionName(), statements, charset_); }

template <class Read>
auto TestDatabase::firstColumn(const QString& sql, Read read) const {
    auto attachment = attach(charset_);
    fb::Transaction transaction(*attachment, readCommittedTpb());
    fb::Statement statement(transaction, sql);
    statement.execute(transaction);
    if (statement.isSelect())
        statement.fetch();
    return read(statement.column(0));
}

QString TestDatabase::queryString(const QString& sql) const {
    return firstColumn(sql, [](const fb::FieldValue& v) { return v.asString(); });
}

qint64 TestDatabase::queryInt(const QString& sql) const {
    return firstColumn(sql, [](const fb::FieldValue& v) { return v.asInt64(); });
}

void TestDatabase::createNotarySchema() const {
    exec(QStringList{
        QStringLiteral("create table FIRMA (ID integer, NAME varchar(100), GRAD varchar(50))"),
        QStringLiteral("insert into FIRMA values (4711, 'Нотариус Иванова', 'Пловдив')"),
        QStringLiteral("create sequence GEN_EURO_LOG"),
        QStringLiteral("create table EURO_LOG (LOG_ID integer not null primary key, LOG_MSG varchar(4000), "
                       "LOG_TS timestamp)"),
        QStringLiteral("create trigger EURO_LOG_BI for EURO_LOG before insert as begin "
                       "if (new.LOG_ID is null) then new.LOG_ID = next value for GEN_EURO_LOG; "
                       "if (new.LOG_TS is null) then new.LOG_TS = cast('NOW' as timestamp); end"),
        QStringLiteral("create table REPORTS (ID varchar(31) not null primary key, DESCR blob sub_type 0)"),
        QStringLiteral("insert into REPORTS (ID, DESCR) values ('BILLBEFORE', 'old billbefore')"),
        QStringLiteral("insert into REPORTS (ID, DESCR) values ('EORDER', 'old eorder')"),
        QStringLiteral("insert into REPORTS (ID, DESCR) values ('INVOICE', 'old invoice')"),
        QStringLiteral("insert into REPORTS (ID, DESCR) values ('IORDER', 'old iorder')"),
    });
}

fb::ConnectionSettings settingsFor(const QString& databaseName) {
    fb::ConnectionSettings settings;
    settings.arguments = QStringList{databaseName};
    settings.currentFolder = QDir::currentPath();
    return settings;
}

} // namespace testdb
