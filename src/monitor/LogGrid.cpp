#include "LogGrid.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace monitor {

namespace {
constexpr int kMinimumColumnWidth = 16;
const QString kFilterField = QStringLiteral("LOG_MSG");
} // namespace

// ---- GridColumn ----

GridColumn::GridColumn(const QString& name, const QString& fieldName, int designWidth, int sortIndex,
                       Qt::SortOrder sortOrder, QObject* parent)
    : QObject(parent), fieldName_(fieldName), designWidth_(designWidth), sortIndex_(sortIndex),
      sortOrder_(sortOrder) {
    setObjectName(name);
}

// ---- LogItemDelegate ----

const QStaticText& LogItemDelegate::layout(const QString& text, int width, Qt::Alignment alignment,
                                           const QFont& font) const {
    const size_t key = qHashMulti(0, text, width, int(alignment), font.key());
    auto found = layouts_.find(key);
    if (found != layouts_.end())
        return *found;
    if (layouts_.size() > 4000)
        layouts_.clear();
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    lines.replace(QLatin1Char('\n'), QChar::LineSeparator);
    lines.replace(QLatin1Char('\r'), QChar::LineSeparator);
    QStaticText laidOut(lines);
    laidOut.setTextFormat(Qt::PlainText);
    laidOut.setTextWidth(std::max(1, width));
    QTextOption textOption(alignment & Qt::AlignHorizontal_Mask);
    textOption.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    laidOut.setTextOption(textOption);
    laidOut.setPerformanceHint(QStaticText::AggressiveCaching);
    laidOut.prepare(QTransform(), font);
    return *layouts_.insert(key, laidOut);
}

void LogItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget); // background, selection, focus
    if (text.isEmpty())
        return;
    const QRect area =
        opt.rect.adjusted(kHorizontalMargin, kVerticalMargin, -kHorizontalMargin, -kVerticalMargin);
    const QStaticText& laidOut = layout(text, area.width(), opt.displayAlignment, opt.font);
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                            : QPalette::Inactive;
    painter->save();
    painter->setClipRect(opt.rect);
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                  : QPalette::Text));
    painter->drawStaticText(area.topLeft(), laidOut);
    painter->restore();
}

QSize LogItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const int width = opt.rect.width() > 0 ? opt.rect.width() - 2 * kHorizontalMargin
                                           : opt.fontMetrics.horizontalAdvance(opt.text);
    const QSizeF text = opt.text.isEmpty() ? QSizeF(0, opt.fontMetrics.height())
                                           : layout(opt.text, width, opt.displayAlignment, opt.font).size();
    return {static_cast<int>(std::ceil(text.width())) + 2 * kHorizontalMargin,
            static_cast<int>(std::ceil(text.height())) + 2 * kVerticalMargin};
}

// ---- LogTableView ----

LogTableView::LogTableView(QWidget* parent) : QTableView(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // A wrapped message may be taller than the window: scroll through it, not past it.
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setCornerButtonEnabled(false);
    setItemDelegate(new LogItemDelegate(this));

    QHeaderView* columns = horizontalHeader();
    columns->setSectionsMovable(true);
    columns->setSectionsClickable(true);
    columns->setSortIndicatorShown(true);
    columns->setStretchLastSection(false);
    columns->setHighlightSections(false);
    columns->setMinimumSectionSize(kMinimumColumnWidth);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(columns, &QHeaderView::sectionResized, this, &LogTableView::columnResized);

    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
}

void LogTableView::setColumnWeights(const std::vector<double>& weights) {
    weights_ = weights;
    applyColumnWidths();
}

