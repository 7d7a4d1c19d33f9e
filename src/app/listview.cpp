#include "app/listview.h"
#include "browse/core/texts.h"
#include <QAbstractTableModel>
#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStackedLayout>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <optional>
#include <vector>

// Items live in plain vectors: a page of a hundred documents with a dozen
// columns is filled in one batch, and the views are told once, at its end.
class TListModel : public QAbstractTableModel {
public:
    struct Column {
        QString caption;
        int width = 0;
    };
    struct Item {
        QString caption;
        int image = -1;
        QStringList sub;
        std::optional<QString> name;
    };

    // The list widget drives the change notifications itself.
    using QAbstractItemModel::beginInsertColumns;
    using QAbstractItemModel::beginInsertRows;
    using QAbstractItemModel::beginResetModel;
    using QAbstractItemModel::endInsertColumns;
    using QAbstractItemModel::endInsertRows;
    using QAbstractItemModel::endResetModel;

    std::vector<Column> columns;
    std::vector<Item> items;
    const QString empty;
    QList<QIcon> images;

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(items.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : std::max<int>(1, int(columns.size()));
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= int(items.size()))
            return {};
        const Item& item = items[std::size_t(index.row())];
        const int col = index.column();
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
            const QString& text = col == 0 ? item.caption
                                  : col - 1 < item.sub.size() ? item.sub[col - 1]
                                                              : empty;
            // A value of many thousand characters would give a tip as high as the screen.
            return role == Qt::ToolTipRole ? browse::excerpt(text) : text;
        }
        if (role == Qt::DecorationRole && col == 0 && item.image >= 0 && item.image < images.size())
            return images[item.image];
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < int(columns.size()))
            return columns[std::size_t(section)].caption;
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    // Changes are either told to the views at once or, inside a batch, by one
    // reset at its end.
    bool batching = false;
    void beginBatch()
    {
        batching = true;
        beginResetModel();
    }
    void endBatch()
    {
        endResetModel();
        batching = false;
    }
};

namespace {

// Cells of the report style, painted plainly: selection, icon, one line of
// text, grid lines. The style's full item painting costs several times as
// much per cell, and a page repaints a few hundred cells.
class ReportDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    bool gridLines = false;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        const QRect r = option.rect;
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette::ColorGroup group =
            option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
        if (selected)
            painter->fillRect(r, option.palette.brush(group, QPalette::Highlight));
        QRect textRect = r.adjusted(3, 0, -3, 0);
        const QVariant decoration = index.data(Qt::DecorationRole);
        if (decoration.canConvert<QIcon>()) {
            const QIcon icon = decoration.value<QIcon>();
            const QSize is = option.decorationSize;
            const QRect iconRect(textRect.left(), r.top() + (r.height() - is.height()) / 2,
                                 is.width(), is.height());
            icon.paint(painter, iconRect);
            textRect.setLeft(iconRect.right() + 4);
        }
        const QString text = index.data(Qt::DisplayRole).toString();
        if (!text.isEmpty() && textRect.width() > 0) {
            painter->setPen(option.palette.color(
                group, selected ? QPalette::HighlightedText : QPalette::Text));
            painter->setFont(option.font);
            const QString shown =
                option.fontMetrics.horizontalAdvance(text) <= textRect.width()
                    ? text
                    : option.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width());
            painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                              shown);
        }
        if (gridLines) {
            painter->setPen(option.palette.color(QPalette::Mid));
            painter->drawLine(r.bottomLeft(), r.bottomRight());
            painter->drawLine(r.topRight(), r.bottomRight());
        }
    }
};

} // namespace

TListView::TListView(QWidget* parent) : QWidget(parent), model_(new TListModel)
{
    model_->setParent(this);
    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);

    iconView_ = new QListView(this);
    iconView_->setObjectName(QStringLiteral("ListView1Icons"));
    iconView_->setViewMode(QListView::IconMode);
    iconView_->setMovement(QListView::Static);
    iconView_->setResizeMode(QListView::Adjust);
    iconView_->setFlow(QListView::LeftToRight);
    iconView_->setWrapping(true);
    iconView_->setWordWrap(true);
    iconView_->setIconSize(QSize(16, 16));
    iconView_->setGridSize(QSize(96, 52));
    iconView_->setUniformItemSizes(false);
    iconView_->setModel(model_);

    reportView_ = new QTreeView(this);
    reportView_->setObjectName(QStringLiteral("ListView1Report"));
    reportView_->setRootIsDecorated(false);
    reportView_->setItemsExpandable(false);
    reportView_->setUniformRowHeights(true);
    reportView_->setAllColumnsShowFocus(true);
    reportView_->setSortingEnabled(false);
    reportView_->setIconSize(QSize(16, 16));
    reportView_->header()->setStretchLastSection(false);
    reportView_->header()->setSectionsMovable(false);
    reportView_->setItemDelegate(new ReportDelegate(reportView_));
    reportView_->setModel(model_);
    // One selection for both styles.
    iconView_->setSelectionModel(reportView_->selectionModel());

    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(iconView_),
                                 static_cast<QAbstractItemView*>(reportView_)}) {
        v->setFrameShape(QFrame::NoFrame);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->setTextElideMode(Qt::ElideRight);
        v->viewport()->installEventFilter(this);
        // The menu colour as background.
        QPalette pal = v->palette();
        pal.setColor(QPalette::Base, QApplication::palette("QMenu").color(QPalette::Window));
        v->setPalette(pal);
        stack_->addWidget(v);
    }
    setRowSelect(false);
    stack_->setCurrentWidget(iconView_);
}

TListView::~TListView() = default;

void TListView::setImages(QList<QIcon> images)
{
    model_->images = std::move(images);
}

