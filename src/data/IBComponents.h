#pragma once

// The database components the programs' data module is made of: a connection with
// before- and after-connect events, the default transaction, a statement object and
// buffered datasets. They keep the behaviour the programs rely on (for instance: preparing
// needs an active transaction; opening a dataset connects and starts the transaction).

#include "Attachment.h"
#include "BlobStream.h"
#include "DbError.h"
#include "FieldValue.h"
#include "Statement.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace fb {

class TIBDatabase {
public:
    QString DatabaseName;
    // "user_name=...", "password=...", "lc_ctype=..." lines, sent in this order.
    QStringList Params;
    std::function<void()> BeforeConnect;
    std::function<void()> AfterConnect;

    TIBDatabase() = default;
    TIBDatabase(const TIBDatabase&) = delete;
    TIBDatabase& operator=(const TIBDatabase&) = delete;

    // Runs BeforeConnect, attaches, runs AfterConnect. Does nothing when connected.
    void Open();
    void Close();
    bool Connected() const { return attachment_ != nullptr; }

    // The database parameter buffer built from Params (exposed for tests).
    QByteArray databaseParameterBuffer() const;
    TextCodec codec() const;

    Attachment& attachment() const;

private:
    std::unique_ptr<Attachment> attachment_;
};

class TIBTransaction {
public:
    // Transaction parameters, one per line, e.g. "read_committed", "rec_version", "nowait".
    QStringList Params;

    explicit TIBTransaction(TIBDatabase& database) : database_(database) {}
    ~TIBTransaction();
    TIBTransaction(const TIBTransaction&) = delete;
    TIBTransaction& operator=(const TIBTransaction&) = delete;

    bool Active() const { return transaction_ && transaction_->active(); }
    // Raises when already active.
    void StartTransaction();
    void CommitRetaining();
    void RollbackRetaining();
    void Commit();
    void Rollback();

    // The transaction parameter buffer built from Params (exposed for tests).
    QByteArray transactionParameterBuffer() const;

    TIBDatabase& database() const { return database_; }
    // The running transaction; raises when none is active.
    Transaction& transaction() const;

private:
    TIBDatabase& database_;
    std::unique_ptr<Transaction> transaction_;
};

// Parameter of TIBSQL, set by name.
class TIBParam {
public:
    TIBParam(Statement& statement, QString name) : statement_(statement), name_(std::move(name)) {}
    void setAsInteger(qint64 value) { statement_.setParameter(name_, ParamValue::integer(value)); }
    void setAsString(const QString& value) {
        statement_.setParameter(name_, ParamValue::text(value, statement_.codec(), name_));
    }
    void clear() { statement_.setParameter(name_, ParamValue::null()); }

private:
    Statement& statement_;
    QString name_;
};

// A statement object: one statement at a time, a select fetches its first row on execute.
class TIBSQL {
public:
    TIBSQL(TIBDatabase& database, TIBTransaction& transaction) : database_(database), transaction_(transaction) {}
    TIBSQL(const TIBSQL&) = delete;
    TIBSQL& operator=(const TIBSQL&) = delete;

    // Replaces the statement text; the prepared statement is discarded.
    void setSQL(const QString& text);
    const QString& SQL() const { return sql_; }

    // Needs the database connected and the transaction active; does not start it.
    void Prepare();
    bool Prepared() const { return statement_ != nullptr; }
    // Raises DbError for an unknown name.
    TIBParam ParamByName(const QString& name);
    // Prepares if needed; a select then fetches its first row.
    void ExecQuery();
    bool Eof() const { return !statement_ || !statement_->hasRow(); }
    // A column of the fetched row; reads as null (0, empty text) when there is no row.
    // Raises DbError for an unknown name.
    FieldValue FieldByName(const QString& name) const;
    // Closes an open cursor; harmless when nothing is open.
    void Close();

private:
    TIBDatabase& database_;
    TIBTransaction& transaction_;
    QString sql_;
    std::unique_ptr<Statement> statement_;
};

// A buffered dataset over one select. Rows are fetched as far as they are needed and kept
// compactly (text without padding); values are decoded when read.
class TIBDataSet : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit };

    TIBDataSet(TIBDatabase& database, TIBTransaction& transaction, QObject* parent = nullptr);
    ~TIBDataSet() override;

    // Replacing the select text closes the dataset and discards the prepared statement.
    void setSelectSQL(const QString& text);
    const QString& SelectSQL() const { return selectSql_; }
    void setModifySQL(const QString& text);
    const QString& ModifySQL() const { return modifySql_; }

    // Connects the database if needed, starts the transaction if not active, runs the select
    // and moves to the first row.
    void Open();
    // Closes the cursor and drops the rows and any pending edit; the transaction stays.
    void Close();
    bool Active() const { return state_ != State::Inactive; }
    State state() const { return state_; }

    // Reads the remaining rows.
    void FetchAll();
    // Rows read so far.
    int RecordCount() const { return rowCount_; }
    bool IsEmpty() const { return rowCount_ == 0; }
    int RecNo() const { return current_; }
    bool First();
    bool Next();
    bool Eof() const { return eof_; }

    // Exact, case-sensitive match on the whole value; reads further rows as needed.
    // On success the row becomes the current one.
    bool Locate(const QString& fieldName, const QString& value);

    int FieldCount() const;
    QString FieldName(int index) const;
    int FieldIndex(const QString& name) const;
    const ColumnInfo& columnInfo(int index) const;
    // A field of the current row (with a pending edit applied); null when there is no row.
    FieldValue FieldByName(const QString& name) const;
    // A value of any row read so far, as stored (no pending edit).
    FieldValue value(int row, int column) const;

    void Edit();
    // Writes the edited row through the modify statement: a parameter OLD_<field> gets the
    // field's value as it was read, any other parameter the field's current value.
    void Post();
    void Cancel();

    std::unique_ptr<BlobReadStream> CreateBlobReadStream(const QString& fieldName) const;
    // In edit mode only; the new content goes to the field when the stream is closed.
    std::unique_ptr<BlobWriteStream> CreateBlobWriteStream(const QString& fieldName);

    // Blob text columns (for instance a long log message) are read into the row as text.
    void setInlineTextBlobs(bool inlined) { inlineTextBlobs_ = inlined; }

signals:
    void afterOpen();
    void beforeClose();
    void afterClose();
    // Rows were added by a later fetch.
    void rowsFetched(int first, int last);

private:
    struct Cell {
        qint64 offset;
        int size; // -1: null
    };

    int requireField(const QString& name) const;
    bool fetchOne();
    void storeCurrentRow();
    FieldValue cellValue(const std::vector<Cell>& cells, size_t base, int column) const;
    void replaceCell(int row, int column, const char* data, int size);

    TIBDatabase& database_;
    TIBTransaction& transaction_;
    QString selectSql_;
    QString modifySql_;
    std::unique_ptr<Statement> select_;
    std::unique_ptr<Statement> modify_;
    std::vector<ColumnInfo> columns_;
    std::vector<char> arena_;
    std::vector<Cell> cells_; // rowCount_ * columns
    int rowCount_ = 0;
    int current_ = -1;
    bool eof_ = true;
    bool allFetched_ = true;
    State state_ = State::Inactive;
    bool inlineTextBlobs_ = false;
    std::map<int, std::optional<QByteArray>> pending_; // edited fields of the current row
};

// Binds a dataset to whatever shows it.
class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(TIBDataSet* dataSet, QObject* parent = nullptr) : QObject(parent), DataSet(dataSet) {}
    TIBDataSet* const DataSet;
};

} // namespace fb
