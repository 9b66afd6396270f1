// Prints the size in bytes and the MD5 of one stored report template, read through the
// client library: "blob_digest DATABASE ID" -> "<bytes> <md5>" ("null" for a NULL blob).
// The reliability scripts compare it with a template file or a backup after a server crash.

#include "IBComponents.h"

#include <QCoreApplication>
#include <QCryptographicHash>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: blob_digest DATABASE ID\n");
        return 2;
    }
    try {
        fb::TIBDatabase database;
        database.DatabaseName = args[1];
        database.Params = {QStringLiteral("user_name=sysdba"), QStringLiteral("password=plumdrake"),
                           QStringLiteral("lc_ctype=WIN1251")};
        database.Open();
        fb::TIBTransaction transaction(database);
        transaction.Params = {QStringLiteral("read_committed"), QStringLiteral("rec_version"),
                              QStringLiteral("read")};
        transaction.StartTransaction();
        fb::TIBSQL query(database, transaction);
        query.setSQL(QStringLiteral("select DESCR from REPORTS where ID = :ID"));
        query.ParamByName(QStringLiteral("ID")).setAsString(args[2]);
        query.ExecQuery();
        if (query.Eof()) {
            std::fprintf(stderr, "no row %s\n", qPrintable(args[2]));
            return 1;
        }
        const fb::FieldValue value = query.FieldByName(QStringLiteral("DESCR"));
        if (value.isNull()) {
            std::printf("null\n");
            return 0;
        }
        fb::BlobReadStream in(transaction.transaction(), value.blobId(), false);
        QCryptographicHash md5(QCryptographicHash::Md5);
        std::vector<char> buffer(1 << 20);
        qint64 total = 0;
        for (qint64 got; (got = in.read(buffer.data(), qint64(buffer.size()))) > 0; total += got)
            md5.addData(QByteArrayView(buffer.data(), got));
        std::printf("%lld %s\n", static_cast<long long>(total), md5.result().toHex().constData());
        return 0;
    } catch (const fb::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
}
