#include "Statement.h"

#include "FbClient.h"

#include <ibase.h>

#include <cstring>

namespace fb {

using namespace detail;

namespace {

bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$'); }

// Types the layer reads natively; any other column is delivered as text by the server.
bool isNativeType(unsigned type) {
    switch (type) {
    case SQL_TEXT:
    case SQL_VARYING:
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_BLOB:
    case SQL_BOOLEAN:
        return true;
    default:
        return false;
    }
}

constexpr unsigned kCoercedTextLength = 64;

template <class T>
void release(T*& handle) {
    if (handle) {
        handle->release();
        handle = nullptr;
    }
}

} // namespace

QString rewriteNamedParameters(const QString& sql, QStringList& names) {
    QString out;
    out.reserve(sql.size());
    names.clear();
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A literal or quoted name runs to the matching quote; a doubled quote stays inside.
            qsizetype j = i + 1;
            while (j < n) {
                if (sql[j] == c) {
                    if (j + 1 < n && sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            out += QStringView(sql).mid(i, j - i);
            i = j;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            qsizetype j = sql.indexOf(QLatin1Char('\n'), i);
            j = j < 0 ? n : j;
            out += QStringView(sql).mid(i, j - i);
            i = j;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
            qsizetype j = sql.indexOf(QStringLiteral("*/"), i + 2);
            j = j < 0 ? n : j + 2;
            out += QStringView(sql).mid(i, j - i);
            i = j;
        } else if (c == QLatin1Char(':') && i + 1 < n && isNameChar(sql[i + 1])) {
            qsizetype j = i + 1;
            while (j < n && isNameChar(sql[j]))
                ++j;
            names.append(sql.mid(i + 1, j - i - 1).toUpper());
            out += QLatin1Char('?');
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

ParamValue ParamValue::integer(qint64 value) {
    ParamValue p;
    p.kind_ = Kind::Integer;
    p.integer_ = value;
    return p;
}

ParamValue ParamValue::text(const QString& value, const TextCodec& codec, const QString& paramName) {
    ParamValue p;
    p.kind_ = Kind::Text;
    if (!codec.encode(value, p.bytes_))
        throw DbError(QStringLiteral("Текстът на параметъра %1 съдържа знак, който няма място в кодовата "
                                     "таблица %2")
                          .arg(paramName, codec.firebirdCharset()));
    if (p.bytes_.size() > 32765)
        throw DbError(QStringLiteral("Текстът на параметъра %1 е твърде дълъг").arg(paramName));
    return p;
}

ParamValue ParamValue::raw(const FieldValue& value) {
    ParamValue p;
    if (value.isNull())
        return p;
    p.kind_ = Kind::Raw;
    p.rawType_ = *value.column();
    p.bytes_ = QByteArray(value.data(), value.size());
    if (p.rawType_.blobInlined) {
        // Content read in place of the id goes back as text.
        p.kind_ = Kind::Text;
    }
    return p;
}

ParamValue ParamValue::blob(const BlobId& id) {
    ParamValue p;
    p.kind_ = Kind::Raw;
    p.rawType_.type = SQL_BLOB;
    p.rawType_.length = static_cast<unsigned>(id.size());
    p.bytes_ = QByteArray(reinterpret_cast<const char*>(id.data()), static_cast<qsizetype>(id.size()));
    return p;
}

Statement::Statement(Transaction& transaction, const QString& sql) : attachment_(transaction.attachment()) {
    const QString positional = rewriteNamedParameters(sql, positionalNames_);
    QByteArray text;
    if (!codec().encode(positional, text))
        throw DbError(QStringLiteral("Текстът на заявката съдържа знак, който няма място в кодовата таблица %1")
                          .arg(codec().firebirdCharset()));
    try {
        invoke(codec(), [&](auto* st) {
            handle_ = attachment_.handle()->prepare(st, transaction.handle(), static_cast<unsigned>(text.size()),
                                                    text.constData(), attachment_.dialect(),
                                                    Firebird::IStatement::PREPARE_PREFETCH_METADATA);
            const unsigned type = handle_->getType(st);
            isSelect_ = type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd;
            inputMeta_ = handle_->getInputMetadata(st);
            if (inputMeta_->getCount(st) != static_cast<unsigned>(positionalNames_.size())) {
                // Question marks written directly in the text: give them positional names.
                positionalNames_.clear();
                for (unsigned i = 0; i < inputMeta_->getCount(st); ++i)
                    positionalNames_.append(QString::number(i + 1));
            }
        });
        positionalValues_.resize(static_cast<size_t>(positionalNames_.size()));
        describeOutput();
    } catch (...) {
        release(inputMeta_);
        if (handle_) {
            QuietStatus st;
            handle_->free(&st);
            if (st.failed())
                handle_->release();
            handle_ = nullptr;
        }
        throw;
    }
}

Statement::~Statement() {
    closeCursor();
    release(inputMeta_);
    release(outputMeta_);
    if (handle_) {
        QuietStatus st;
        handle_->free(&st);
        if (st.failed())
            handle_->release();
    }
}

void Statement::describeOutput() {
    invoke(codec(), [&](auto* st) {
        Firebird::IMessageMetadata* described = handle_->getOutputMetadata(st);
        const unsigned count = described->getCount(st);
        bool coerce = false;
        for (unsigned i = 0; i < count; ++i)
            coerce = coerce || !isNativeType(described->getType(st, i));
        if (coerce) {
            Firebird::IMetadataBuilder* builder = described->getBuilder(st);
            for (unsigned i = 0; i < count; ++i) {
                if (isNativeType(described->getType(st, i)))
                    continue;
                builder->setType(st, i, SQL_VARYING);
                builder->setLength(st, i, kCoercedTextLength);
                builder->setCharSet(st, i, static_cast<unsigned>(codec().charsetId()));
                builder->setScale(st, i, 0);
            }
            outputMeta_ = builder->getMetadata(st);
            builder->release();
            described->release();
        } else {
            outputMeta_ = described;
        }
        columns_.resize(count);
        for (unsigned i = 0; i < count; ++i) {
            ColumnInfo& c = columns_[i];
            c.name = QString::fromUtf8(outputMeta_->getAlias(st, i)).toUpper();
            if (c.name.isEmpty())
                c.name = QString::fromUtf8(outputMeta_->getField(st, i)).toUpper();
            c.relation = QString::fromUtf8(outputMeta_->getRelation(st, i));
            c.type = outputMeta_->getType(st, i);
            c.subType = outputMeta_->getSubType(st, i);
            c.scale = outputMeta_->getScale(st, i);
            c.length = outputMeta_->getLength(st, i);
            c.charset = outputMeta_->getCharSet(st, i);
            c.offset = outputMeta_->getOffset(st, i);
            c.nullOffset = outputMeta_->getNullOffset(st, i);
        }
        row_.assign(outputMeta_->getMessageLength(st), 0);
    });
}

QStringList Statement::parameterNames() const {
    QStringList names;
    for (const QString& name : positionalNames_)
        if (!names.contains(name))
            names.append(name);
    return names;
}

bool Statement::hasParameter(const QString& name) const {
    return positionalNames_.contains(name.toUpper());
}

void Statement::setParameter(const QString& name, const ParamValue& value) {
    const QString key = name.toUpper();
    bool found = false;
    for (qsizetype i = 0; i < positionalNames_.size(); ++i) {
        if (positionalNames_[i] == key) {
            positionalValues_[static_cast<size_t>(i)] = value;
            found = true;
        }
    }
    if (!found)
        throw DbError(QStringLiteral("Параметърът %1 не е намерен").arg(name));
}

void Statement::execute(Transaction& transaction) {
    closeCursor();
    hasRow_ = false;
    Firebird::IMessageMetadata* inMeta = nullptr;
    std::vector<char> input;
    try {
        invoke(codec(), [&](auto* st) {
            const unsigned count = inputMeta_->getCount(st);
            if (count == 0)
                return;
            Firebird::IMetadataBuilder* builder = inputMeta_->getBuilder(st);
            try {
                for (unsigned i = 0; i < count; ++i) {
                    const ParamValue& value = positionalValues_[i];
                    switch (value.kind()) {
                    case ParamValue::Kind::Null:
                        break; // sent as null with its described type
                    case ParamValue::Kind::Integer:
                        builder->setType(st, i, SQL_INT64);
                        builder->setLength(st, i, sizeof(ISC_INT64));
                        builder->setScale(st, i, 0);
                        break;
                    case ParamValue::Kind::Text:
                        builder->setType(st, i, SQL_VARYING);
                        builder->setLength(st, i, static_cast<unsigned>(std::max<qsizetype>(value.bytes().size(), 1)));
                        builder->setCharSet(st, i, static_cast<unsigned>(codec().charsetId()));
                        builder->setScale(st, i, 0);
                        break;
                    case ParamValue::Kind::Raw: {
                        const ColumnInfo& type = value.rawType();
                        builder->setType(st, i, type.type);
                        builder->setSubType(st, i, type.subType);
                        builder->setLength(st, i, type.type == SQL_VARYING
                                                      ? static_cast<unsigned>(std::max<qsizetype>(value.bytes().size(), 1))
                                                      : type.length);
                        builder->setScale(st, i, type.scale);
                        builder->setCharSet(st, i, type.charset);
                        break;
                    }
                    }
                }
                inMeta = builder->getMetadata(st);
            } catch (...) {
                builder->release();
                throw;
            }
            builder->release();
            input.assign(inMeta->getMessageLength(st), 0);
            for (unsigned i = 0; i < count; ++i) {
                const ParamValue& value = positionalValues_[i];
                char* field = input.data() + inMeta->getOffset(st, i);
                auto* nullFlag = reinterpret_cast<short*>(input.data() + inMeta->getNullOffset(st, i));
                *nullFlag = value.kind() == ParamValue::Kind::Null ? -1 : 0;
                switch (value.kind()) {
                case ParamValue::Kind::Null:
                    break;
                case ParamValue::Kind::Integer: {
                    const ISC_INT64 v = value.integerValue();
                    std::memcpy(field, &v, sizeof v);
                    break;
                }
                case ParamValue::Kind::Text:
                case ParamValue::Kind::Raw:
                    if (inMeta->getType(st, i) == SQL_VARYING) {
                        const auto length = static_cast<ISC_USHORT>(value.bytes().size());
                        std::memcpy(field, &length, sizeof length);
                        std::memcpy(field + sizeof length, value.bytes().constData(), length);
                    } else {
                        std::memcpy(field, value.bytes().constData(),
                                    std::min<size_t>(static_cast<size_t>(value.bytes().size()),
                                                     inMeta->getLength(st, i)));
                    }
                    break;
                }
            }
        });
        invoke(codec(), [&](auto* st) {
            if (isSelect_) {
                cursor_ = handle_->openCursor(st, transaction.handle(), inMeta, input.empty() ? nullptr : input.data(),
                                              outputMeta_, 0);
            } else {
                const bool hasOutput = !columns_.empty();
                handle_->execute(st, transaction.handle(), inMeta, input.empty() ? nullptr : input.data(),
                                 hasOutput ? outputMeta_ : nullptr, hasOutput ? row_.data() : nullptr);
                hasRow_ = hasOutput;
            }
        });
    } catch (...) {
        release(inMeta);
        throw;
    }
    release(inMeta);
}

bool Statement::fetch() {
    if (!cursor_) {
        hasRow_ = false;
        return false;
    }
    int result;
    try {
        result = invoke(codec(), [&](auto* st) { return cursor_->fetchNext(st, row_.data()); });
    } catch (...) {
        // A cursor whose fetch failed is not closed again (the client library aborts on that);
        // dropping the reference frees it.
        std::exchange(cursor_, nullptr)->release();
        hasRow_ = false;
        throw;
    }
    hasRow_ = result == Firebird::IStatus::RESULT_OK;
    if (!hasRow_)
        closeCursor();
    return hasRow_;
}

void Statement::closeCursor() {
    if (!cursor_)
        return;
    Firebird::IResultSet* cursor = std::exchange(cursor_, nullptr);
    QuietStatus st;
    cursor->close(&st);
    if (st.failed())
        cursor->release();
}

int Statement::columnIndex(const QString& name) const {
    const QString key = name.toUpper();
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].name == key)
            return static_cast<int>(i);
    return -1;
}

FieldValue Statement::column(int index) const {
    if (!hasRow_ || index < 0 || index >= columnCount())
        return {};
    const ColumnInfo& c = columns_[static_cast<size_t>(index)];
    short nullFlag;
    std::memcpy(&nullFlag, row_.data() + c.nullOffset, sizeof nullFlag);
    if (nullFlag)
        return FieldValue(&c, nullptr, -1, &codec());
    const char* field = row_.data() + c.offset;
    if (c.type == SQL_VARYING) {
        ISC_USHORT length;
        std::memcpy(&length, field, sizeof length);
        return FieldValue(&c, field + sizeof length, length, &codec());
    }
    return FieldValue(&c, field, static_cast<int>(c.length), &codec());
}

} // namespace fb
