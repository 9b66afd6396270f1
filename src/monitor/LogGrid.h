#pragma once

#include "IBComponents.h"
#include "LogTableModel.h"

#include <QHash>
#include <QLineEdit>
#include <QObject>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QWidget>

#include <vector>

namespace monitor {

// One column of the grid's table view: the field it shows, its design width (the share of
// the width it gets) and its place in the default sort.
class GridColumn : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString fieldName READ fieldName CONSTANT)
    Q_PROPERTY(int designWidth READ designWidth CONSTANT)
    Q_PROPERTY(int sortIndex READ sortIndex CONSTANT)
    Q_PROPERTY(Qt::SortOrder sortOrder READ sortOrder CONSTANT)
public:
    GridColumn(const QString& name, const QString& fieldName, int designWidth, int sortIndex,
               Qt::SortOrder sortOrder, QObject* parent);

    QString fieldName() const { return fieldName_; }
    int designWidth() const { return designWidth_; }
    // -1: not sorted by default; 0: the first sort key.
    int sortIndex() const { return sortIndex_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

private:
    QString fieldName_;
    int designWidth_;
    int sortIndex_;
    Qt::SortOrder sortOrder_;
};

// Draws a cell's text wrapped to the cell's width, keeping the laid-out text between
// reloads: most lines of a reload were already on screen the time before.
class LogItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static constexpr int kHorizontalMargin = 4;
    static constexpr int kVerticalMargin = 2;

private:
    const QStaticText& layout(const QString& text, int width, Qt::Alignment alignment,
                              const QFont& font) const;

    mutable QHash<size_t, QStaticText> layouts_;
};

// The table view: read-only; the columns always share the viewport's width in proportion
// to their widths (a column the user resizes takes its width from its neighbours); each
// visible row is as tall as its tallest cell. Only rows on screen are measured, so a
// reload costs the same for a hundred lines as for a hundred thousand.
class LogTableView : public QTableView {
    Q_OBJECT
public:
    explicit LogTableView(QWidget* parent = nullptr);

    void setColumnWeights(const std::vector<double>& weights);
    const std::vector<double>& columnWeights() const { return weights_; }

    // Measures the rows now on screen and sets their heights.
    void fitVisibleRows();
    // Puts measured rows back to one line (their contents changed).
    void resetRowHeights();
    // Also forgets the heights measured so far (the columns' widths changed).
    void forgetMeasurements();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void applyColumnWidths();
    void columnResized(int logicalIndex, int oldSize, int newSize);
    void scheduleFit();

    std::vector<double> weights_;
    std::vector<int> measuredRows_;
    // Heights by the texts of a row: a reload that brings a few new lines measures only those.
    QHash<size_t, int> knownHeights_;
    bool settingWidths_ = false;
    bool fitting_ = false;
    bool fitPending_ = false;
};

// The row under the table that shows the footer summaries, its cells lined up with the columns.
class LogGridFooter : public QWidget {
    Q_OBJECT
public:
    explicit LogGridFooter(QTableView* view, QWidget* parent = nullptr);

    void setCellText(int logicalColumn, const QString& text);
    QString cellText(int logicalColumn) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTableView* view_;
    std::vector<QString> texts_;
};

// The log grid: an optional message filter, the table view over the log and its footer.
class LogGrid : public QWidget {
    Q_OBJECT
public:
    explicit LogGrid(QWidget* parent = nullptr);

    // Binds the view to the data source's dataset (null unbinds).
    void setDataSource(fb::TDataSource* source);

    LogTableView* view() const { return cxGrid1DBTableView1; }
    LogTableModel* model() const { return model_; }
    LogGridFooter* footer() const { return footer_; }
    QLineEdit* filterEdit() const { return filterEdit_; }
    const std::vector<GridColumn*>& columns() const { return columns_; }

    // The field shown in a row of the view (display text), for checks and copying.
    QString text(int row, const QString& fieldName) const;

    QObject* cxGrid1Level1 = nullptr;
    LogTableView* cxGrid1DBTableView1 = nullptr;
    GridColumn* cxGrid1DBTableView1LOG_ID = nullptr;
    GridColumn* cxGrid1DBTableView1LOG_MSG = nullptr;
    GridColumn* cxGrid1DBTableView1LOG_TS = nullptr;

private:
    void afterReload();
    void sortChanged();
    void updateFooter();

    LogTableModel* model_ = nullptr;
    LogGridFooter* footer_ = nullptr;
    QLineEdit* filterEdit_ = nullptr;
    std::vector<GridColumn*> columns_;
};

} // namespace monitor
