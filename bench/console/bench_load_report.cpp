// LoadReport of a large template against the same bytes written as a blob straight through
// the client library, on a private server that this program starts and stops.
//
//   bench_load_report [MiB [repetitions]]     (default 50 MiB, 5 repetitions)
//
// Prints the median time of each, their ratio, and how far the process's peak resident
// memory rose during one LoadReport for the full size and for a tenth of it.

#include "DataModule.h"
#include "FbClient.h"
#include "ReportLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <ibase.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const QByteArray kPassword = "plumdrake";

class SilentBoxes : public app::MessageBoxes {
public:
    bool confirm(const QString&) override { return true; }
    void information(const QString&) override {}
    void plain(const QString& text) override { std::fprintf(stderr, "box: %s\n", qPrintable(text)); }
};

struct Window : fb::MainWindowLink {
    bool connected = false;
    bool connected2DB() const override { return connected; }
    void setConnected2DB(bool value) override { connected = value; }
    QString caption() const override { return {}; }
    void setCaption(const QString&) override {}
    void setStatusText(int, const QString&) override {}
};

QByteArray dpb(bool create) {
    QByteArray b(1, static_cast<char>(isc_dpb_version1));
    auto add = [&](char code, const QByteArray& value) {
        b.append(code);
        b.append(static_cast<char>(value.size()));
        b.append(value);
    };
    add(isc_dpb_user_name, "SYSDBA");
    add(isc_dpb_password, kPassword);
    add(isc_dpb_lc_ctype, "WIN1251");
    if (create)
        add(isc_dpb_set_db_charset, "WIN1251");
    return b;
}

Firebird::IAttachment* attach(const QByteArray& name, bool create) {
    const QByteArray params = dpb(create);
    const auto* p = reinterpret_cast<const unsigned char*>(params.constData());
    return fb::detail::invoke(fb::TextCodec(QStringLiteral("WIN1251")), [&](auto* st) {
        return create ? fb::detail::provider()->createDatabase(st, name.constData(), params.size(), p)
                      : fb::detail::provider()->attachDatabase(st, name.constData(), params.size(), p);
    });
}

void execAll(Firebird::IAttachment* att, const std::vector<const char*>& statements) {
    for (const char* sql : statements)
        fb::detail::invoke(fb::TextCodec(QStringLiteral("WIN1251")), [&](auto* st) {
            Firebird::ITransaction* tra = att->startTransaction(st, 0, nullptr);
            att->execute(st, tra, 0, sql, 3, nullptr, nullptr, nullptr, nullptr);
            tra->commit(st);
        });
}

// The reference: read the file in 1 MiB pieces, put them into a new blob in the largest
// segments the client library takes, store the blob in the row, commit retaining.
void directLoad(Firebird::IAttachment* att, Firebird::ITransaction* tra, const QString& path) {
    using namespace fb::detail;
    const fb::TextCodec codec(QStringLiteral("WIN1251"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open %s", qPrintable(path));
    std::vector<char> buffer(1 << 20);
    invoke(codec, [&](auto* st) {
        ISC_QUAD id{};
        Firebird::IBlob* blob = att->createBlob(st, tra, &id, 0, nullptr);
        for (qint64 got; (got = file.read(buffer.data(), static_cast<qint64>(buffer.size()))) > 0;)
            for (qint64 done = 0; done < got;) {
                const unsigned n = static_cast<unsigned>(std::min<qint64>(got - done, 65535));
                blob->putSegment(st, n, buffer.data() + done);
                done += n;
            }
        blob->close(st);
        Firebird::IMetadataBuilder* builder = master()->getMetadataBuilder(st, 1);
        builder->setType(st, 0, SQL_BLOB + 1);
        builder->setLength(st, 0, sizeof(ISC_QUAD));
        Firebird::IMessageMetadata* meta = builder->getMetadata(st);
        builder->release();
        std::vector<unsigned char> message(meta->getMessageLength(st));
        std::memcpy(message.data() + meta->getOffset(st, 0), &id, sizeof id);
        *reinterpret_cast<short*>(message.data() + meta->getNullOffset(st, 0)) = 0;
        att->execute(st, tra, 0, "update REPORTS set DESCR = ? where ID = 'INVOICE'", 3, meta, message.data(),
                     nullptr, nullptr);
        meta->release();
        tra->commitRetaining(st);
    });
}

// The reference for the backup: read the stored blob back in the largest segments.
qint64 directRead(Firebird::IAttachment* att, Firebird::ITransaction* tra) {
    using namespace fb::detail;
    const fb::TextCodec codec(QStringLiteral("WIN1251"));
    qint64 total = 0;
    invoke(codec, [&](auto* st) {
        Firebird::IMessageMetadata* meta = nullptr;
        Firebird::IResultSet* rs =
            att->openCursor(st, tra, 0, "select DESCR from REPORTS where ID = 'INVOICE'", 3, nullptr, nullptr,
                            nullptr, nullptr, 0);
        meta = rs->getMetadata(st);
        std::vector<unsigned char> row(meta->getMessageLength(st));
        rs->fetchNext(st, row.data());
        ISC_QUAD id;
        std::memcpy(&id, row.data() + meta->getOffset(st, 0), sizeof id);
        Firebird::IBlob* blob = att->openBlob(st, tra, &id, 0, nullptr);
        std::vector<char> buffer(65535);
        for (;;) {
            unsigned got = 0;
            const int r = blob->getSegment(st, 65535, buffer.data(), &got);
            total += got;
            if (r == Firebird::IStatus::RESULT_NO_DATA)
                break;
        }
        blob->close(st);
        rs->close(st);
        meta->release();
    });
    return total;
}

long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(key.size()));
    return -1;
}

