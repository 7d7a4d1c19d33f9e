#pragma once
// The database tree: how the data directory becomes nodes, and how a node
// becomes a database path.
#include "browse/core/dirscan.h"
#include <QString>

class TTreeView;
class QTreeWidgetItem;

namespace browse {

// Image indexes of ImageList2, one per kind of node.
enum NodeImage { ImageServer = 0, ImageFolder = 1, ImageDatabase = 2, ImageView = 3 };

} // namespace browse

// Adds the folders below directory (and, with databases, their database files)
// as children of parent, as browse::scanDirectory finds them.
void ScanDirectory(TTreeView& tree, const QString& directory, QTreeWidgetItem* parent,
                   bool withDatabases);

// The database path of a node: the texts of the nodes below the root, joined
// with "/"; a node that has children adds a trailing "/". tail is the path
// built so far, empty for callers.
QString GetNodePath(const QTreeWidgetItem* node, const QString& tail = {});
