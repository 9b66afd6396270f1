#pragma once

#include "TextCodec.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>

namespace fb {

// Firebird's blob id (ISC_QUAD), kept as plain bytes.
using BlobId = std::array<unsigned char, 8>;

// What the data layer knows of one column of a result or one input parameter.
struct ColumnInfo {
    QString name;     // field name (the alias when the select gives one)
    QString relation; // table the column comes from, if any
    unsigned type = 0; // SQL_VARYING, SQL_LONG, ... without the nullable bit
    int subType = 0;
    int scale = 0;
    unsigned length = 0; // declared length in bytes
    unsigned charset = 0;
    unsigned offset = 0;     // in the statement's message buffer
    unsigned nullOffset = 0; // in the statement's message buffer
    // A text blob whose content the dataset has read into the row in place of its id.
    bool blobInlined = false;

    bool isText() const;
    bool isBlob() const;
};

// One value of one column, read in place from a message buffer or a dataset row.
// Text is held without its length prefix. A default-constructed value is null; a null value
// reads as 0 or empty text.
class FieldValue {
public:
    FieldValue() = default;
    FieldValue(const ColumnInfo* column, const char* data, int size, const TextCodec* codec)
        : column_(column), data_(data), size_(size), codec_(codec) {}

    bool isNull() const { return column_ == nullptr || size_ < 0; }
    const ColumnInfo* column() const { return column_; }
    const char* data() const { return data_; }
    int size() const { return size_; }

    QString asString() const;
    // Raises DbError when the value does not convert (for instance the text "abc").
    qint64 asInt64() const;
    int asInteger() const;
    double asDouble() const;
    QDateTime asDateTime() const;
    BlobId blobId() const;

private:
    qint64 scaledInteger() const;

    const ColumnInfo* column_ = nullptr;
    const char* data_ = nullptr;
    int size_ = -1;
    const TextCodec* codec_ = nullptr;
};

// Formats used wherever a date or a time stamp is shown as text.
QString dateDisplayFormat();
QString dateTimeDisplayFormat();

} // namespace fb
