#include "domino/notes.h"
#include "platform/error.h"

namespace domino {

template <class I>
typename TNotesHandle<I>::Ptr TNotesHandle<I>::DefaultInterface()
{
    if (!object_)
        throw platform::Error(QString::fromLatin1(kNotConnectedText));
    return object_;
}

template class TNotesHandle<INotesSession>;
template class TNotesHandle<INotesDatabase>;
template class TNotesHandle<INotesView>;
template class TNotesHandle<INotesDocument>;
template class TNotesHandle<INotesItem>;
template class TNotesHandle<INotesRichTextItem>;
template class TNotesHandle<INotesEmbeddedObject>;

void TNotesSession::Connect()
{
    platform::ComObjectPtr object = platform::CreateComObject(QString::fromLatin1(kNotesSessionClsid));
    auto session = std::dynamic_pointer_cast<INotesSession>(object);
    if (!session)
        throw platform::Error(QStringLiteral("组件不支持NotesSession接口"));
    object_ = std::move(session);
}

TNotesSession::Ptr TNotesSession::DefaultInterface()
{
    if (!object_)
        Connect();
    return TNotesHandle::DefaultInterface();
}

void TNotesSession::StartSessionAs(const QString& userName, const QString& password)
{
    DefaultInterface()->StartSessionAs(userName, password);
}

void TNotesSession::StartSession(const QString& text) { DefaultInterface()->StartSession(text); }

DatabasePtr TNotesSession::OpenDatabase(const QString& server, const QString& path, bool createIfMissing)
{
    return DefaultInterface()->OpenDatabase(server, path, createIfMissing);
}

NotesValueList TNotesSession::EvaluateFormula(const QString& formula, const DocumentPtr& document)
{
    return DefaultInterface()->EvaluateFormula(formula, document);
}

QStringList TNotesDatabase::Views() { return DefaultInterface()->Views(); }
ViewPtr TNotesDatabase::ViewByName(const QString& name) { return DefaultInterface()->ViewByName(name); }
DocumentPtr TNotesDatabase::DocumentById(const QString& documentId)
{
    return DefaultInterface()->DocumentById(documentId);
}

int TNotesView::ColumnCount() { return DefaultInterface()->ColumnCount(); }
QStringList TNotesView::ColumnNames() { return DefaultInterface()->ColumnNames(); }
int TNotesView::DocumentCount() { return DefaultInterface()->DocumentCount(); }
QString TNotesView::Name() { return DefaultInterface()->Name(); }
DocumentPtr TNotesView::NthDocument(int position) { return DefaultInterface()->NthDocument(position); }
DocumentPtr TNotesView::NextDocument(const DocumentPtr& document)
{
    return DefaultInterface()->NextDocument(document);
}

QString TNotesDocument::DocumentId() { return DefaultInterface()->DocumentId(); }
QString TNotesDocument::UniversalID() { return DefaultInterface()->UniversalID(); }
NotesValueList TNotesDocument::ColumnValues() { return DefaultInterface()->ColumnValues(); }
QStringList TNotesDocument::Items() { return DefaultInterface()->Items(); }
NotesValueList TNotesDocument::ItemValue(const QString& itemName)
{
    return DefaultInterface()->ItemValue(itemName);
}
bool TNotesDocument::HasAttachments() { return DefaultInterface()->HasAttachments(); }
EmbeddedObjectPtr TNotesDocument::Attachment(const QString& fileName)
{
    return DefaultInterface()->Attachment(fileName);
}
ItemPtr TNotesDocument::ItemByName(const QString& itemName) { return DefaultInterface()->ItemByName(itemName); }

int TNotesItem::ItemType() { return DefaultInterface()->ItemType(); }

void TNotesRichTextItem::ConnectTo(const ItemPtr& item)
{
    if (!item)
        throw platform::Error(QString::fromLatin1(kNotConnectedText));
    TNotesHandle::ConnectTo(item->AsRichText());
}
QString TNotesRichTextItem::PlainText(bool flag, int lineWidth)
{
    return DefaultInterface()->PlainText(flag, lineWidth);
}
QStringList TNotesRichTextItem::EmbeddedObjects() { return DefaultInterface()->EmbeddedObjects(); }
EmbeddedObjectPtr TNotesRichTextItem::EmbeddedObject(const QString& name)
{
    return DefaultInterface()->EmbeddedObject(name);
}

QString TNotesEmbeddedObject::FileName() { return DefaultInterface()->FileName(); }

void TNotesEmbeddedObject::ExtractTo(const QString& path) { DefaultInterface()->ExtractTo(path); }

} // namespace domino
