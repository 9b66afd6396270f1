#pragma once

#include "Attachment.h"
#include "FieldValue.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace Firebird {
class IStatement;
class IResultSet;
class IMessageMetadata;
} // namespace Firebird

namespace fb {

// Rewrites ":NAME" parameters to "?" (outside string literals, quoted names and comments).
// `names` receives the parameter names in the order of the question marks.
QString rewriteNamedParameters(const QString& sql, QStringList& names);

// A value bound to an input parameter.
class ParamValue {
public:
    enum class Kind { Null, Integer, Text, Raw };

    static ParamValue null() { return {}; }
    static ParamValue integer(qint64 value);
    // Raises DbError when the text has a character that the codec's set cannot hold.
    static ParamValue text(const QString& value, const TextCodec& codec, const QString& paramName);
    // The bytes of a column value as they were read, with the column's own type.
    static ParamValue raw(const FieldValue& value);
    static ParamValue blob(const BlobId& id);

    Kind kind() const { return kind_; }
    qint64 integerValue() const { return integer_; }
    const QByteArray& bytes() const { return bytes_; }
    const ColumnInfo& rawType() const { return rawType_; }

private:
    Kind kind_ = Kind::Null;
    qint64 integer_ = 0;
    QByteArray bytes_;
    ColumnInfo rawType_;
};

// One prepared statement with named parameters. For a select, execute() opens the cursor;
// fetch() then moves to the next row, whose columns are read with column().
class Statement {
public:
    Statement(Transaction& transaction, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool isSelect() const { return isSelect_; }

    // Parameter names in order of appearance, each once (upper case).
    QStringList parameterNames() const;
    bool hasParameter(const QString& name) const;
    // Raises DbError for an unknown name.
    void setParameter(const QString& name, const ParamValue& value);

    // Runs the statement in `transaction`: a select opens its cursor, anything else executes
    // once (an EXECUTE PROCEDURE's output row becomes the current row).
    void execute(Transaction& transaction);
    // Next row of the open cursor; false at the end (the cursor is then closed).
    bool fetch();
    void closeCursor();
    bool cursorOpen() const { return cursor_ != nullptr; }
    bool hasRow() const { return hasRow_; }

    int columnCount() const { return static_cast<int>(columns_.size()); }
    const ColumnInfo& columnInfo(int index) const { return columns_[static_cast<size_t>(index)]; }
    // Index of a column by name (case-insensitive), -1 when there is none.
    int columnIndex(const QString& name) const;
    // The column of the current row; null when there is no current row.
    FieldValue column(int index) const;

    const TextCodec& codec() const { return attachment_.codec(); }
    Attachment& attachment() const { return attachment_; }

private:
    void describeOutput();

    Attachment& attachment_;
    Firebird::IStatement* handle_ = nullptr;
    Firebird::IResultSet* cursor_ = nullptr;
    Firebird::IMessageMetadata* inputMeta_ = nullptr;
    Firebird::IMessageMetadata* outputMeta_ = nullptr;
    bool isSelect_ = false;
    bool hasRow_ = false;
    QStringList positionalNames_;            // name of each "?" in order
    std::vector<ParamValue> positionalValues_; // value of each "?"
    std::vector<ColumnInfo> columns_;
    std::vector<char> row_;
};

} // namespace fb