void LogTableView::applyColumnWidths() {
    QHeaderView* header = horizontalHeader();
    const int count = header->count();
    if (count == 0 || static_cast<int>(weights_.size()) < count)
        return;
    const int available = viewport()->width();
    double sum = 0;
    for (int i = 0; i < count; ++i)
        sum += weights_[static_cast<size_t>(i)];
    if (available <= 0 || sum <= 0)
        return;
    // Round each share and give what rounding left over to the rightmost column, so the
    // columns fill the width exactly.
    std::vector<int> widths(static_cast<size_t>(count));
    int used = 0;
    for (int i = 0; i < count; ++i) {
        widths[static_cast<size_t>(i)] =
            std::max(kMinimumColumnWidth,
                     static_cast<int>(std::floor(available * weights_[static_cast<size_t>(i)] / sum)));
        used += widths[static_cast<size_t>(i)];
    }
    const int last = header->logicalIndex(count - 1);
    widths[static_cast<size_t>(last)] =
        std::max(kMinimumColumnWidth, widths[static_cast<size_t>(last)] + available - used);
    bool changed = false;
    {
        QScopedValueRollback guard(settingWidths_, true);
        for (int i = 0; i < count; ++i) {
            if (header->sectionSize(i) != widths[static_cast<size_t>(i)]) {
                header->resizeSection(i, widths[static_cast<size_t>(i)]);
                changed = true;
            }
        }
    }
    if (changed) {
        forgetMeasurements();
        scheduleFit();
    }
}

void LogTableView::columnResized(int logicalIndex, int oldSize, int newSize) {
    Q_UNUSED(oldSize);
    if (settingWidths_)
        return;
    // The user dragged a column edge: the nearest columns to its right (to its left, for the
    // last one) give or take the difference, and the new widths become the shares from now on.
    QHeaderView* header = horizontalHeader();
    const int count = header->count();
    const int available = viewport()->width();
    if (count < 2 || available <= 0)
        return;
    const int visual = header->visualIndex(logicalIndex);
    std::vector<int> neighbours; // nearest first
    for (int v = visual + 1; v < count; ++v)
        neighbours.push_back(header->logicalIndex(v));
    if (neighbours.empty())
        for (int v = visual - 1; v >= 0; --v)
            neighbours.push_back(header->logicalIndex(v));
    int othersWidth = 0;
    for (int v = 0; v < count; ++v)
        if (header->logicalIndex(v) != logicalIndex)
            othersWidth += header->sectionSize(header->logicalIndex(v));
    int neighboursWidth = 0;
    for (int logical : neighbours)
        neighboursWidth += header->sectionSize(logical);
    const int room = available - (othersWidth - neighboursWidth); // own width plus neighbours
    const int own =
        std::clamp(newSize, kMinimumColumnWidth,
                   std::max(kMinimumColumnWidth, room - kMinimumColumnWidth * int(neighbours.size())));
    int excess = own + neighboursWidth - room; // what the neighbours must give up (< 0: take)
    {
        QScopedValueRollback guard(settingWidths_, true);
        if (own != newSize)
            header->resizeSection(logicalIndex, own);
        for (int logical : neighbours) {
            if (excess == 0)
                break;
            const int width = header->sectionSize(logical);
            const int next = std::max(kMinimumColumnWidth, width - excess);
            excess -= width - next;
            header->resizeSection(logical, next);
        }
    }
    for (int i = 0; i < count; ++i)
        weights_[static_cast<size_t>(i)] = header->sectionSize(i);
    forgetMeasurements();
    scheduleFit();
}

void LogTableView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    applyColumnWidths();
    scheduleFit();
}

void LogTableView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
        forgetMeasurements();
        scheduleFit();
    }
}

void LogTableView::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    if (dy != 0)
        fitVisibleRows();
}

void LogTableView::scheduleFit() {
    if (fitPending_)
        return;
    fitPending_ = true;
    QTimer::singleShot(0, this, [this] {
        fitPending_ = false;
        fitVisibleRows();
    });
}

void LogTableView::fitVisibleRows() {
    if (fitting_ || !model())
        return;
    const int rows = model()->rowCount();
    int row = rows > 0 ? rowAt(0) : -1;
    if (row < 0)
        return;
    QScopedValueRollback guard(fitting_, true);
    QHeaderView* header = verticalHeader();
    const int minimum = header->defaultSectionSize();
    const int bottom = viewport()->height();
    int y = rowViewportPosition(row);
    QAbstractItemModel* items = model();
    const int columns = items->columnCount();
    if (knownHeights_.size() > 20000)
        knownHeights_.clear();
    while (row < rows && y < bottom) {
        size_t key = 0;
        for (int column = 0; column < columns; ++column)
            key = qHashMulti(key, items->index(row, column).data().toString());
        auto known = knownHeights_.constFind(key);
        if (known == knownHeights_.constEnd())
            known = knownHeights_.insert(key, std::max(minimum, sizeHintForRow(row)));
        const int height = *known;
        if (header->sectionSize(row) != height) {
            header->resizeSection(row, height);
            measuredRows_.push_back(row);
        }
        y += height;
        ++row;
    }
}

