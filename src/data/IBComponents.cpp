#include "IBComponents.h"

#include "FbClient.h"

#include <ibase.h>

#include <cstring>

namespace fb {

namespace {

[[noreturn]] void notConnected() { throw DbError(QStringLiteral("Няма връзка с базата данни")); }
[[noreturn]] void noTransaction() { throw DbError(QStringLiteral("Транзакцията не е активна")); }

QString paramValue(const QStringList& params, const QString& key) {
    for (const QString& line : params) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return {};
}

} // namespace

// ---- TIBDatabase ----

QByteArray TIBDatabase::databaseParameterBuffer() const {
    struct Item {
        const char* name;
        char code;
    };
    static constexpr Item kItems[] = {{"user_name", isc_dpb_user_name},
                                      {"password", isc_dpb_password},
                                      {"lc_ctype", isc_dpb_lc_ctype},
                                      {"sql_role_name", isc_dpb_sql_role_name}};
    QByteArray dpb;
    dpb.append(static_cast<char>(isc_dpb_version1));
    for (const QString& line : Params) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        for (const Item& item : kItems) {
            if (key.compare(QLatin1String(item.name), Qt::CaseInsensitive) != 0)
                continue;
            QByteArray value = line.mid(eq + 1).toLocal8Bit();
            value.truncate(255);
            dpb.append(item.code);
            dpb.append(static_cast<char>(value.size()));
            dpb.append(value);
        }
    }
    return dpb;
}

TextCodec TIBDatabase::codec() const {
    const QString charset = paramValue(Params, QStringLiteral("lc_ctype"));
    return TextCodec(charset.isEmpty() ? QStringLiteral("NONE") : charset);
}

void TIBDatabase::Open() {
    if (Connected())
        return;
    if (BeforeConnect)
        BeforeConnect();
    attachment_ = std::make_unique<Attachment>(DatabaseName.toLocal8Bit(), databaseParameterBuffer(), codec());
    if (AfterConnect)
        AfterConnect();
}

void TIBDatabase::Close() {
    if (!attachment_)
        return;
    std::unique_ptr<Attachment> attachment = std::move(attachment_);
    attachment->detach();
}

Attachment& TIBDatabase::attachment() const {
    if (!attachment_)
        notConnected();
    return *attachment_;
}

// ---- TIBTransaction ----

TIBTransaction::~TIBTransaction() = default; // an active transaction commits as it goes

QByteArray TIBTransaction::transactionParameterBuffer() const {
    struct Item {
        const char* name;
        char code;
    };
    static constexpr Item kItems[] = {
        {"read_committed", isc_tpb_read_committed}, {"rec_version", isc_tpb_rec_version},
        {"no_rec_version", isc_tpb_no_rec_version}, {"nowait", isc_tpb_nowait},
        {"wait", isc_tpb_wait},                     {"concurrency", isc_tpb_concurrency},
        {"consistency", isc_tpb_consistency},       {"read", isc_tpb_read},
        {"write", isc_tpb_write},
    };
    QByteArray tpb;
    tpb.append(static_cast<char>(isc_tpb_version3));
    for (const QString& line : Params) {
        for (const Item& item : kItems)
            if (line.trimmed().compare(QLatin1String(item.name), Qt::CaseInsensitive) == 0)
                tpb.append(item.code);
    }
    return tpb;
}

void TIBTransaction::StartTransaction() {
    if (Active())
        throw DbError(QStringLiteral("Транзакцията вече е активна"));
    transaction_.reset();
    transaction_ = std::make_unique<Transaction>(database_.attachment(), transactionParameterBuffer());
}

Transaction& TIBTransaction::transaction() const {
    if (!Active())
        noTransaction();
    return *transaction_;
}

void TIBTransaction::CommitRetaining() { transaction().commitRetaining(); }

void TIBTransaction::RollbackRetaining() { transaction().rollbackRetaining(); }

void TIBTransaction::Commit() {
    transaction().commit();
    transaction_.reset();
}

void TIBTransaction::Rollback() {
    transaction().rollback();
    transaction_.reset();
}

// ---- TIBSQL ----

void TIBSQL::setSQL(const QString& text) {
    statement_.reset();
    sql_ = text;
}

void TIBSQL::Prepare() {
    if (!database_.Connected())
        notConnected();
    if (!transaction_.Active())
        noTransaction();
    statement_.reset();
    statement_ = std::make_unique<Statement>(transaction_.transaction(), sql_);
}

TIBParam TIBSQL::ParamByName(const QString& name) {
    if (!statement_)
        Prepare();
    if (!statement_->hasParameter(name))
        throw DbError(QStringLiteral("Параметърът %1 не е намерен").arg(name));
    return TIBParam(*statement_, name);
}