// Resets the peak resident size to the current one (Linux 4.0 and later).
bool resetPeak() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    return static_cast<bool>(out);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void writeTemplate(const QString& path, qint64 size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (qint64 done = 0; done < size; done += chunk.size()) {
        for (char& c : chunk) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = static_cast<char>(x);
        }
        file.write(chunk.constData(), std::min<qint64>(chunk.size(), size - done));
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const qint64 mib = argc > 1 ? std::atoll(argv[1]) : 50;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    const qint64 size = mib * 1024 * 1024;

    QTemporaryDir scratch;
    const QString root = scratch.filePath(QStringLiteral("server"));
    QProcess start;
    start.start(QStringLiteral(FB_SERVER_SCRIPT), {QStringLiteral("start"), root, QStringLiteral("auto")});
    if (!start.waitForFinished(60000) || start.exitCode() != 0)
        qFatal("server did not start: %s", start.readAllStandardError().constData());
    const QString port = QString::fromLatin1(start.readAllStandardOutput()).trimmed();
    struct Stop {
        QString root;
        ~Stop() { QProcess::execute(QStringLiteral(FB_SERVER_SCRIPT), {QStringLiteral("stop"), root}); }
    } stop{root};

    const QString dbName =
        QStringLiteral("127.0.0.1/%1:%2").arg(port, scratch.filePath(QStringLiteral("bench.fdb")));
    {
        Firebird::IAttachment* att = attach(dbName.toLocal8Bit(), true);
        execAll(att, {"create table REPORTS (ID varchar(31) not null primary key, DESCR blob sub_type 0)",
                      "insert into REPORTS values ('INVOICE', 'old')"});
        fb::detail::QuietStatus st;
        att->detach(&st);
    }

    const QString folder = scratch.filePath(QStringLiteral("work"));
    QDir().mkpath(folder);
    const QString templatePath = folder + QStringLiteral("/INVOICE.fr3");

    Window window;
    fb::ConnectionSettings settings;
    settings.arguments = {dbName};
    settings.currentFolder = folder;
    settings.password = QString::fromLatin1(kPassword);
    fb::TDM dm(fb::ProgramKind::Console, window, settings);
    dm.IBD.Open();
    if (!dm.IBT.Active())
        dm.IBT.StartTransaction();
    SilentBoxes boxes;
    console::ReportLoader loader(dm, boxes, folder);

    Firebird::IAttachment* direct = attach(dbName.toLocal8Bit(), false);
    const QByteArray tpb("\x03\x09\x0f\x11\x07", 5);
    Firebird::ITransaction* directTra =
        fb::detail::invoke(fb::TextCodec(QStringLiteral("WIN1251")), [&](auto* st) {
            return direct->startTransaction(st, static_cast<unsigned>(tpb.size()),
                                            reinterpret_cast<const unsigned char*>(tpb.constData()));
        });
    // Each LoadReport replaces a small stored template, as in use: the time is then that of
    // the replacement, not of a 50 MiB backup.
    auto resetStored = [&] {
        execAll(direct, {"update REPORTS set DESCR = 'old' where ID = 'INVOICE'"});
        QDir(folder + QStringLiteral("/Backup")).removeRecursively();
    };

    auto peakRiseKb = [&](qint64 bytes) {
        writeTemplate(templatePath, bytes);
        resetStored();
        const long before = statusKb("VmRSS");
        const bool reset = resetPeak();
        loader.LoadReport(QStringLiteral("INVOICE"));
        return reset ? statusKb("VmHWM") - before : -1;
    };
    const long smallRise = peakRiseKb(size / 10);
    const long fullRise = peakRiseKb(size);

    writeTemplate(templatePath, size);
    std::vector<double> loadMs, directMs;
    QElapsedTimer timer;
    for (int i = 0; i < repetitions; ++i) {
        resetStored();
        timer.start();
        loader.LoadReport(QStringLiteral("INVOICE"));
        loadMs.push_back(timer.nsecsElapsed() / 1e6);

        resetStored();
        timer.start();
        directLoad(direct, directTra, templatePath);
        directMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    // LoadReport of the same template over a stored one of the same size: with its backup.
    std::vector<double> withBackupMs;
    for (int i = 0; i < repetitions; ++i) {
        QDir(folder + QStringLiteral("/Backup")).removeRecursively();
        timer.start();
        loader.LoadReport(QStringLiteral("INVOICE"));
        withBackupMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::vector<double> readMs;
    for (int i = 0; i < repetitions; ++i) {
        timer.start();
        if (directRead(direct, directTra) != size)
            qFatal("stored template has the wrong size");
        readMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    {
        fb::detail::QuietStatus st;
        directTra->commit(&st);
        direct->detach(&st);
    }

    const double load = median(loadMs), reference = median(directMs);
    std::printf("template size                      %lld MiB, %d repetitions, medians\n",
                static_cast<long long>(mib), repetitions);
    std::printf("LoadReport (small stored template) %9.1f ms\n", load);
    std::printf("file read + blob write, direct     %9.1f ms\n", reference);
    std::printf("ratio                              %9.3f   (goal <= 1.2)\n", load / reference);
    std::printf("LoadReport incl. %lld MiB backup    %9.1f ms\n", static_cast<long long>(mib),
                median(withBackupMs));
    std::printf("blob read back, direct             %9.1f ms\n", median(readMs));
    std::printf("peak RSS rise, %4lld MiB template   %9ld KiB\n", static_cast<long long>(mib / 10),
                smallRise);
    std::printf("peak RSS rise, %4lld MiB template   %9ld KiB\n", static_cast<long long>(mib), fullRise);
    return 0;
}
