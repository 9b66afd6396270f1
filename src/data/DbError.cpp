#include "DbError.h"

namespace fb {

DbError::DbError(const QString& message, long gdsCode)
    : std::runtime_error(message.toStdString()), message_(message), gdsCode_(gdsCode) {}

} // namespace fb
