#include "browse/treenodes.h"
#include "browse/images.h"
#include <QDirIterator>
#include <QFile>
#include <QTreeWidget>
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

std::unique_ptr<QTreeWidgetItem> makeNode(const QString& text, NodeImage image)
{
    auto node = std::make_unique<QTreeWidgetItem>(QStringList{text});
    node->setData(0, kImageIndexRole, int(image));
    node->setIcon(0, imageListIcon(image));
    return node;
}

QTreeWidgetItem* addNode(QTreeWidget& tree, QTreeWidgetItem* parent, const QString& text,
                         NodeImage image)
{
    std::unique_ptr<QTreeWidgetItem> node = makeNode(text, image);
    QTreeWidgetItem* raw = node.get();
    if (parent)
        parent->addChild(node.release());
    else
        tree.addTopLevelItem(node.release());
    return raw;
}

int nodeImage(const QTreeWidgetItem* node)
{
    const QVariant v = node ? node->data(0, kImageIndexRole) : QVariant();
    return v.isValid() ? v.toInt() : -1;
}

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

using browse::NodeImage;

// Holds repainting of the tree off while a scan runs; nested scans share it.
class TreeBatch {
public:
    explicit TreeBatch(QTreeWidget& tree) : tree_(tree)
    {
        const int depth = tree_.property(kDepth).toInt();
        if (depth == 0)
            wasEnabled_ = tree_.updatesEnabled(), tree_.setUpdatesEnabled(false);
        tree_.setProperty(kDepth, depth + 1);
    }
    ~TreeBatch()
    {
        const int depth = tree_.property(kDepth).toInt() - 1;
        tree_.setProperty(kDepth, depth);
        if (depth == 0 && wasEnabled_)
            tree_.setUpdatesEnabled(true);
    }
    TreeBatch(const TreeBatch&) = delete;
    TreeBatch& operator=(const TreeBatch&) = delete;

private:
    static constexpr const char* kDepth = "quilletTreeBatchDepth";
    QTreeWidget& tree_;
    bool wasEnabled_ = false;
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

using NodeList = std::vector<std::unique_ptr<QTreeWidgetItem>>;

// The nodes of one folder's entries, built apart from the tree (each insertion
// into a shown tree costs a model notification) and attached in one call.
// chain holds the folders from the scan's start down to this one.
NodeList scanFolder(const QString& directory, bool withDatabases, std::vector<FolderId>& chain)
{
    NodeList nodes;
    QString dir = directory;
    if (!dir.endsWith(u'/'))
        dir += u'/';
    // No QDir::Hidden: entries beginning with "." stay out. No QDir::System:
    // sockets, devices and broken links stay out.
    QDirIterator it(dir, QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = info.fileName();
        if (name.startsWith(u'.'))
            continue;
        if (info.isDir()) {
            const std::optional<FolderId> id = folderId(dir + name);
            if (!id || std::find(chain.begin(), chain.end(), *id) != chain.end())
                continue;  // a link back into the chain would repeat it without end
            std::unique_ptr<QTreeWidgetItem> node = browse::makeNode(name, browse::ImageFolder);
            chain.push_back(*id);
            NodeList children = scanFolder(dir + name, withDatabases, chain);
            chain.pop_back();
            QList<QTreeWidgetItem*> raw;
            raw.reserve(qsizetype(children.size()));
            for (auto& child : children)
                raw.append(child.release());
            node->addChildren(raw);
            nodes.push_back(std::move(node));
        } else if (withDatabases && browse::isDatabaseFileName(name)) {
            nodes.push_back(browse::makeNode(name, browse::ImageDatabase));
        }
    }
    return nodes;
}

} // namespace

void ScanDirectory(QTreeWidget& tree, const QString& directory, QTreeWidgetItem* parent,
                   bool withDatabases)
{
    TreeBatch batch(tree);
    std::vector<FolderId> chain;
    if (std::optional<FolderId> id = folderId(directory))
        chain.push_back(*id);
    NodeList nodes = scanFolder(directory, withDatabases, chain);
    QList<QTreeWidgetItem*> raw;
    raw.reserve(qsizetype(nodes.size()));
    for (auto& node : nodes)
        raw.append(node.release());
    if (parent)
        parent->addChildren(raw);
    else
        tree.addTopLevelItems(raw);
}

QString GetNodePath(const QTreeWidgetItem* node, const QString& tail)
{
    if (!node || !node->parent())
        return tail;
    const QString path = node->childCount() > 0 ? node->text(0) + u'/' + tail : node->text(0);
    return GetNodePath(node->parent(), path);
}
