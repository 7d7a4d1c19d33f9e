#pragma once
// The database tree: which names are databases, how the data directory
// becomes nodes, and how a node becomes a database path.
#include <QString>

class TTreeView;
class QTreeWidgetItem;

namespace browse {

// Image indexes of ImageList2, one per kind of node.
enum NodeImage { ImageServer = 0, ImageFolder = 1, ImageDatabase = 2, ImageView = 3 };

// The file names the tree lists as databases: the last three characters,
// ASCII letters upper-cased, are "NSF" (with or without a dot before them),
// or the name ends in ".dxl" in any case; never a name beginning with ".".
bool isDatabaseFileName(const QString& name);

// A node whose text ends in ".NSF" or ".DXL", ASCII letters in any case.
bool isDatabaseNodeText(const QString& text);

} // namespace browse

// Adds the folders below directory (and, with databases, their database files)
// as children of parent, to any depth, in the order the file system lists
// them. Hidden entries and names beginning with "." are left out, broken links
// and folders that cannot be read are passed over, and a link that leads back
// to a folder the scan is already in is not followed.
void ScanDirectory(TTreeView& tree, const QString& directory, QTreeWidgetItem* parent,
                   bool withDatabases);

// The database path of a node: the texts of the nodes below the root, joined
// with "/"; a node that has children adds a trailing "/". tail is the path
// built so far, empty for callers.
QString GetNodePath(const QTreeWidgetItem* node, const QString& tail = {});
