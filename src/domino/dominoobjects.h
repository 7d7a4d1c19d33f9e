#pragma once
// The operations of the Domino Objects, as the component implements them and
// the handles (notes.h) call them. Every operation fails by throwing
// platform::Error with the component's own text. An operation that finds
// nothing returns nullptr ("no object"); a handle attached to it stays empty.
#include "domino/notesvalue.h"
#include "platform/com.h"
#include <QStringList>
#include <memory>

namespace domino {

// The class id the NotesSession class is registered under.
inline constexpr const char* kNotesSessionClsid = "{29131539-2EED-1069-BF5D-00DD011186B7}";
inline constexpr const char* kNotesSessionProgId = "Lotus.NotesSession";

// Domino's item type codes.
namespace ItemTypes {
inline constexpr int RichText = 1;
inline constexpr int Number = 768;
inline constexpr int DateTime = 1024;
inline constexpr int Names = 1074;
inline constexpr int Readers = 1075;
inline constexpr int Authors = 1076;
inline constexpr int Attachment = 1084;
inline constexpr int EmbeddedObject = 1090;
inline constexpr int Text = 1280;
inline constexpr int Unknown = 0;
} // namespace ItemTypes

class INotesSession;
class INotesDatabase;
class INotesView;
class INotesDocument;
class INotesItem;
class INotesRichTextItem;
class INotesEmbeddedObject;
using SessionPtr = std::shared_ptr<INotesSession>;
using DatabasePtr = std::shared_ptr<INotesDatabase>;
using ViewPtr = std::shared_ptr<INotesView>;
using DocumentPtr = std::shared_ptr<INotesDocument>;
using ItemPtr = std::shared_ptr<INotesItem>;
using RichTextItemPtr = std::shared_ptr<INotesRichTextItem>;
using EmbeddedObjectPtr = std::shared_ptr<INotesEmbeddedObject>;

class INotesSession : public platform::ComObject {
public:
    // Signed in as that user, checked against the names database.
    virtual void StartSessionAs(const QString& userName, const QString& password) = 0;
    // A session without a user name, for local files.
    virtual void StartSession(const QString& text) = 0;
    // Empty server: a local file, absolute or relative to the data directory.
    virtual DatabasePtr OpenDatabase(const QString& server, const QString& path,
                                     bool createIfMissing) = 0;
    virtual NotesValueList EvaluateFormula(const QString& formula, const DocumentPtr& document) = 0;
};

class INotesDatabase : public platform::ComObject {
public:
    virtual QStringList Views() = 0;                            // names, database order
    virtual ViewPtr ViewByName(const QString& nameOrAlias) = 0; // nullptr when absent
    // Throws when absent. Of two documents with one ID, the first in the database;
    // the local engine also takes a UNID, which tells such documents apart.
    virtual DocumentPtr DocumentById(const QString& documentId) = 0;
    virtual QString FilePath() = 0;
    virtual QString Title() = 0;
};

class INotesView : public platform::ComObject {
public:
    virtual int ColumnCount() = 0;
    virtual QStringList ColumnNames() = 0;
    virtual int DocumentCount() = 0;
    virtual QString Name() = 0;
    virtual DocumentPtr NthDocument(int position) = 0;          // 1-based; nullptr past the end
    virtual DocumentPtr NextDocument(const DocumentPtr& document) = 0; // nullptr at the end
};

class INotesDocument : public platform::ComObject {
public:
    virtual QString DocumentId() = 0;
    // The document's UNID (32 hex digits); empty where the source has none.
    virtual QString UniversalID() { return {}; }
    // The values of the columns of the view the document was reached through
    // (one entry per column; a multi-valued column gives a list value).
    virtual NotesValueList ColumnValues() = 0;
    virtual QStringList Items() = 0;                            // item names, document order
    virtual NotesValueList ItemValue(const QString& itemName) = 0; // unknown item: empty list
    virtual bool HasAttachments() = 0;
    virtual EmbeddedObjectPtr Attachment(const QString& fileName) = 0; // nullptr when absent
    virtual ItemPtr ItemByName(const QString& itemName) = 0;    // nullptr when absent
};

class INotesItem : public platform::ComObject {
public:
    virtual QString Name() = 0;
    virtual int ItemType() = 0;
    // The same object answering as a rich-text item; throws unless it is rich text.
    virtual RichTextItemPtr AsRichText() = 0;
};

class INotesRichTextItem : public platform::ComObject {
public:
    // Paragraphs on lines of at most lineWidth characters (0: no wrapping).
    virtual QString PlainText(bool flag, int lineWidth) = 0;
    virtual QStringList EmbeddedObjects() = 0;                  // names, in the item's order
    virtual EmbeddedObjectPtr EmbeddedObject(const QString& name) = 0; // nullptr when absent
};

class INotesEmbeddedObject : public platform::ComObject {
public:
    virtual QString Name() = 0;
    virtual qint64 FileSize() = 0;
    // The name of the file ExtractTo writes: an attachment's own name; for an
    // OLE object the file the user put in (a package's file) or the object's
    // name with its class's extension.
    virtual QString FileName() { return Name(); }
    // Writes the object's file to that full path; throws when it cannot.
    virtual void ExtractTo(const QString& path) = 0;
};

} // namespace domino
