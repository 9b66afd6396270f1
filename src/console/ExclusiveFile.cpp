#include "ExclusiveFile.h"

#include "ConsoleError.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace console {

namespace {

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void fail(const QString& what, const QString& path, int code) {
    throw FileError(what.arg(shown(path), qt_error_string(code)));
}

[[noreturn]] void held(const QString& path) {
    throw FileError(QStringLiteral("Файлът %1 се използва от друга програма").arg(shown(path)));
}

const QString kCannotOpen = QStringLiteral("Файлът %1 не може да бъде отворен: %2");
const QString kCannotCreate = QStringLiteral("Файлът %1 не може да бъде създаден: %2");
const QString kCannotRead = QStringLiteral("Грешка при четене от файла %1: %2");
const QString kCannotWrite = QStringLiteral("Грешка при запис във файла %1: %2");
const QString kCannotClose = QStringLiteral("Грешка при затваряне на файла %1: %2");

} // namespace

#ifdef Q_OS_WIN

namespace {
const HANDLE kClosed = INVALID_HANDLE_VALUE;
}

ExclusiveFile ExclusiveFile::openForReading(const QString& path) {
    // Share mode 0: nobody else may open the file while we hold it, and we cannot open a
    // file that somebody holds.
    const HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(shown(path).utf16()), GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION)
            held(path);
        fail(kCannotOpen, path, static_cast<int>(code));
    }
    return ExclusiveFile(path, h);
}

std::optional<ExclusiveFile> ExclusiveFile::createNew(const QString& path) {
    const HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(shown(path).utf16()), GENERIC_WRITE, 0, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS)
            return std::nullopt;
        fail(kCannotCreate, path, static_cast<int>(code));
    }
    return ExclusiveFile(path, h);
}

bool ExclusiveFile::isOpen() const {
    return handle_ != kClosed;
}

ExclusiveFile::ExclusiveFile(ExclusiveFile&& other) noexcept : path_(other.path_), handle_(other.handle_) {
    other.handle_ = kClosed;
}

ExclusiveFile::~ExclusiveFile() {
    if (isOpen())
        CloseHandle(handle_);
}

qint64 ExclusiveFile::size() const {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size))
        fail(kCannotRead, path_, static_cast<int>(GetLastError()));
    return size.QuadPart;
}

qint64 ExclusiveFile::read(char* data, qint64 maxSize) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(qMin<qint64>(maxSize, 1 << 30));
    if (!ReadFile(handle_, data, want, &got, nullptr))
        fail(kCannotRead, path_, static_cast<int>(GetLastError()));
    return got;
}

void ExclusiveFile::write(const char* data, qint64 size) {
    while (size > 0) {
        DWORD done = 0;
        const DWORD want = static_cast<DWORD>(qMin<qint64>(size, 1 << 30));
        if (!WriteFile(handle_, data, want, &done, nullptr))
            fail(kCannotWrite, path_, static_cast<int>(GetLastError()));
        data += done;
        size -= done;
    }
}

void ExclusiveFile::close() {
    if (!isOpen())
        return;
    const HANDLE h = handle_;
    handle_ = kClosed;
    if (!CloseHandle(h))
        fail(kCannotClose, path_, static_cast<int>(GetLastError()));
}

#else

namespace {
constexpr int kClosed = -1;

int openRetrying(const QByteArray& name, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(name.constData(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Advisory, so it keeps out whoever asks for it too (another instance, a cooperating
// editor); it cannot keep out a program that ignores locks.
void lockOrFail(int fd, const QString& path) {
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc < 0 && errno == EINTR);
    if (rc == 0)
        return;
    const int code = errno;
    ::close(fd);
    if (code == EWOULDBLOCK)
        held(path);
    fail(kCannotOpen, path, code);
}
} // namespace

ExclusiveFile ExclusiveFile::openForReading(const QString& path) {
    const int fd = openRetrying(QFile::encodeName(path), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(kCannotOpen, path, errno);
    lockOrFail(fd, path);
    return ExclusiveFile(path, fd);
}

std::optional<ExclusiveFile> ExclusiveFile::createNew(const QString& path) {
    // O_EXCL: an existing name (also a dangling link) is never opened or truncated.
    const int fd = openRetrying(QFile::encodeName(path), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST)
            return std::nullopt;
        fail(kCannotCreate, path, errno);
    }
    lockOrFail(fd, path);
    return ExclusiveFile(path, fd);
}

bool ExclusiveFile::isOpen() const {
    return handle_ != kClosed;
}

ExclusiveFile::ExclusiveFile(ExclusiveFile&& other) noexcept : path_(other.path_), handle_(other.handle_) {
    other.handle_ = kClosed;
}

ExclusiveFile::~ExclusiveFile() {
    if (isOpen())
        ::close(handle_); // the lock goes with the last descriptor
}

qint64 ExclusiveFile::size() const {
    struct stat st {};
    if (::fstat(handle_, &st) != 0)
        fail(kCannotRead, path_, errno);
    return st.st_size;
}

qint64 ExclusiveFile::read(char* data, qint64 maxSize) {
    qint64 total = 0;
    while (total < maxSize) {
        const ssize_t got = ::read(handle_, data + total, static_cast<size_t>(maxSize - total));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail(kCannotRead, path_, errno);
        }
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

void ExclusiveFile::write(const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t done = ::write(handle_, data, static_cast<size_t>(size));
        if (done < 0) {
            if (errno == EINTR)
                continue;
            fail(kCannotWrite, path_, errno);
        }
        data += done;
        size -= done;
    }
}

void ExclusiveFile::close() {
    if (!isOpen())
        return;
    const int fd = handle_;
    handle_ = kClosed;
    if (::close(fd) != 0 && errno != EINTR)
        fail(kCannotClose, path_, errno);
}

#endif

} // namespace console
