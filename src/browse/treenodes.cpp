#include "browse/treenodes.h"
#include "app/treeview.h"
#include <QTreeWidgetItem>

namespace {

class TreeBatch {
public:
    explicit TreeBatch(TTreeView& tree) : tree_(tree) { tree_.BeginUpdate(); }
    ~TreeBatch() { tree_.EndUpdate(); }
    TreeBatch(const TreeBatch&) = delete;
    TreeBatch& operator=(const TreeBatch&) = delete;

private:
    TTreeView& tree_;
};

void addNodes(TTreeView& tree, QTreeWidgetItem* parent, const std::vector<browse::DirectoryNode>& nodes)
{
    for (const browse::DirectoryNode& n : nodes) {
        const int image = n.folder ? browse::ImageFolder : browse::ImageDatabase;
        QTreeWidgetItem* node = tree.addNode(parent, n.name, image, image);
        addNodes(tree, node, n.children);
    }
}

} // namespace

void ScanDirectory(TTreeView& tree, const QString& directory, QTreeWidgetItem* parent,
                   bool withDatabases)
{
    TreeBatch batch(tree);
    const std::vector<browse::DirectoryNode> found = browse::scanDirectory(directory, withDatabases);
    // Built below a holder that is not in the tree (each insertion into a
    // shown tree costs a model notification), then attached in one call.
    QTreeWidgetItem holder;
    addNodes(tree, &holder, found);
    const QList<QTreeWidgetItem*> nodes = holder.takeChildren();
    if (parent)
        parent->addChildren(nodes);
    else
        tree.addTopLevelItems(nodes);
}

QString GetNodePath(const QTreeWidgetItem* node, const QString& tail)
{
    if (!node || !node->parent())
        return tail;
    const QString path = node->childCount() > 0 ? node->text(0) + u'/' + tail : node->text(0);
    return GetNodePath(node->parent(), path);
}