void TListView::setViewStyle(TViewStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    stack_->setCurrentWidget(currentView());
}

QAbstractItemView* TListView::currentView() const
{
    return style_ == vsIcon ? static_cast<QAbstractItemView*>(iconView_)
                            : static_cast<QAbstractItemView*>(reportView_);
}

void TListView::setRowSelect(bool on)
{
    rowSelect_ = on;
    reportView_->setSelectionBehavior(on ? QAbstractItemView::SelectRows
                                         : QAbstractItemView::SelectItems);
}

void TListView::setGridLines(bool on)
{
    gridLines_ = on;
    static_cast<ReportDelegate*>(reportView_->itemDelegate())->gridLines = on;
    reportView_->viewport()->update();
}

void TListView::clearColumns()
{
    if (model_->columns.empty())
        return;
    if (!model_->batching)
        model_->beginResetModel();
    model_->columns.clear();
    if (!model_->batching)
        model_->endResetModel();
}

void TListView::addColumn(const QString& caption, int width)
{
    const int before = model_->columnCount();
    const bool grows = !model_->columns.empty();  // the first column exists as a placeholder
    if (!model_->batching && grows)
        model_->beginInsertColumns({}, before, before);
    model_->columns.push_back({caption, width});
    if (!model_->batching) {
        if (grows)
            model_->endInsertColumns();
        else
            Q_EMIT model_->headerDataChanged(Qt::Horizontal, 0, 0);
        applyColumnWidths();
    }
}

int TListView::columnCount() const { return int(model_->columns.size()); }

QString TListView::columnCaption(int column) const
{
    return column >= 0 && column < columnCount() ? model_->columns[std::size_t(column)].caption
                                                 : QString();
}

int TListView::columnWidth(int column) const
{
    return column >= 0 && column < columnCount() ? model_->columns[std::size_t(column)].width : 0;
}

void TListView::applyColumnWidths()
{
    for (int i = 0; i < columnCount(); ++i)
        reportView_->setColumnWidth(i, model_->columns[std::size_t(i)].width);
}

void TListView::clearItems()
{
    if (model_->items.empty())
        return;
    if (!model_->batching)
        model_->beginResetModel();
    model_->items.clear();
    if (!model_->batching)
        model_->endResetModel();
}

int TListView::addItem(const QString& caption, int imageIndex)
{
    const int row = int(model_->items.size());
    if (!model_->batching)
        model_->beginInsertRows({}, row, row);
    model_->items.push_back({caption, imageIndex, {}});
    if (!model_->batching)
        model_->endInsertRows();
    return row;
}

void TListView::addSubItem(int item, const QString& text)
{
    if (item < 0 || item >= itemCount())
        return;
    QStringList& sub = model_->items[std::size_t(item)].sub;
    sub.append(text);
    if (!model_->batching) {
        const QModelIndex cell = model_->index(item, int(sub.size()));
        if (cell.isValid())
            Q_EMIT model_->dataChanged(cell, cell);
    }
}

int TListView::itemCount() const { return int(model_->items.size()); }

QString TListView::itemCaption(int item) const
{
    return item >= 0 && item < itemCount() ? model_->items[std::size_t(item)].caption : QString();
}

int TListView::itemImageIndex(int item) const
{
    return item >= 0 && item < itemCount() ? model_->items[std::size_t(item)].image : -1;
}

QStringList TListView::subItems(int item) const
{
    return item >= 0 && item < itemCount() ? model_->items[std::size_t(item)].sub : QStringList();
}

QString TListView::subItemText(int item, int index) const
{
    const QStringList sub = subItems(item);
    return index >= 0 && index < sub.size() ? sub[index] : QString();
}

void TListView::setItemName(int item, const QString& name)
{
    if (item >= 0 && item < itemCount())
        model_->items[std::size_t(item)].name = name;
}

QString TListView::itemName(int item) const
{
    if (item < 0 || item >= itemCount())
        return {};
    const TListModel::Item& it = model_->items[std::size_t(item)];
    return it.name ? *it.name : it.caption;
}

void TListView::scrollToFirst()
{
    QItemSelectionModel* sel = reportView_->selectionModel();
    sel->clearSelection();
    sel->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(iconView_),
                                 static_cast<QAbstractItemView*>(reportView_)}) {
        v->scrollToTop();
        v->horizontalScrollBar()->setValue(0);
    }
}

int TListView::selectedIndex() const
{
    const QModelIndexList rows = reportView_->selectionModel()->selectedIndexes();
    int best = -1;
    for (const QModelIndex& i : rows)
        if (best < 0 || i.row() < best)
            best = i.row();
    return best;
}

int TListView::selectedCount() const
{
    QList<int> rows;
    for (const QModelIndex& i : reportView_->selectionModel()->selectedIndexes())
        if (!rows.contains(i.row()))
            rows.append(i.row());
    return int(rows.size());
}

QString TListView::selectedCaption() const { return itemCaption(selectedIndex()); }

void TListView::selectItem(int item)
{
    QItemSelectionModel* sel = reportView_->selectionModel();
    if (item < 0 || item >= itemCount()) {
        sel->clearSelection();
        return;
    }
    const QModelIndex index = model_->index(item, 0);
    sel->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TListView::BeginUpdate()
{
    if (updateDepth_++ > 0)
        return;
    setUpdatesEnabled(false);
    model_->beginBatch();
}

void TListView::EndUpdate()
{
    if (updateDepth_ == 0 || --updateDepth_ > 0)
        return;
    model_->endBatch();
    applyColumnWidths();
    setUpdatesEnabled(true);
    update();
}

bool TListView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick &&
        (watched == iconView_->viewport() || watched == reportView_->viewport()))
        Q_EMIT OnDblClick();
    return QWidget::eventFilter(watched, event);
}