void TIBSQL::ExecQuery() {
    if (!statement_)
        Prepare();
    statement_->execute(transaction_.transaction());
    if (statement_->isSelect())
        statement_->fetch();
}

FieldValue TIBSQL::FieldByName(const QString& name) const {
    const int index = statement_ ? statement_->columnIndex(name) : -1;
    if (index < 0)
        throw DbError(QStringLiteral("Полето %1 не е намерено").arg(name));
    return statement_->column(index);
}

void TIBSQL::Close() {
    if (statement_)
        statement_->closeCursor();
}

// ---- TIBDataSet ----

TIBDataSet::TIBDataSet(TIBDatabase& database, TIBTransaction& transaction, QObject* parent)
    : QObject(parent), database_(database), transaction_(transaction) {}

TIBDataSet::~TIBDataSet() = default;

void TIBDataSet::setSelectSQL(const QString& text) {
    Close();
    select_.reset();
    columns_.clear();
    selectSql_ = text;
}

void TIBDataSet::setModifySQL(const QString& text) {
    modify_.reset();
    modifySql_ = text;
}

void TIBDataSet::Open() {
    if (Active())
        return;
    database_.Open();
    if (!transaction_.Active())
        transaction_.StartTransaction();
    if (!select_)
        select_ = std::make_unique<Statement>(transaction_.transaction(), selectSql_);
    select_->execute(transaction_.transaction());
    columns_.clear();
    for (int i = 0; i < select_->columnCount(); ++i) {
        ColumnInfo column = select_->columnInfo(i);
        column.blobInlined = inlineTextBlobs_ && column.type == SQL_BLOB && column.subType == 1;
        columns_.push_back(column);
    }
    arena_.clear();
    cells_.clear();
    rowCount_ = 0;
    allFetched_ = false;
    pending_.clear();
    state_ = State::Browse;
    try {
        fetchOne();
    } catch (...) {
        Close();
        throw;
    }
    current_ = rowCount_ > 0 ? 0 : -1;
    eof_ = rowCount_ == 0;
    emit afterOpen();
}

void TIBDataSet::Close() {
    if (!Active())
        return;
    emit beforeClose();
    if (select_)
        select_->closeCursor();
    state_ = State::Inactive;
    pending_.clear();
    std::vector<char>().swap(arena_);
    std::vector<Cell>().swap(cells_);
    rowCount_ = 0;
    current_ = -1;
    eof_ = true;
    allFetched_ = true;
    emit afterClose();
}

bool TIBDataSet::fetchOne() {
    if (allFetched_)
        return false;
    if (!select_->fetch()) {
        allFetched_ = true;
        return false;
    }
    storeCurrentRow();
    return true;
}

void TIBDataSet::storeCurrentRow() {
    const int columnCount = static_cast<int>(columns_.size());
    for (int c = 0; c < columnCount; ++c) {
        const FieldValue v = select_->column(c);
        if (v.isNull()) {
            cells_.push_back({0, -1});
            continue;
        }
        if (columns_[static_cast<size_t>(c)].blobInlined) {
            BlobReadStream stream(transaction_.transaction(), v.blobId(), false);
            const qint64 offset = static_cast<qint64>(arena_.size());
            char chunk[65535];
            for (qint64 got; (got = stream.read(chunk, sizeof chunk)) > 0;)
                arena_.insert(arena_.end(), chunk, chunk + got);
            cells_.push_back({offset, static_cast<int>(static_cast<qint64>(arena_.size()) - offset)});
            continue;
        }
        const qint64 offset = static_cast<qint64>(arena_.size());
        arena_.insert(arena_.end(), v.data(), v.data() + v.size());
        cells_.push_back({offset, v.size()});
    }
    ++rowCount_;
}

void TIBDataSet::FetchAll() {
    if (!Active() || allFetched_)
        return;
    const int first = rowCount_;
    while (fetchOne()) {
    }
    if (rowCount_ > first)
        emit rowsFetched(first, rowCount_ - 1);
}

bool TIBDataSet::First() {
    if (!Active())
        return false;
    current_ = rowCount_ > 0 ? 0 : -1;
    eof_ = rowCount_ == 0;
    pending_.clear();
    return !eof_;
}

bool TIBDataSet::Next() {
    if (!Active() || eof_)
        return false;
    pending_.clear();
    if (current_ + 1 >= rowCount_) {
        const int before = rowCount_;
        if (!fetchOne()) {
            eof_ = true;
            return false;
        }
        emit rowsFetched(before, rowCount_ - 1);
    }
    ++current_;
    return true;
}

bool TIBDataSet::Locate(const QString& fieldName, const QString& value) {
    const int column = requireField(fieldName);
    for (int row = 0;; ++row) {
        if (row >= rowCount_) {
            const int before = rowCount_;
            if (!fetchOne())
                return false;
            emit rowsFetched(before, rowCount_ - 1);
        }
        if (this->value(row, column).asString() == value) {
            pending_.clear();
            current_ = row;
            eof_ = false;
            return true;
        }
    }
}

