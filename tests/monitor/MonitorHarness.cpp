#include "MonitorHarness.h"

#include "FbClient.h"
#include "Statement.h"
#include "TestDb.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <ibase.h>

namespace monitortest {

namespace {

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
    }
    return dpb;
}

} // namespace

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

void execOn(const QString& databaseName, const QStringList& statements, const QString& charset) {
    fb::Attachment attachment(databaseName.toLocal8Bit(), loginBuffer(charset, false),
                              fb::TextCodec(charset));
    for (const QString& sql : statements) {
        fb::Transaction transaction(attachment, QByteArray("\x03\x09\x07\x0f\x11", 5));
        fb::Statement statement(transaction, sql);
        statement.execute(transaction);
        statement.closeCursor();
        transaction.commit();
    }
}

void createDatabaseOn(const QString& databaseName) {
    using namespace fb::detail;
    const QByteArray name = databaseName.toLocal8Bit();
    const QByteArray dpb = loginBuffer(QStringLiteral("WIN1251"), true);
    invoke(fb::TextCodec(), [&](auto* st) {
        Firebird::IAttachment* att =
            provider()->createDatabase(st, name.constData(), static_cast<unsigned>(dpb.size()),
                                       reinterpret_cast<const unsigned char*>(dpb.constData()));
        att->detach(st);
    });
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
