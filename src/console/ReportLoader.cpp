#include "ReportLoader.h"

#include "ConsoleError.h"
#include "ExclusiveFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <optional>

namespace console {

namespace {

const QString kId = QStringLiteral("ID");
const QString kDescr = QStringLiteral("DESCR");
// Beyond this many backups of one template in one second something else is wrong.
constexpr int kMaxBackupsPerSecond = 1000;

// A copy buffer: the full size, or as large as the source when that is smaller.
std::unique_ptr<char[]> makeBuffer(qint64 size) {
    return std::make_unique<char[]>(static_cast<size_t>(size));
}

// Step 11 of a replacement, whatever happened before it: the dataset is closed, which
// also drops an edit that was not posted.
class CloseOnExit {
public:
    explicit CloseOnExit(fb::TIBDataSet& dataSet) : dataSet_(dataSet) {}
    ~CloseOnExit() {
        try {
            dataSet_.Close();
        } catch (...) {
        }
    }
    CloseOnExit(const CloseOnExit&) = delete;
    CloseOnExit& operator=(const CloseOnExit&) = delete;

private:
    fb::TIBDataSet& dataSet_;
};

} // namespace

ReportLoader::ReportLoader(fb::TDM& dm, app::MessageBoxes& boxes, QString folder, Clock now)
    : dm_(dm), boxes_(boxes), folder_(std::move(folder)), now_(std::move(now)) {}

QString ReportLoader::templatePath(const QString& name) const {
    return QDir(folder_).absoluteFilePath(name + QStringLiteral(".fr3"));
}

QString ReportLoader::backupFolder() const {
    return QDir(folder_).absoluteFilePath(QStringLiteral("Backup"));
}

bool ReportLoader::EnsureDirectory(const QString& path) {
    try {
        if (QFileInfo(path).isDir()) // a link to a folder counts
            return true;
        QDir().mkdir(path); // one level only: the parent must exist
        return QFileInfo(path).isDir();
    } catch (...) {
        return false;
    }
}

void ReportLoader::LoadReport(const QString& name) {
    // First of all, so that a missing or held file leaves before the database is touched.
    ExclusiveFile source = ExclusiveFile::openForReading(templatePath(name));
    fb::TIBDataSet& reports = dm_.IBReports;
    const CloseOnExit closeReports(reports); // runs before `source` is released

    if (!dm_.IBT.Active())
        dm_.IBT.StartTransaction();
    reports.Open();
    if (!reports.Locate(kId, name))
        return; // nothing to replace, nothing to say

    makeBackup(name);

    reports.Edit();
    {
        // An empty template file empties the stored template (an empty blob, not NULL): the
        // file is the new template, taken as it is, and the backup keeps the old one.
        const qint64 size = source.size();
        const qint64 bufferSize = std::clamp<qint64>(size, 1, kBufferSize);
        const auto buffer = makeBuffer(bufferSize);
        const auto out = reports.CreateBlobWriteStream(kDescr);
        for (qint64 got; (got = source.read(buffer.get(), bufferSize)) > 0;)
            out->write(buffer.get(), got); // the stream cuts it into segments
        out->close();                      // hands the new blob to the pending edit
    }

    if (!dm_.IBT.Active())
        dm_.IBT.StartTransaction();
    try {
        reports.Post();
        if (dm_.IBT.Active())
            dm_.IBT.CommitRetaining();
    } catch (const std::exception& e) {
        try {
            if (dm_.IBT.Active())
                dm_.IBT.RollbackRetaining();
        } catch (const std::exception&) {
        }
        reports.Cancel();
        boxes_.plain(QStringLiteral("НЕУСПЕШНО изпълнение") + QLatin1Char('\r') + errorText(e));
    }
}

void ReportLoader::makeBackup(const QString& name) {
    // No template is replaced without its backup.
    const QString folder = backupFolder();
    if (!EnsureDirectory(folder))
        throw FileError(QStringLiteral("Папката за архивни копия %1 липсва и не може да бъде създадена")
                            .arg(QDir::toNativeSeparators(folder)));

    const auto in = dm_.IBReports.CreateBlobReadStream(kDescr);
    const QString base = folder + QStringLiteral("/B_") + name + QLatin1Char('_') +
                         now_().toString(QStringLiteral("yyMMddHHmmss"));
    // A backup is never overwritten: a second one in the same second gets "_2", and so on.
    std::optional<ExclusiveFile> out;
    for (int n = 1; !out; ++n) {
        if (n > kMaxBackupsPerSecond)
            throw FileError(QStringLiteral("Няма свободно име за архивно копие %1 в папката %2")
                                .arg(QDir::toNativeSeparators(base + QStringLiteral(".FR3")),
                                     QDir::toNativeSeparators(folder)));
        const QString suffix = n == 1 ? QString() : QStringLiteral("_%1").arg(n);
        if (auto created = ExclusiveFile::createNew(base + suffix + QStringLiteral(".FR3")))
            out.emplace(std::move(*created));
    }
    // The stored size is not known before reading, so the full buffer is used here.
    const auto buffer = makeBuffer(kBufferSize);
    for (qint64 got; (got = in->read(buffer.get(), kBufferSize)) > 0;)
        out->write(buffer.get(), got);
    out->close();
    in->close();
}

} // namespace console
