#include "engine/objects.h"
#include "engine/extract.h"
#include "engine/notecontext.h"
#include "platform/error.h"

namespace engine {

QStringList DatabaseObject::Views()
{
    QStringList out;
    out.reserve(qsizetype(db_->views.size()));
    for (const ViewDesign& v : db_->views)
        out << v.name;
    return out;
}

domino::ViewPtr DatabaseObject::ViewByName(const QString& nameOrAlias)
{
    const int v = db_->viewIndexOf(nameOrAlias);
    if (v < 0)
        return nullptr;
    return std::make_shared<ViewObject>(db_, v, db_->viewIndex(v));
}

domino::DocumentPtr DatabaseObject::DocumentById(const QString& documentId)
{
    int note = db_->noteByNoteId(documentId);
    // Where one note ID names two documents, the UNID still tells them apart.
    if (note < 0 && documentId.trimmed().size() == 32)
        note = db_->noteByUnid(documentId.trimmed());
    if (note < 0)
        throw platform::Error(QStringLiteral("数据库中没有文档ID为%1的文档").arg(documentId));
    return std::make_shared<DocumentObject>(db_, uint32_t(note));
}

int ViewObject::ColumnCount() { return int(db_->views[size_t(view_)].columns.size()); }

QStringList ViewObject::ColumnNames()
{
    QStringList out;
    for (const ColumnDesign& c : db_->views[size_t(view_)].columns)
        out << c.title;
    return out;
}

domino::DocumentPtr ViewObject::at(int position)
{
    if (position < 0 || position >= index_->count())
        return nullptr;
    return std::make_shared<DocumentObject>(db_, index_->at(position).note, index_, position);
}

domino::DocumentPtr ViewObject::NthDocument(int position) { return at(position - 1); }

domino::DocumentPtr ViewObject::NextDocument(const domino::DocumentPtr& document)
{
    auto* doc = dynamic_cast<DocumentObject*>(document.get());
    if (!doc)
        throw platform::Error(QStringLiteral("NextDocument: 没有给出当前文档"));
    if (doc->view() == index_.get() && doc->position() >= 0)
        return at(doc->position() + 1);
    if (doc->database() != db_)
        throw platform::Error(QStringLiteral("NextDocument: 文档不属于这个视图的数据库"));
    const int pos = index_->positionOf(doc->note());
    if (pos < 0)
        throw platform::Error(QStringLiteral("NextDocument: 文档不在视图\"%1\"中").arg(Name()));
    return at(pos + 1);
}

QString DocumentObject::DocumentId() { return documentIdText(db_->notes[note_]); }

domino::NotesValueList DocumentObject::ColumnValues()
{
    if (!view_ || position_ < 0)
        return {};
    return view_->columnValues(position_);
}

QStringList DocumentObject::Items()
{
    const NoteRecord& n = db_->notes[note_];
    QStringList out;
    out.reserve(qsizetype(n.itemCount));
    for (uint32_t i = 0; i < n.itemCount; ++i)
        out << db_->names[db_->items[n.firstItem + i].name];
    return out;
}

domino::NotesValueList DocumentObject::ItemValue(const QString& itemName)
{
    const ItemRecord* item = db_->findItem(note_, itemName);
    return item ? db_->itemValues(*item) : domino::NotesValueList{};
}

bool DocumentObject::HasAttachments() { return db_->hasAttachments(note_); }

domino::EmbeddedObjectPtr DocumentObject::Attachment(const QString& fileName)
{
    const int f = db_->findFile(note_, fileName, true);
    if (f < 0)
        return nullptr;
    return std::make_shared<EmbeddedObjectObject>(db_, f);
}

domino::ItemPtr DocumentObject::ItemByName(const QString& itemName)
{
    const ItemRecord* item = db_->findItem(note_, itemName);
    if (!item)
        return nullptr;
    return std::make_shared<ItemObject>(db_, note_, item);
}

QString ItemObject::Name() { return db_->names[item_->name]; }

domino::RichTextItemPtr ItemObject::AsRichText()
{
    if (item_->kind != ValueKind::RichText)
        throw platform::Error(QStringLiteral("域\"%1\"不是RichText域").arg(Name()));
    return std::static_pointer_cast<domino::INotesRichTextItem>(shared_from_this());
}

QString ItemObject::PlainText(bool stripTabs, int lineWidth)
{
    return wrapPlainText(db_->richPlainText(*item_), stripTabs, lineWidth);
}

QStringList ItemObject::EmbeddedObjects() { return db_->richReferences(*item_); }

domino::EmbeddedObjectPtr ItemObject::EmbeddedObject(const QString& name)
{
    const QStringList refs = db_->richReferences(*item_);
    if (!refs.contains(name, Qt::CaseInsensitive))
        return nullptr;
    const int f = db_->findFile(note_, name, false);
    if (f < 0)
        return nullptr;
    return std::make_shared<EmbeddedObjectObject>(db_, f);
}

qint64 EmbeddedObjectObject::FileSize() { return decodedFileSize(*db_, file_); }

QString EmbeddedObjectObject::FileName() { return extractedFileName(*db_, file_); }

void EmbeddedObjectObject::ExtractTo(const QString& path)
{
    if (path.isEmpty())
        throw platform::Error(QStringLiteral("ExtractTo: 没有给出文件路径"));
    extractFile(*db_, file_, path);
}

QString wrapPlainText(const QString& text, bool stripTabs, int width)
{
    QString src = text;
    if (stripTabs)
        src.remove(u'\t');
    if (width <= 0)
        return src;
    QStringList lines;
    for (const QString& para : src.split(u'\n')) {
        QString rest = para;
        while (rest.size() > width) {
            qsizetype cut = rest.lastIndexOf(u' ', width);
            if (cut <= 0)
                cut = width;  // no blank to break at (CJK text, long words)
            lines << rest.left(cut);
            rest = rest.mid(cut);
            if (rest.startsWith(u' '))
                rest.remove(0, 1);
        }
        lines << rest;
    }
    return lines.join(u'\n');
}

} // namespace engine
