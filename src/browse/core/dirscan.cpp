#include "browse/core/dirscan.h"
#include <QDirIterator>
#include <QFile>
#include <algorithm>
#include <optional>
#include <sys/stat.h>

namespace browse {

namespace {

QString asciiUpper(QString s)
{
    for (QChar& c : s)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    return s;
}

struct FolderId {
    dev_t dev;
    ino_t ino;
    bool operator==(const FolderId&) const = default;
};

// What the entry is after links are followed; nullopt when it cannot be
// reached (a broken link, a name gone since the listing).
std::optional<struct stat> statFollowing(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return st;
}

void scanFolder(const QString& directory, bool withDatabases, std::vector<FolderId>& chain,
                std::vector<DirectoryNode>& out)
{
    QString dir = directory;
    if (!dir.endsWith(u'/'))
        dir += u'/';
    // QDir::System brings pipes, sockets and devices into the listing; they
    // are sorted out below by what they are, not by the listing's filter.
    QDirIterator it(dir, QDir::Dirs | QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (name.startsWith(u'.'))
            continue;
        const std::optional<struct stat> st = statFollowing(dir + name);
        if (!st)
            continue;
        if (S_ISDIR(st->st_mode)) {
            const FolderId id{st->st_dev, st->st_ino};
            // A link back into the chain would repeat it without end.
            if (std::find(chain.begin(), chain.end(), id) != chain.end())
                continue;
            DirectoryNode node{name, true, {}};
            chain.push_back(id);
            scanFolder(dir + name, withDatabases, chain, node.children);
            chain.pop_back();
            out.push_back(std::move(node));
        } else if (withDatabases && S_ISREG(st->st_mode) && isDatabaseFileName(name)) {
            out.push_back({name, false, {}});
        }
    }
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

std::vector<DirectoryNode> scanDirectory(const QString& directory, bool withDatabases)
{
    std::vector<FolderId> chain;
    if (const std::optional<struct stat> st = statFollowing(directory); st && S_ISDIR(st->st_mode))
        chain.push_back({st->st_dev, st->st_ino});
    else
        return {};
    std::vector<DirectoryNode> nodes;
    scanFolder(directory, withDatabases, chain, nodes);
    return nodes;
}

} // namespace browse
