#include "FieldValue.h"

#include "DbError.h"

#include <ibase.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace fb {

namespace {

template <class T>
T load(const char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Firebird counts days from 17 November 1858 (the modified Julian day's origin).
constexpr qint64 kJulianDayOfFirebirdEpoch = 2400001;

QDate decodeDate(ISC_DATE days) { return QDate::fromJulianDay(kJulianDayOfFirebirdEpoch + days); }

QTime decodeTime(ISC_TIME tenThousandths) {
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(tenThousandths / 10));
}

QString decimalText(qint64 value, int scale) {
    if (scale >= 0) {
        QString text = QString::number(value);
        return scale == 0 ? text : text + QString(scale, QLatin1Char('0'));
    }
    const bool negative = value < 0;
    // Work on the magnitude as unsigned so that the smallest int64 survives.
    const quint64 magnitude = negative ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    QString digits = QString::number(magnitude).rightJustified(-scale + 1, QLatin1Char('0'));
    digits.insert(digits.size() + scale, QLatin1Char('.'));
    return negative ? QLatin1Char('-') + digits : digits;
}

} // namespace

bool ColumnInfo::isText() const { return type == SQL_TEXT || type == SQL_VARYING || blobInlined; }

bool ColumnInfo::isBlob() const { return type == SQL_BLOB && !blobInlined; }

QString dateDisplayFormat() { return QStringLiteral("dd.MM.yyyy"); }

QString dateTimeDisplayFormat() { return QStringLiteral("dd.MM.yyyy hh:mm:ss"); }

QString FieldValue::asString() const {
    if (isNull())
        return {};
    if (column_->blobInlined || column_->type == SQL_VARYING)
        return codec_->decode(data_, size_);
    switch (column_->type) {
    case SQL_TEXT: {
        int length = size_;
        while (length > 0 && data_[length - 1] == ' ')
            --length;
        return codec_->decode(data_, length);
    }
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        return decimalText(scaledInteger(), column_->scale);
    case SQL_FLOAT:
        return QString::number(load<float>(data_), 'g', 7);
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return QString::number(load<double>(data_), 'g', 15);
    case SQL_TYPE_DATE:
        return decodeDate(load<ISC_DATE>(data_)).toString(dateDisplayFormat());
    case SQL_TYPE_TIME:
        return decodeTime(load<ISC_TIME>(data_)).toString(QStringLiteral("hh:mm:ss"));
    case SQL_TIMESTAMP:
        return asDateTime().toString(dateTimeDisplayFormat());
    case SQL_BOOLEAN:
        return load<unsigned char>(data_) ? QStringLiteral("True") : QStringLiteral("False");
    case SQL_BLOB:
        return column_->subType == 1 ? QStringLiteral("(MEMO)") : QStringLiteral("(BLOB)");
    default:
        return QString::fromLatin1(QByteArray(data_, size_).toHex());
    }
}

qint64 FieldValue::scaledInteger() const {
    switch (column_->type) {
    case SQL_SHORT:
        return load<qint16>(data_);
    case SQL_LONG:
        return load<qint32>(data_);
    default:
        return load<qint64>(data_);
    }
}

qint64 FieldValue::asInt64() const {
    if (isNull())
        return 0;
    switch (column_->type) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
        qint64 value = scaledInteger();
        if (column_->scale < 0) {
            qint64 divisor = 1;
            for (int s = column_->scale; s < 0; ++s)
                divisor *= 10;
            const qint64 rest = value % divisor;
            value /= divisor;
            if (2 * (rest < 0 ? -rest : rest) >= divisor) // half away from zero
                value += rest > 0 ? 1 : -1;
        }
        for (int s = column_->scale; s > 0; --s)
            value *= 10;
        return value;
    }
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return std::llround(asDouble());
    case SQL_BOOLEAN:
        return load<unsigned char>(data_) ? 1 : 0;
    default: {
        if (!column_->isText())
            break;
        bool ok = false;
        const QString text = asString().trimmed();
        const qint64 value = text.toLongLong(&ok);
        if (ok)
            return value;
        throw DbError(QStringLiteral("'%1' не е цяло число").arg(text));
    }
    }
    throw DbError(QStringLiteral("Полето %1 не може да се прочете като число").arg(column_->name));
}

int FieldValue::asInteger() const {
    const qint64 value = asInt64();
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        throw DbError(QStringLiteral("%1 е извън обхвата на цяло число").arg(value));
    return static_cast<int>(value);
}

double FieldValue::asDouble() const {
    if (isNull())
        return 0.0;
    switch (column_->type) {
    case SQL_FLOAT:
        return load<float>(data_);
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return load<double>(data_);
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        return static_cast<double>(scaledInteger()) * std::pow(10.0, column_->scale);
    default: {
        bool ok = false;
        const double value = asString().trimmed().toDouble(&ok);
        if (ok)
            return value;
        throw DbError(QStringLiteral("'%1' не е число").arg(asString()));
    }
    }
}

QDateTime FieldValue::asDateTime() const {
    if (isNull())
        return {};
    switch (column_->type) {
    case SQL_TIMESTAMP: {
        const auto stamp = load<ISC_TIMESTAMP>(data_);
        return QDateTime(decodeDate(stamp.timestamp_date), decodeTime(stamp.timestamp_time));
    }
    case SQL_TYPE_DATE:
        return QDateTime(decodeDate(load<ISC_DATE>(data_)), QTime(0, 0));
    default:
        throw DbError(QStringLiteral("Полето %1 не е дата").arg(column_->name));
    }
}

BlobId FieldValue::blobId() const {
    BlobId id{};
    if (!isNull() && column_->isBlob() && size_ == static_cast<int>(id.size()))
        std::memcpy(id.data(), data_, id.size());
    return id;
}

} // namespace fb
