#pragma once
// Where the files of one exported document go. Document IDs, attachment names
// and embedded-object names come from the database; used as they are, a name
// such as "../../x" or "a/b" would write outside the document's folder. Each
// becomes one plain file name inside the folder instead, keeping its Unicode
// characters, and two different names that end up alike get distinct files.
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace exporting {

// One path component: "/", "\" and NUL become "_"; a name that is then empty,
// "." or ".." becomes the fallback.
QString safeFileName(const QString& name, const QString& fallback);

// The document folders of one export. A database made from two exports can
// hold two documents with one note ID; their files must not mix in one
// folder, so the second document's folder is "ID (2)", the third's "ID (3)".
// A document is told from another by its UNID; the same document met again
// (a row repeated) keeps its folder.
class DocumentFolders {
public:
    // attachmentFolder: the folder of all documents' folders (no trailing "/").
    explicit DocumentFolders(QString attachmentFolder) : root_(std::move(attachmentFolder)) {}
    const QString& root() const { return root_; }

    struct Folder {
        QString root;          // the attachment folder, no trailing "/"
        QString path;          // ending in "/"
        int sharedWith = 0;    // the number of the first document with this ID, when another had it
    };
    // number: the document number, used when the ID gives no usable name.
    Folder take(const QString& documentId, const QString& unid, int number);

private:
    struct Seen {
        QString unid;
        QString folder;
        int number;
    };
    QString root_;
    QHash<QString, QList<Seen>> byId_;
};

class DocumentFiles {
public:
    // attachmentFolder: the folder of all documents' folders (no trailing "/").
    // number: the document number, used when the ID gives no usable name.
    DocumentFiles(const QString& attachmentFolder, const QString& documentId, int number);
    // The folder that folders gives the document.
    explicit DocumentFiles(DocumentFolders::Folder folder)
        : attachmentFolder_(std::move(folder.root)), folder_(std::move(folder.path)),
          sharedWith_(folder.sharedWith) {}

    // The document's folder, ending in "/".
    const QString& folder() const { return folder_; }
    // The number of an earlier document of this export with the same ID and
    // another UNID (its files are in the plain folder); 0 when none.
    int sharedWith() const { return sharedWith_; }

    // Makes the attachment folder and the document's folder where they are
    // missing, never through a link, once per document. Returns the empty
    // text when the folder is there, else why not.
    const QString& prepareFolder();

    // The full path for a file of that name; the same name gives the same path
    // again, another name never the same path. index numbers the file within
    // its kind and names it when the name itself is unusable ("_" + index).
    QString pathFor(const QString& name, int index);

    // A name whose file has been written in this visit of the document: a
    // rich-text item that embeds one of the document's attachments names the
    // same file, and writing it a second time would give the same bytes.
    void markWritten(const QString& name) { written_.insert(name); }
    bool written(const QString& name) const { return written_.contains(name); }

private:
    QString attachmentFolder_;
    QString folder_;
    int sharedWith_ = 0;
    bool prepared_ = false;
    QString folderError_;
    QHash<QString, QString> byName_;  // name as given -> file name used
    QSet<QString> used_;
    QSet<QString> written_;
};

} // namespace exporting
