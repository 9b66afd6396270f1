#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

namespace console {

// A file held by this process alone while it is open: on POSIX an exclusive, non-blocking
// advisory lock (flock), on Windows a handle opened without sharing. Every failure is
// raised as FileError naming the file's full path and the system's reason.
class ExclusiveFile {
public:
    // An existing file, for reading. Raises when it is missing, unreadable or held by
    // another process.
    static ExclusiveFile openForReading(const QString& path);
    // A new file, for writing; never opens, truncates or replaces an existing one. Empty
    // when a file (or anything else) of that name exists already; raises on other failures.
    static std::optional<ExclusiveFile> createNew(const QString& path);

    ExclusiveFile(ExclusiveFile&& other) noexcept;
    ExclusiveFile& operator=(ExclusiveFile&&) = delete;
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;
    // Releases the lock and the handle; errors are dropped here (use close() to see them).
    ~ExclusiveFile();

    const QString& path() const { return path_; }
    qint64 size() const;
    // Up to maxSize bytes; 0 at the end.
    qint64 read(char* data, qint64 maxSize);
    void write(const char* data, qint64 size);
    // Releases the file now and raises when the system reports a failure (for a file
    // written to, a late write error).
    void close();

private:
#ifdef Q_OS_WIN
    using Handle = void*;
#else
    using Handle = int;
#endif
    ExclusiveFile(QString path, Handle handle) : path_(std::move(path)), handle_(handle) {}
    bool isOpen() const;

    QString path_;
    Handle handle_;
};

} // namespace console
