#pragma once

#include <QString>

#include <exception>
#include <stdexcept>

namespace console {

// A failure of the console's own file work (template, backup file, backup folder). The
// message names the file or folder and, where the system gave one, its reason.
class FileError : public std::runtime_error {
public:
    explicit FileError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const noexcept { return message_; }

private:
    QString message_;
};

// The text a failure message shows after its fixed prefix.
QString errorText(const std::exception& error);

} // namespace console