void LogTableView::resetRowHeights() {
    if (measuredRows_.empty())
        return;
    QHeaderView* header = verticalHeader();
    const int rows = header->count();
    const int height = header->defaultSectionSize();
    for (int row : measuredRows_)
        if (row < rows && header->sectionSize(row) != height)
            header->resizeSection(row, height);
    measuredRows_.clear();
}

void LogTableView::forgetMeasurements() {
    knownHeights_.clear();
    resetRowHeights();
}

// ---- LogGridFooter ----

LogGridFooter::LogGridFooter(QTableView* view, QWidget* parent) : QWidget(parent), view_(view) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    QHeaderView* header = view_->horizontalHeader();
    auto repaint = [this] { update(); };
    connect(header, &QHeaderView::sectionResized, this, repaint);
    connect(header, &QHeaderView::sectionMoved, this, repaint);
    connect(header, &QHeaderView::geometriesChanged, this, repaint);
}

void LogGridFooter::setCellText(int logicalColumn, const QString& text) {
    if (logicalColumn < 0)
        return;
    if (static_cast<int>(texts_.size()) <= logicalColumn)
        texts_.resize(static_cast<size_t>(logicalColumn) + 1);
    if (texts_[static_cast<size_t>(logicalColumn)] == text)
        return;
    texts_[static_cast<size_t>(logicalColumn)] = text;
    update();
}

QString LogGridFooter::cellText(int logicalColumn) const {
    return logicalColumn >= 0 && logicalColumn < static_cast<int>(texts_.size())
               ? texts_[static_cast<size_t>(logicalColumn)]
               : QString();
}

QSize LogGridFooter::sizeHint() const {
    return {100, fontMetrics().height() + 8};
}

void LogGridFooter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    painter.fillRect(rect(), pal.color(QPalette::Window));
    painter.setPen(pal.color(QPalette::Mid));
    painter.drawLine(rect().topLeft(), rect().topRight());
    QHeaderView* header = view_->horizontalHeader();
    // Cells start where the view's viewport starts.
    QWidget* common = window();
    const int left = mapFrom(common, view_->viewport()->mapTo(common, QPoint(0, 0))).x();
    painter.setPen(pal.color(QPalette::WindowText));
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (header->isSectionHidden(logical))
            continue;
        const QRect cell(left + header->sectionViewportPosition(logical), 0, header->sectionSize(logical),
                         height());
        painter.setPen(pal.color(QPalette::Mid));
        painter.drawLine(cell.topRight(), cell.bottomRight());
        const QString text = cellText(logical);
        if (text.isEmpty())
            continue;
        painter.setPen(pal.color(QPalette::WindowText));
        painter.drawText(cell.adjusted(4, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(text, Qt::ElideLeft, cell.width() - 8));
    }
}

// ---- LogGrid ----