int TIBDataSet::FieldCount() const { return static_cast<int>(columns_.size()); }

QString TIBDataSet::FieldName(int index) const { return columns_.at(static_cast<size_t>(index)).name; }

const ColumnInfo& TIBDataSet::columnInfo(int index) const { return columns_.at(static_cast<size_t>(index)); }

int TIBDataSet::FieldIndex(const QString& name) const {
    const QString key = name.toUpper();
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].name == key)
            return static_cast<int>(i);
    return -1;
}

int TIBDataSet::requireField(const QString& name) const {
    const int index = FieldIndex(name);
    if (index < 0)
        throw DbError(QStringLiteral("Полето %1 не е намерено").arg(name));
    return index;
}

FieldValue TIBDataSet::cellValue(const std::vector<Cell>& cells, size_t base, int column) const {
    const Cell& cell = cells[base + static_cast<size_t>(column)];
    const ColumnInfo* info = &columns_[static_cast<size_t>(column)];
    if (cell.size < 0)
        return FieldValue(info, nullptr, -1, &select_->codec());
    return FieldValue(info, arena_.data() + cell.offset, cell.size, &select_->codec());
}

FieldValue TIBDataSet::value(int row, int column) const {
    if (row < 0 || row >= rowCount_ || column < 0 || column >= FieldCount())
        return {};
    return cellValue(cells_, static_cast<size_t>(row) * columns_.size(), column);
}

FieldValue TIBDataSet::FieldByName(const QString& name) const {
    const int column = requireField(name);
    if (current_ < 0)
        return FieldValue(&columns_[static_cast<size_t>(column)], nullptr, -1, &select_->codec());
    const auto edited = pending_.find(column);
    if (edited != pending_.end()) {
        const ColumnInfo* info = &columns_[static_cast<size_t>(column)];
        if (!edited->second)
            return FieldValue(info, nullptr, -1, &select_->codec());
        return FieldValue(info, edited->second->constData(), static_cast<int>(edited->second->size()),
                          &select_->codec());
    }
    return value(current_, column);
}

void TIBDataSet::Edit() {
    if (!Active())
        throw DbError(QStringLiteral("Наборът от данни не е отворен"));
    if (current_ < 0)
        throw DbError(QStringLiteral("Няма текущ запис за редактиране"));
    state_ = State::Edit;
}

void TIBDataSet::Cancel() {
    pending_.clear();
    if (state_ == State::Edit)
        state_ = State::Browse;
}

void TIBDataSet::Post() {
    if (state_ != State::Edit)
        return;
    if (!modify_)
        modify_ = std::make_unique<Statement>(transaction_.transaction(), modifySql_);
    for (const QString& name : modify_->parameterNames()) {
        const bool old = name.startsWith(QLatin1String("OLD_"));
        const QString field = old ? name.mid(4) : name;
        const int column = FieldIndex(field);
        if (column < 0)
            throw DbError(QStringLiteral("Полето %1 не е намерено").arg(field));
        modify_->setParameter(name, ParamValue::raw(old ? value(current_, column) : FieldByName(field)));
    }
    modify_->execute(transaction_.transaction());
    for (const auto& [column, content] : pending_) {
        if (content)
            replaceCell(current_, column, content->constData(), static_cast<int>(content->size()));
        else
            replaceCell(current_, column, nullptr, -1);
    }
    pending_.clear();
    state_ = State::Browse;
}

void TIBDataSet::replaceCell(int row, int column, const char* data, int size) {
    Cell& cell = cells_[static_cast<size_t>(row) * columns_.size() + static_cast<size_t>(column)];
    if (size < 0) {
        cell = {0, -1};
        return;
    }
    cell.offset = static_cast<qint64>(arena_.size());
    cell.size = size;
    arena_.insert(arena_.end(), data, data + size);
}

std::unique_ptr<BlobReadStream> TIBDataSet::CreateBlobReadStream(const QString& fieldName) const {
    const FieldValue v = FieldByName(fieldName);
    return std::make_unique<BlobReadStream>(transaction_.transaction(), v.blobId(), v.isNull());
}

std::unique_ptr<BlobWriteStream> TIBDataSet::CreateBlobWriteStream(const QString& fieldName) {
    const int column = requireField(fieldName);
    if (state_ != State::Edit)
        throw DbError(QStringLiteral("Наборът от данни не е в режим на редактиране"));
    return std::make_unique<BlobWriteStream>(transaction_.transaction(), [this, column](const BlobId& id) {
        if (state_ == State::Edit)
            pending_[column] = QByteArray(reinterpret_cast<const char*>(id.data()), static_cast<qsizetype>(id.size()));
    });
}

} // namespace fb
