#pragma once
// The tree of the main window: servers, folders, databases and views. Node
// texts are not editable and children stay in the order they were added. Each
// node carries the image index of its kind (0 root, 1 folder, 2 database,
// 3 view), shown with the icons of the tree's image list.
#include <QIcon>
#include <QList>
#include <QPersistentModelIndex>
#include <QTreeWidget>

class TTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TTreeView(QWidget* parent = nullptr);

    // What the tree holds: 0 nothing, 1 the server tree, 2 the file tree of one database.
    int Tag = 0;

    void setImages(QList<QIcon> images);

    // Adds a node below parent (nullptr: a root node) and returns it.
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& text, int imageIndex,
                             int selectedIndex);
    // A node whose text is a label for its name (a view without a name): the
    // name travels with it. nodeName gives the name, else the text.
    static void setNodeName(QTreeWidgetItem* node, const QString& name);
    static QString nodeName(const QTreeWidgetItem* node);
    // A handle on a node that notices when the node is gone.
    QPersistentModelIndex persistentIndex(QTreeWidgetItem* node) const;
    QTreeWidgetItem* nodeAt(const QPersistentModelIndex& index) const;

    // The last root node added, or nullptr.
    QTreeWidgetItem* rootNode() const;
    QTreeWidgetItem* Selected() const;
    void setSelected(QTreeWidgetItem* node);
    int nodeCount() const;  // all nodes, at every level

    static int level(const QTreeWidgetItem* node);
    static int imageIndex(const QTreeWidgetItem* node);
    static int selectedIndex(const QTreeWidgetItem* node);

    // Batch updates of the nodes nest; the tree is repainted when the last one ends.
    void BeginUpdate();
    void EndUpdate();

Q_SIGNALS:
    // A click with the left button anywhere in the tree (after the click has
    // selected the node under it, if any).
    void OnClick();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QList<QIcon> images_;
    int updateDepth_ = 0;
};
