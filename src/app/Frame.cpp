#include "Frame.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace app {

bool CanWriteToFolder(const QString& folder) {
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/')) && !path.endsWith(QDir::separator()))
        path += QDir::separator();
    path += QStringLiteral("chk.tmp");
#ifdef Q_OS_WIN
    const HANDLE handle = CreateFileW(reinterpret_cast<LPCWSTR>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                      nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    return true;
#else
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    // The file is ours alone (created exclusively), so removing it by name is safe.
    ::unlink(name.constData());
    ::close(fd);
    return true;
#endif
}

QString versionLabelText(const QString& fileVersion) {
    return QStringLiteral("Преминаване към еврото") + QLatin1Char('\r') + QStringLiteral("Версия: ") + fileVersion;
}

} // namespace app
