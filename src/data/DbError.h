#pragma once

#include <QString>

#include <stdexcept>

namespace fb {

// The one error type of the data layer. For a client-library failure the message is the
// status vector interpreted line by line, lines joined by CR LF, without a final full stop.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& message, long gdsCode = 0);

    const QString& message() const noexcept { return message_; }
    // First error code of the status vector (0 for the layer's own errors).
    long gdsCode() const noexcept { return gdsCode_; }

private:
    QString message_;
    long gdsCode_;
};

} // namespace fb
