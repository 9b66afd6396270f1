#include "LogTableModel.h"

#include "LookAndFeel.h"

#include <ibase.h>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace monitor {

namespace {

bool isIntegerType(unsigned type) {
    return type == SQL_SHORT || type == SQL_LONG || type == SQL_INT64;
}

bool isTemporalType(unsigned type) {
    return type == SQL_TIMESTAMP || type == SQL_TYPE_DATE || type == SQL_TYPE_TIME;
}

// Sort keys of one column for every dataset row: numbers and time stamps compare as integers
// read straight from the stored bytes; anything else compares as text.
class SortKeys {
public:
    SortKeys(const fb::TIBDataSet& dataSet, int column, int rows) {
        const unsigned type = dataSet.columnInfo(column).type;
        text_ = !isIntegerType(type) && !isTemporalType(type);
        null_.resize(static_cast<size_t>(rows));
        if (text_)
            texts_.resize(static_cast<size_t>(rows));
        else
            numbers_.resize(static_cast<size_t>(rows));
        for (int row = 0; row < rows; ++row) {
            const fb::FieldValue v = dataSet.value(row, column);
            const auto r = static_cast<size_t>(row);
            null_[r] = v.isNull();
            if (null_[r])
                continue;
            if (text_)
                texts_[r] = v.asString().toCaseFolded(); // folded once, compared cheaply
            else if (isIntegerType(type))
                numbers_[r] = v.asInt64();
            else
                numbers_[r] = temporalKey(type, v.data());
        }
    }

    int compare(int a, int b) const {
        const auto i = static_cast<size_t>(a), j = static_cast<size_t>(b);
        if (null_[i] || null_[j])
            return int(null_[j]) - int(null_[i]); // nulls first, as the server orders them
        if (text_)
            return QString::compare(texts_[i], texts_[j]);
        return numbers_[i] < numbers_[j] ? -1 : numbers_[i] > numbers_[j] ? 1 : 0;
    }

private:
    static qint64 temporalKey(unsigned type, const char* data) {
        ISC_DATE date = 0;
        ISC_TIME time = 0;
        if (type == SQL_TIMESTAMP) {
            std::memcpy(&date, data, sizeof date);
            std::memcpy(&time, data + sizeof date, sizeof time);
        } else if (type == SQL_TYPE_DATE) {
            std::memcpy(&date, data, sizeof date);
        } else {
            std::memcpy(&time, data, sizeof time);
        }
        return qint64(date) * 864'000'000 + qint64(time); // time in 1/10000 s
    }

    bool text_ = false;
    std::vector<char> null_;
    std::vector<qint64> numbers_;
    std::vector<QString> texts_;
};

// Control characters other than line breaks and tabs draw as nothing at all; bytes that had
// no place in the connection's character set often end up as such (0x98 in WIN1251), so they
// are shown as the replacement mark.
bool isInvisibleControl(char16_t u) {
    return (u < 0x20 && u != u'\n' && u != u'\r' && u != u'\t') || (u >= 0x7f && u < 0xa0);
}

QString printable(QString text) {
    const auto first =
        std::find_if(text.cbegin(), text.cend(), [](QChar c) { return isInvisibleControl(c.unicode()); });
    if (first == text.cend())
        return text;
    for (qsizetype i = first - text.cbegin(); i < text.size(); ++i)
        if (isInvisibleControl(text[i].unicode()))
            text[i] = QChar::ReplacementCharacter;
    return text;
}

} // namespace

LogTableModel::LogTableModel(const QStringList& fields, QObject* parent)
    : QAbstractTableModel(parent), fields_(fields), fieldIndex_(static_cast<size_t>(fields.size()), -1) {}

void LogTableModel::setDataSource(fb::TDataSource* source) {
    if (dataSet_)
        disconnect(dataSet_, nullptr, this, nullptr);
    dataSet_ = source ? source->DataSet : nullptr;
    if (dataSet_) {
        connect(dataSet_, &fb::TIBDataSet::afterOpen, this, &LogTableModel::reload);
        connect(dataSet_, &fb::TIBDataSet::rowsFetched, this, &LogTableModel::reload);
        connect(dataSet_, &fb::TIBDataSet::afterClose, this, &LogTableModel::reload);
    }
    reload();
}

void LogTableModel::reload() {
    beginResetModel();
    resolveColumns();
    rebuild();
    endResetModel();
    emit reloaded();
}

void LogTableModel::resolveColumns() {
    for (qsizetype i = 0; i < fields_.size(); ++i)
        fieldIndex_[static_cast<size_t>(i)] =
            dataSet_ && dataSet_->Active() ? dataSet_->FieldIndex(fields_[i]) : -1;
}

