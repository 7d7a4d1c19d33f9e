#include "browse/treenodes.h"
#include "app/treeview.h"
#include <QDirIterator>
#include <QFile>
#include <algorithm>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace browse {

namespace {

QString asciiUpper(QString s)
{
    for (QChar& c : s)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    return s;
}

} // namespace

bool isDatabaseFileName(const QString& name)
{
    if (name.startsWith(u'.'))
        return false;
    if (asciiUpper(name.right(3)) == u"NSF")
        return true;
    return name.endsWith(QStringLiteral(".dxl"), Qt::CaseInsensitive);
}

bool isDatabaseNodeText(const QString& text)
{
    const QString tail = asciiUpper(text.right(4));
    return tail == u".NSF" || tail == u".DXL";
}

} // namespace browse

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

struct FolderId {
    dev_t dev;
    ino_t ino;
    bool operator==(const FolderId&) const = default;
};

std::optional<FolderId> folderId(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FolderId{st.st_dev, st.st_ino};
}

// Adds the entries of one folder below parent. The scan builds its nodes below
// a parent that is not yet in the tree (each insertion into a shown tree
// costs a model notification) and the caller attaches them in one call.
// chain holds the folders from the scan's start down to this one.
void scanFolder(TTreeView& tree, const QString& directory, QTreeWidgetItem* parent,
                bool withDatabases, std::vector<FolderId>& chain)
{
    QString dir = directory;
    if (!dir.endsWith(u'/'))
        dir += u'/';
    // No QDir::Hidden: entries beginning with "." stay out. No QDir::System:
    // sockets, devices and broken links stay out. A folder that cannot be
    // read gives no entries.
    QDirIterator it(dir, QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = info.fileName();
        if (name.startsWith(u'.'))
            continue;
        if (info.isDir()) {
            const std::optional<FolderId> id = folderId(dir + name);
            // A link back into the chain would repeat it without end.
            if (!id || std::find(chain.begin(), chain.end(), *id) != chain.end())
                continue;
            QTreeWidgetItem* node = tree.addNode(parent, name, browse::ImageFolder, browse::ImageFolder);
            chain.push_back(*id);
            scanFolder(tree, dir + name, node, withDatabases, chain);
            chain.pop_back();
        } else if (withDatabases && browse::isDatabaseFileName(name)) {
            tree.addNode(parent, name, browse::ImageDatabase, browse::ImageDatabase);
        }
    }
}

} // namespace

void ScanDirectory(TTreeView& tree, const QString& directory, QTreeWidgetItem* parent,
                   bool withDatabases)
{
    TreeBatch batch(tree);
    std::vector<FolderId> chain;
    if (std::optional<FolderId> id = folderId(directory))
        chain.push_back(*id);
    QTreeWidgetItem holder;
    scanFolder(tree, directory, &holder, withDatabases, chain);
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
