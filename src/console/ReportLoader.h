#pragma once

#include "DataModule.h"
#include "MessageBoxes.h"

#include <QDateTime>
#include <QString>

#include <functional>

namespace console {

// Replaces report templates stored in REPORTS with the template files of a folder, keeping
// a time-stamped backup of each stored template in its Backup subfolder.
class ReportLoader {
public:
    // Every copy moves its bytes through a buffer of this size (smaller for a smaller file).
    static constexpr qint64 kBufferSize = 1048576;

    using Clock = std::function<QDateTime()>;

    // `folder` is where the template files are and under which Backup lives (the programs
    // pass the process's current folder); `now` gives the local time for backup names.
    ReportLoader(fb::TDM& dm, app::MessageBoxes& boxes, QString folder,
                 Clock now = &QDateTime::currentDateTime);

    // Replaces the stored template `name` with the file "<name>.fr3". Returns normally when
    // the row was replaced, when no row has that name, and when the post or the commit
    // failed (then shown here as a plain box, the row unchanged). Every other failure is
    // raised: a template file that cannot be had (before the database is touched), a
    // missing Backup folder that cannot be made, a backup that cannot be written, database
    // failures before the post.
    void LoadReport(const QString& name);

    // True when a folder exists at `path` on return; makes at most that one folder.
    static bool EnsureDirectory(const QString& path);

    QString templatePath(const QString& name) const;
    QString backupFolder() const;

private:
    void makeBackup(const QString& name);

    fb::TDM& dm_;
    app::MessageBoxes& boxes_;
    QString folder_;
    Clock now_;
};

} // namespace console
