#pragma once
// Handles of the Domino Objects. A handle holds at most one object; an object
// returned by an operation is attached to a new handle with ConnectTo. Every
// operation works on DefaultInterface(): an empty session handle connects
// first (a new session object through the COM runtime); any other empty
// handle fails with kNotConnectedText.
#include "domino/dominoobjects.h"
#include <memory>

namespace domino {

inline constexpr const char* kNotConnectedText =
    "DefaultInterface is NULL. Component is not connected to Server. You must call 'Connect' or "
    "'ConnectTo' before this operation";

template <class I>
class TNotesHandle {
public:
    using Interface = I;
    using Ptr = std::shared_ptr<I>;

    TNotesHandle() = default;
    virtual ~TNotesHandle() = default;
    TNotesHandle(const TNotesHandle&) = delete;
    TNotesHandle& operator=(const TNotesHandle&) = delete;

    // Releases the held object, then holds the given one, which may be none.
    void ConnectTo(Ptr object) { object_ = std::move(object); }
    // Releases the held object.
    void Disconnect() { object_.reset(); }
    bool IsConnected() const { return object_ != nullptr; }
    virtual Ptr DefaultInterface();

protected:
    Ptr object_;
};

class TNotesSession : public TNotesHandle<INotesSession> {
public:
    // Creates a new session object from the registered component.
    void Connect();
    Ptr DefaultInterface() override;

    void StartSessionAs(const QString& userName, const QString& password);
    void StartSession(const QString& text);
    DatabasePtr OpenDatabase(const QString& server, const QString& path, bool createIfMissing);
    NotesValueList EvaluateFormula(const QString& formula, const DocumentPtr& document);
};

class TNotesDatabase : public TNotesHandle<INotesDatabase> {
public:
    QStringList Views();
    ViewPtr ViewByName(const QString& name);
    DocumentPtr DocumentById(const QString& documentId);
};

class TNotesView : public TNotesHandle<INotesView> {
public:
    int ColumnCount();
    QStringList ColumnNames();
    int DocumentCount();
    QString Name();
    DocumentPtr NthDocument(int position);
    DocumentPtr NextDocument(const DocumentPtr& document);
};

class TNotesDocument : public TNotesHandle<INotesDocument> {
public:
    QString DocumentId();
    QString UniversalID();
    NotesValueList ColumnValues();
    QStringList Items();
    NotesValueList ItemValue(const QString& itemName);
    bool HasAttachments();
    EmbeddedObjectPtr Attachment(const QString& fileName);
    ItemPtr ItemByName(const QString& itemName);
};

class TNotesItem : public TNotesHandle<INotesItem> {
public:
    int ItemType();
};

class TNotesRichTextItem : public TNotesHandle<INotesRichTextItem> {
public:
    using TNotesHandle::ConnectTo;
    // Asks the item object for its rich-text interface; fails unless it is rich text.
    void ConnectTo(const ItemPtr& item);
    QString PlainText(bool flag, int lineWidth);
    QStringList EmbeddedObjects();
    EmbeddedObjectPtr EmbeddedObject(const QString& name);
};

class TNotesEmbeddedObject : public TNotesHandle<INotesEmbeddedObject> {
public:
    QString FileName();
    void ExtractTo(const QString& path);
};

} // namespace domino