LogGrid::LogGrid(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("cxGrid1"));
    setAutoFillBackground(true); // covers what lies beneath in the client area

    auto* filterBar = new QWidget(this);
    filterBar->setObjectName(QStringLiteral("cxGrid1FilterBar"));
    auto* filterLabel = new QLabel(QStringLiteral("Филтър:"), filterBar);
    filterEdit_ = new QLineEdit(filterBar);
    filterEdit_->setObjectName(QStringLiteral("cxGrid1FilterEdit"));
    filterEdit_->setPlaceholderText(
        QStringLiteral("покажи само редовете, чието съобщение (LOG_MSG) съдържа този текст"));
    filterEdit_->setClearButtonEnabled(true);
    filterLabel->setBuddy(filterEdit_);
    auto* filterLayout = new QHBoxLayout(filterBar);
    filterLayout->setContentsMargins(4, 3, 4, 3);
    filterLayout->addWidget(filterLabel);
    filterLayout->addWidget(filterEdit_, 1);

    cxGrid1Level1 = new QObject(this);
    cxGrid1Level1->setObjectName(QStringLiteral("cxGrid1Level1"));

    cxGrid1DBTableView1 = new LogTableView(this);
    cxGrid1DBTableView1->setObjectName(QStringLiteral("cxGrid1DBTableView1"));
    cxGrid1Level1->setProperty("gridView", QVariant::fromValue<QObject*>(cxGrid1DBTableView1));

    cxGrid1DBTableView1LOG_ID =
        new GridColumn(QStringLiteral("cxGrid1DBTableView1LOG_ID"), QStringLiteral("LOG_ID"), 50, 0,
                       Qt::DescendingOrder, cxGrid1DBTableView1);
    cxGrid1DBTableView1LOG_MSG =
        new GridColumn(QStringLiteral("cxGrid1DBTableView1LOG_MSG"), QStringLiteral("LOG_MSG"), 500, -1,
                       Qt::AscendingOrder, cxGrid1DBTableView1);
    cxGrid1DBTableView1LOG_TS =
        new GridColumn(QStringLiteral("cxGrid1DBTableView1LOG_TS"), QStringLiteral("LOG_TS"), 100, -1,
                       Qt::AscendingOrder, cxGrid1DBTableView1);
    columns_ = {cxGrid1DBTableView1LOG_ID, cxGrid1DBTableView1LOG_MSG, cxGrid1DBTableView1LOG_TS};

    QStringList fields;
    std::vector<double> weights;
    int sortColumn = -1;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
    for (size_t i = 0; i < columns_.size(); ++i) {
        fields << columns_[i]->fieldName();
        weights.push_back(columns_[i]->designWidth());
        if (columns_[i]->sortIndex() == 0) {
            sortColumn = static_cast<int>(i);
            sortOrder = columns_[i]->sortOrder();
        }
    }
    model_ = new LogTableModel(fields, this);
    model_->setObjectName(QStringLiteral("cxGrid1DBTableView1DataController"));
    cxGrid1DBTableView1->setModel(model_);
    cxGrid1DBTableView1->horizontalHeader()->setSortIndicator(sortColumn, sortOrder);
    cxGrid1DBTableView1->setSortingEnabled(true);
    cxGrid1DBTableView1->setColumnWeights(weights);

    footer_ = new LogGridFooter(cxGrid1DBTableView1, this);
    footer_->setObjectName(QStringLiteral("cxGrid1Footer"));
    footer_->setToolTip(QStringLiteral("Брой на показаните редове"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(filterBar);
    layout->addWidget(cxGrid1DBTableView1, 1);
    layout->addWidget(footer_);

    // The rows get the keyboard first; the filter is one Tab away.
    setFocusProxy(cxGrid1DBTableView1);
    QWidget::setTabOrder(cxGrid1DBTableView1, filterEdit_);

    connect(model_, &LogTableModel::reloaded, this, &LogGrid::afterReload);
    connect(model_, &QAbstractItemModel::modelReset, this, &LogGrid::updateFooter);
    connect(cxGrid1DBTableView1->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            &LogGrid::sortChanged);
    connect(filterEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        model_->setFilter(kFilterField, text);
        afterReload();
    });
    updateFooter();
}

void LogGrid::setDataSource(fb::TDataSource* source) {
    model_->setDataSource(source);
}

void LogGrid::afterReload() {
    // The current row is the dataset's current record wherever the sort puts it; the scroll
    // position stays where the operator left it.
    LogTableView* view = cxGrid1DBTableView1;
    view->resetRowHeights();
    const int row = model_->currentRecordRow();
    if (row >= 0) {
        const int column = std::max(0, view->currentIndex().column());
        const bool autoScroll = view->hasAutoScroll();
        view->setAutoScroll(false);
        view->selectionModel()->setCurrentIndex(
            model_->index(row, column), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view->setAutoScroll(autoScroll);
    }
    view->fitVisibleRows();
}

void LogGrid::sortChanged() {
    // A new sort makes the top row the current one.
    LogTableView* view = cxGrid1DBTableView1;
    view->resetRowHeights();
    if (model_->rowCount() > 0)
        view->setCurrentIndex(model_->index(0, std::max(0, view->currentIndex().column())));
    view->scrollToTop();
    view->fitVisibleRows();
}

void LogGrid::updateFooter() {
    footer_->setCellText(0, QString::number(model_->rowCount()));
}

QString LogGrid::text(int row, const QString& fieldName) const {
    for (int column = 0; column < model_->columnCount(); ++column)
        if (model_->fieldName(column) == fieldName)
            return model_->index(row, column).data().toString();
    return {};
}

} // namespace monitor
