#include "ConsoleError.h"

#include "DbError.h"

namespace console {

QString errorText(const std::exception& error) {
    if (const auto* db = dynamic_cast<const fb::DbError*>(&error))
        return db->message();
    if (const auto* file = dynamic_cast<const FileError*>(&error))
        return file->message();
    return QString::fromLocal8Bit(error.what());
}

} // namespace console
