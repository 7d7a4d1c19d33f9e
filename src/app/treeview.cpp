#include "app/treeview.h"
#include <QHeaderView>
#include <QMouseEvent>

namespace {
constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kSelectedImageRole = Qt::UserRole + 2;
constexpr int kNameRole = Qt::UserRole + 3;
} // namespace

TTreeView::TTreeView(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(19);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    // Long paths scroll sideways instead of being cut.
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
}

void TTreeView::setImages(QList<QIcon> images) { images_ = std::move(images); }

QTreeWidgetItem* TTreeView::addNode(QTreeWidgetItem* parent, const QString& text, int imageIndex,
                                    int selectedIndex)
{
    auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    node->setText(0, text);
    node->setData(0, kImageRole, imageIndex);
    node->setData(0, kSelectedImageRole, selectedIndex);
    if (imageIndex >= 0 && imageIndex < images_.size())
        node->setIcon(0, images_[imageIndex]);
    return node;
}

void TTreeView::setNodeName(QTreeWidgetItem* node, const QString& name)
{
    if (node)
        node->setData(0, kNameRole, name);
}

QString TTreeView::nodeName(const QTreeWidgetItem* node)
{
    if (!node)
        return {};
    const QVariant name = node->data(0, kNameRole);
    return name.isValid() ? name.toString() : node->text(0);
}

QPersistentModelIndex TTreeView::persistentIndex(QTreeWidgetItem* node) const
{
    return node ? QPersistentModelIndex(indexFromItem(node)) : QPersistentModelIndex();
}

QTreeWidgetItem* TTreeView::nodeAt(const QPersistentModelIndex& index) const
{
    return index.isValid() ? itemFromIndex(index) : nullptr;
}

QTreeWidgetItem* TTreeView::rootNode() const
{
    return topLevelItemCount() > 0 ? topLevelItem(topLevelItemCount() - 1) : nullptr;
}

QTreeWidgetItem* TTreeView::Selected() const
{
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? nullptr : items.first();
}

void TTreeView::setSelected(QTreeWidgetItem* node)
{
    if (!node) {
        clearSelection();
        return;
    }
    setCurrentItem(node);
}

int TTreeView::nodeCount() const
{
    int count = 0;
    for (QTreeWidgetItemIterator it(const_cast<TTreeView*>(this)); *it; ++it)
        ++count;
    return count;
}

int TTreeView::level(const QTreeWidgetItem* node)
{
    int depth = 0;
    for (const QTreeWidgetItem* p = node ? node->parent() : nullptr; p; p = p->parent())
        ++depth;
    return depth;
}

int TTreeView::imageIndex(const QTreeWidgetItem* node)
{
    return node ? node->data(0, kImageRole).toInt() : -1;
}

int TTreeView::selectedIndex(const QTreeWidgetItem* node)
{
    return node ? node->data(0, kSelectedImageRole).toInt() : -1;
}

void TTreeView::BeginUpdate()
{
    if (updateDepth_++ == 0)
        setUpdatesEnabled(false);
}

void TTreeView::EndUpdate()
{
    if (updateDepth_ == 0 || --updateDepth_ > 0)
        return;
    setUpdatesEnabled(true);
    viewport()->update();
}

void TTreeView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT OnClick();
}
