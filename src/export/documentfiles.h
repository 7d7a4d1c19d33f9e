#pragma once
// Where the files of one exported document go. Document IDs, attachment names
// and embedded-object names come from the database; used as they are, a name
// such as "../../x" or "a/b" would write outside the document's folder. Each
// becomes one plain file name inside the folder instead, keeping its Unicode
// characters, and two different names that end up alike get distinct files.
#include <QHash>
#include <QSet>
#include <QString>

namespace exporting {

// One path component: "/", "\" and NUL become "_"; a name that is then empty,
// "." or ".." becomes the fallback.
QString safeFileName(const QString& name, const QString& fallback);

class DocumentFiles {
public:
    // attachmentFolder: the folder of all documents' folders (no trailing "/").
    // number: the document number, used when the ID gives no usable name.
    DocumentFiles(const QString& attachmentFolder, const QString& documentId, int number);

    // The document's folder, ending in "/".
    const QString& folder() const { return folder_; }

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
    bool prepared_ = false;
    QString folderError_;
    QHash<QString, QString> byName_;  // name as given -> file name used
    QSet<QString> used_;
    QSet<QString> written_;
};

} // namespace exporting
