#pragma once
// The data directory as the database tree shows it: folders and database
// files, to any depth, as plain nodes the tree widget turns into its own.
#include <QString>
#include <vector>

namespace browse {

struct DirectoryNode {
    QString name;
    bool folder = false;
    std::vector<DirectoryNode> children;  // a folder's contents, in the file system's order
};

// The file names the tree lists as databases: the last three characters,
// ASCII letters upper-cased, are "NSF" (with or without a dot before them),
// or the name ends in ".dxl" in any case; never a name beginning with ".".
bool isDatabaseFileName(const QString& name);

// A node whose text ends in ".NSF" or ".DXL", ASCII letters in any case.
bool isDatabaseNodeText(const QString& text);

// The folders below directory and, with databases, their database files, in
// the order the file system lists them. Names beginning with "." are left
// out; only regular files (or links to them) are databases, so a pipe,
// socket or device is never offered to the engine; broken links and folders
// that cannot be read are passed over, and a link that leads back to a
// folder the scan is already in is not followed.
std::vector<DirectoryNode> scanDirectory(const QString& directory, bool withDatabases);

} // namespace browse
