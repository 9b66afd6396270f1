#pragma once

#include "IBComponents.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>

#include <vector>

namespace monitor {

// The log grid's rows: a read-only table over the rows a dataset already holds. Values are
// decoded only when a cell is asked for. The grid's own sort and filter live here as a map
// from shown rows to dataset rows, rebuilt once per reload; when the rows already arrive in
// the wanted order (or exactly reversed) no map is built at all.
class LogTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // `fields`: the dataset fields shown, left to right; each header shows its field's name.
    explicit LogTableModel(const QStringList& fields, QObject* parent = nullptr);

    // Follows the data source's dataset: reloads on open, on fetched rows and on close.
    void setDataSource(fb::TDataSource* source);
    fb::TIBDataSet* dataSet() const { return dataSet_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }
    // Rows whose text in `filterField` contains `text` (case-insensitive); empty shows all.
    void setFilter(const QString& filterField, const QString& text);
    const QString& filterText() const { return filterText_; }

    // Row of the dataset shown at `row`, and back (-1 when not shown).
    int dataSetRow(int row) const;
    int rowOfDataSetRow(int dataSetRow) const;
    // The shown row of the dataset's current record, -1 when there is none or it is filtered out.
    int currentRecordRow() const;
    QString fieldName(int column) const { return fields_.value(column); }

signals:
    // The rows were read anew from the dataset (not re-sorted or re-filtered by the user).
    void reloaded();

private:
    enum class Order { Same, Reversed, Mapped };

    void reload();
    void rebuild();
    void resolveColumns();

    QStringList fields_;
    std::vector<int> fieldIndex_; // dataset column of each shown field, -1 when absent
    QPointer<fb::TIBDataSet> dataSet_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    QString filterField_;
    QString filterText_;

    Order order_ = Order::Same;
    std::vector<int> map_; // shown row -> dataset row when order_ is Mapped
    int shown_ = 0;
    int total_ = 0;
};

} // namespace monitor