void LogTableModel::rebuild() {
    map_.clear();
    order_ = Order::Same;
    total_ = dataSet_ && dataSet_->Active() ? dataSet_->RecordCount() : 0;
    shown_ = total_;
    if (total_ == 0)
        return;

    const int filterColumn = filterText_.isEmpty() ? -1 : dataSet_->FieldIndex(filterField_);
    const bool filtering = filterColumn >= 0;
    if (filtering) {
        map_.reserve(static_cast<size_t>(total_));
        for (int row = 0; row < total_; ++row)
            if (dataSet_->value(row, filterColumn).asString().contains(filterText_, Qt::CaseInsensitive))
                map_.push_back(row);
        order_ = Order::Mapped;
        shown_ = static_cast<int>(map_.size());
    }

    const int sortField = sortColumn_ >= 0 && sortColumn_ < int(fieldIndex_.size())
                              ? fieldIndex_[static_cast<size_t>(sortColumn_)]
                              : -1;
    if (sortField < 0 || shown_ < 2)
        return;
    const SortKeys keys(*dataSet_, sortField, total_);
    const int direction = sortOrder_ == Qt::AscendingOrder ? 1 : -1;
    auto rowAt = [&](int i) { return filtering ? map_[static_cast<size_t>(i)] : i; };

    // The usual case costs one pass: the rows already come in the wanted order, or in
    // exactly the opposite one.
    bool same = true, reversed = true;
    for (int i = 1; i < shown_ && (same || reversed); ++i) {
        const int c = direction * keys.compare(rowAt(i - 1), rowAt(i));
        same = same && c <= 0;
        reversed = reversed && c > 0;
    }
    if (same)
        return;
    if (reversed) {
        if (filtering)
            std::reverse(map_.begin(), map_.end());
        else
            order_ = Order::Reversed;
        return;
    }
    if (!filtering) {
        map_.resize(static_cast<size_t>(total_));
        std::iota(map_.begin(), map_.end(), 0);
        order_ = Order::Mapped;
    }
    // Stable, so ties keep the order in which the rows came.
    std::stable_sort(map_.begin(), map_.end(),
                     [&](int a, int b) { return direction * keys.compare(a, b) < 0; });
}

int LogTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

int LogTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(fields_.size());
}

int LogTableModel::dataSetRow(int row) const {
    if (row < 0 || row >= shown_)
        return -1;
    switch (order_) {
    case Order::Same:
        return row;
    case Order::Reversed:
        return total_ - 1 - row;
    case Order::Mapped:
        return map_[static_cast<size_t>(row)];
    }
    return -1;
}

int LogTableModel::rowOfDataSetRow(int dataSetRow) const {
    if (dataSetRow < 0 || dataSetRow >= total_)
        return -1;
    switch (order_) {
    case Order::Same:
        return dataSetRow;
    case Order::Reversed:
        return total_ - 1 - dataSetRow;
    case Order::Mapped: {
        const auto found = std::find(map_.begin(), map_.end(), dataSetRow);
        return found == map_.end() ? -1 : static_cast<int>(found - map_.begin());
    }
    }
    return -1;
}

int LogTableModel::currentRecordRow() const {
    return dataSet_ && dataSet_->Active() ? rowOfDataSetRow(dataSet_->RecNo()) : -1;
}

QVariant LogTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !dataSet_ || index.column() >= int(fieldIndex_.size()))
        return {};
    const int column = fieldIndex_[static_cast<size_t>(index.column())];
    if (column < 0)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const fb::FieldValue v = dataSet_->value(dataSetRow(index.row()), column);
        if (v.isNull())
            return {};
        if (v.column()->type == SQL_TIMESTAMP)
            return v.asDateTime().toString(app::dateTimeFormat());
        return v.column()->isText() ? printable(v.asString()) : v.asString();
    }
    case Qt::TextAlignmentRole: {
        // Tall rows (wrapped messages) read from their first line.
        const Qt::Alignment horizontal =
            isIntegerType(dataSet_->columnInfo(column).type) ? Qt::AlignRight : Qt::AlignLeft;
        return QVariant::fromValue(horizontal | Qt::AlignTop);
    }
    default:
        return {};
    }
}

QVariant LogTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < fields_.size())
        return fields_[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags LogTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void LogTableModel::sort(int column, Qt::SortOrder order) {
    if (column == sortColumn_ && order == sortOrder_)
        return;
    beginResetModel();
    sortColumn_ = column;
    sortOrder_ = order;
    rebuild();
    endResetModel();
}

void LogTableModel::setFilter(const QString& filterField, const QString& text) {
    if (filterField == filterField_ && text == filterText_)
        return;
    beginResetModel();
    filterField_ = filterField;
    filterText_ = text;
    rebuild();
    endResetModel();
}

} // namespace monitor
