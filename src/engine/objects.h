#pragma once
// The Domino Objects the engine hands out. Each keeps the database it came
// from alive; a document reached through a view remembers its position there,
// so NextDocument and ColumnValues cost O(1).
#include "domino/dominoobjects.h"
#include "engine/store.h"
#include "engine/viewindex.h"

namespace engine {

class DatabaseObject : public domino::INotesDatabase {
public:
    explicit DatabaseObject(DatabasePtr db) : db_(std::move(db)) {}
    QStringList Views() override;
    domino::ViewPtr ViewByName(const QString& nameOrAlias) override;
    domino::DocumentPtr DocumentById(const QString& documentId) override;
    QString FilePath() override { return db_->filePath; }
    QString Title() override { return db_->title; }
    const DatabasePtr& database() const { return db_; }

private:
    DatabasePtr db_;
};

class ViewObject : public domino::INotesView {
public:
    ViewObject(DatabasePtr db, int view, std::shared_ptr<const ViewIndex> index)
        : db_(std::move(db)), view_(view), index_(std::move(index))
    {
    }
    int ColumnCount() override;
    QStringList ColumnNames() override;
    int DocumentCount() override { return index_->count(); }
    QString Name() override { return db_->views[size_t(view_)].name; }
    domino::DocumentPtr NthDocument(int position) override;
    domino::DocumentPtr NextDocument(const domino::DocumentPtr& document) override;

private:
    domino::DocumentPtr at(int position);
    DatabasePtr db_;
    int view_;
    std::shared_ptr<const ViewIndex> index_;
};

class DocumentObject : public domino::INotesDocument {
public:
    DocumentObject(DatabasePtr db, uint32_t note, std::shared_ptr<const ViewIndex> view = {}, int position = -1)
        : db_(std::move(db)), note_(note), view_(std::move(view)), position_(position)
    {
    }
    QString DocumentId() override;
    QString UniversalID() override { return db_->notes[note_].unidText(); }
    domino::NotesValueList ColumnValues() override;
    QStringList Items() override;
    domino::NotesValueList ItemValue(const QString& itemName) override;
    bool HasAttachments() override;
    domino::EmbeddedObjectPtr Attachment(const QString& fileName) override;
    domino::ItemPtr ItemByName(const QString& itemName) override;

    const DatabasePtr& database() const { return db_; }
    uint32_t note() const { return note_; }
    const ViewIndex* view() const { return view_.get(); }
    int position() const { return position_; }

private:
    DatabasePtr db_;
    uint32_t note_;
    std::shared_ptr<const ViewIndex> view_;
    int position_;
};

// An item; a rich-text item answers as INotesRichTextItem too.
class ItemObject : public domino::INotesItem,
                   public domino::INotesRichTextItem,
                   public std::enable_shared_from_this<ItemObject> {
public:
    ItemObject(DatabasePtr db, uint32_t note, const ItemRecord* item) : db_(std::move(db)), note_(note), item_(item) {}
    QString Name() override;
    int ItemType() override { return item_->type; }
    domino::RichTextItemPtr AsRichText() override;
    QString PlainText(bool stripTabs, int lineWidth) override;
    QStringList EmbeddedObjects() override;
    domino::EmbeddedObjectPtr EmbeddedObject(const QString& name) override;

private:
    DatabasePtr db_;
    uint32_t note_;
    const ItemRecord* item_;
};

class EmbeddedObjectObject : public domino::INotesEmbeddedObject {
public:
    EmbeddedObjectObject(DatabasePtr db, int file) : db_(std::move(db)), file_(file) {}
    QString Name() override { return db_->files[size_t(file_)].name; }
    qint64 FileSize() override;
    QString FileName() override;
    void ExtractTo(const QString& path) override;

private:
    DatabasePtr db_;
    int file_;
};

// Paragraphs on lines of at most width characters, broken at blanks where a
// line has one (0: no wrapping); tabs removed when stripTabs.
QString wrapPlainText(const QString& text, bool stripTabs, int width);

} // namespace engine
