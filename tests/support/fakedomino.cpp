#include "fakedomino.h"
#include "platform/error.h"
#include <QFile>

namespace fakes {

namespace {

[[noreturn]] void fail(const char* operation)
{
    throw platform::Error(QString::fromLatin1(operation) + QStringLiteral(" failed"));
}

class FakeRichTextItem : public domino::INotesRichTextItem {
public:
    explicit FakeRichTextItem(FakeItem item) : item_(std::move(item)) {}
    QString PlainText(bool, int) override { return item_.plainText; }
    QStringList EmbeddedObjects() override
    {
        QStringList names;
        for (const FakeFile& f : item_.embedded)
            names << f.name;
        return names;
    }
    domino::EmbeddedObjectPtr EmbeddedObject(const QString& name) override
    {
        for (const FakeFile& f : item_.embedded)
            if (f.name == name)
                return std::make_shared<FakeEmbeddedObject>(f);
        return nullptr;
    }

private:
    FakeItem item_;
};

class FakeNotesItem : public domino::INotesItem {
public:
    explicit FakeNotesItem(FakeItem item) : item_(std::move(item)) {}
    QString Name() override { return item_.name; }
    int ItemType() override
    {
        if (item_.failItemType)
            fail("ItemType");
        return item_.type;
    }
    domino::RichTextItemPtr AsRichText() override
    {
        if (item_.type != domino::ItemTypes::RichText)
            throw platform::Error(QStringLiteral("not rich text"));
        return std::make_shared<FakeRichTextItem>(item_);
    }

private:
    FakeItem item_;
};

} // namespace

void FakeEmbeddedObject::ExtractTo(const QString& path)
{
    if (file_.failExtract)
        fail("ExtractTo");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(file_.bytes) != file_.bytes.size())
        throw platform::Error(QStringLiteral("cannot write ") + path);
}

FakeItem& FakeDocument::addItem(const QString& name, domino::NotesValueList values, int type)
{
    FakeItem item;
    item.name = name;
    item.type = type;
    item.values = std::move(values);
    items << item;
    return items.last();
}

FakeItem& FakeDocument::addRichText(const QString& name, const QString& plainText, QList<FakeFile> embedded)
{
    FakeItem& item = addItem(name, {plainText}, domino::ItemTypes::RichText);
    item.plainText = plainText;
    item.embedded = std::move(embedded);
    return item;
}

FakeItem* FakeDocument::item(const QString& name)
{
    for (FakeItem& i : items)
        if (i.name.compare(name, Qt::CaseInsensitive) == 0)
            return &i;
    return nullptr;
}

QString FakeDocument::DocumentId()
{
    if (failDocumentId)
        fail("DocumentId");
    return id;
}

QStringList FakeDocument::Items()
{
    if (failItems)
        fail("Items");
    QStringList names;
    for (const FakeItem& i : items)
        names << i.name;
    return names;
}

domino::NotesValueList FakeDocument::ItemValue(const QString& itemName)
{
    FakeItem* i = item(itemName);
    if (!i)
        return {};
    if (i->failItemValue)
        fail("ItemValue");
    return i->values;
}

bool FakeDocument::HasAttachments()
{
    if (failHasAttachments)
        fail("HasAttachments");
    if (hasAttachments)
        return *hasAttachments;
    return !attachments.isEmpty() || (formulaNames && !formulaNames->isEmpty());
}

domino::EmbeddedObjectPtr FakeDocument::Attachment(const QString& fileName)
{
    for (const FakeFile& f : attachments)
        if (f.name == fileName)
            return std::make_shared<FakeEmbeddedObject>(f);
    return nullptr;
}

domino::ItemPtr FakeDocument::ItemByName(const QString& itemName)
{
    FakeItem* i = item(itemName);
    return i ? std::make_shared<FakeNotesItem>(*i) : nullptr;
}

FakeDocumentPtr FakeView::addDocument(const QString& id)
{
    documents << std::make_shared<FakeDocument>(id);
    documents.last()->position = int(documents.size());
    return documents.last();
}

domino::DocumentPtr FakeView::NthDocument(int position)
{
    if (failNth)
        fail("NthDocument");
    if (position < 1 || position > documents.size())
        return nullptr;
    return documents.at(position - 1);
}

domino::DocumentPtr FakeView::NextDocument(const domino::DocumentPtr& document)
{
    auto* doc = dynamic_cast<FakeDocument*>(document.get());
    if (!doc || doc->position < 1 || doc->position > documents.size() || documents.at(doc->position - 1) != document)
        fail("NextDocument");
    if (doc->failNext)
        fail("NextDocument");
    return doc->position < documents.size() ? documents.at(doc->position) : nullptr;
}

FakeViewPtr FakeDatabase::addView(const QString& name)
{
    views << std::make_shared<FakeView>(name);
    return views.last();
}

QStringList FakeDatabase::Views()
{
    QStringList names;
    for (const FakeViewPtr& v : views)
        names << v->name;
    return names;
}

domino::ViewPtr FakeDatabase::ViewByName(const QString& nameOrAlias)
{
    if (failViewByName)
        fail("ViewByName");
    for (const FakeViewPtr& v : views)
        if (v->name == nameOrAlias)
            return v;
    return nullptr;
}

domino::DocumentPtr FakeDatabase::DocumentById(const QString& documentId)
{
    for (const FakeViewPtr& v : views)
        for (const FakeDocumentPtr& d : v->documents)
            if (d->id == documentId)
                return d;
    fail("DocumentById");
}

domino::NotesValueList FakeSession::EvaluateFormula(const QString& formula, const domino::DocumentPtr& document)
{
    auto* doc = dynamic_cast<FakeDocument*>(document.get());
    if (!doc || formula != QLatin1String("@AttachmentNames"))
        fail("EvaluateFormula");
    if (doc->failFormula)
        fail("EvaluateFormula");
    domino::NotesValueList names;
    if (doc->formulaNames) {
        for (const QString& n : *doc->formulaNames)
            names << domino::NotesValue(n);
    } else {
        for (const FakeFile& f : doc->attachments)
            names << domino::NotesValue(f.name);
    }
    return names;
}

} // namespace fakes
