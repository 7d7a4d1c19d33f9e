#pragma once
// An in-memory database behind the Domino Objects interfaces, for tests that
// need to make a particular operation fail. Documents, items, attachments and
// embedded objects are plain data; each failure switch makes one operation
// throw platform::Error with a text of its own ("<operation> failed").
#include "domino/dominoobjects.h"
#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

namespace fakes {

struct FakeFile {
    QString name;
    QByteArray bytes;
    bool failExtract = false;
};

struct FakeItem {
    QString name;
    int type = domino::ItemTypes::Text;
    domino::NotesValueList values;
    QString plainText;              // rich text only
    QList<FakeFile> embedded;       // rich text only
    bool failItemValue = false;
    bool failItemType = false;
};

class FakeDocument;
using FakeDocumentPtr = std::shared_ptr<FakeDocument>;

class FakeEmbeddedObject : public domino::INotesEmbeddedObject {
public:
    explicit FakeEmbeddedObject(FakeFile file) : file_(std::move(file)) {}
    QString Name() override { return file_.name; }
    qint64 FileSize() override { return file_.bytes.size(); }
    void ExtractTo(const QString& path) override;

private:
    FakeFile file_;
};

class FakeDocument : public domino::INotesDocument {
public:
    explicit FakeDocument(QString id) : id(std::move(id)) {}

    QString id;
    QList<FakeItem> items;
    QList<FakeFile> attachments;
    // Failure switches.
    bool failDocumentId = false;
    bool failItems = false;
    bool failHasAttachments = false;
    bool failFormula = false;        // EvaluateFormula on this document
    bool failNext = false;           // NextDocument given this document
    std::optional<bool> hasAttachments;  // by default: it has attachments or formula names
    int position = 0;                // in its view, from 1 (set by FakeView::addDocument)
    // Names the formula returns; by default those of the attachments.
    std::optional<QStringList> formulaNames;

    FakeItem& addItem(const QString& name, domino::NotesValueList values, int type = domino::ItemTypes::Text);
    FakeItem& addRichText(const QString& name, const QString& plainText, QList<FakeFile> embedded = {});
    FakeItem* item(const QString& name);

    QString DocumentId() override;
    domino::NotesValueList ColumnValues() override { return {}; }
    QStringList Items() override;
    domino::NotesValueList ItemValue(const QString& itemName) override;
    bool HasAttachments() override;
    domino::EmbeddedObjectPtr Attachment(const QString& fileName) override;
    domino::ItemPtr ItemByName(const QString& itemName) override;
};

class FakeView : public domino::INotesView {
public:
    explicit FakeView(QString name) : name(std::move(name)) {}
    QString name;
    QList<FakeDocumentPtr> documents;
    bool failNth = false;

    FakeDocumentPtr addDocument(const QString& id);

    int ColumnCount() override { return 0; }
    QStringList ColumnNames() override { return {}; }
    int DocumentCount() override { return int(documents.size()); }
    QString Name() override { return name; }
    domino::DocumentPtr NthDocument(int position) override;
    domino::DocumentPtr NextDocument(const domino::DocumentPtr& document) override;
};
using FakeViewPtr = std::shared_ptr<FakeView>;

class FakeDatabase : public domino::INotesDatabase {
public:
    QList<FakeViewPtr> views;
    bool failViewByName = false;

    FakeViewPtr addView(const QString& name);

    QStringList Views() override;
    domino::ViewPtr ViewByName(const QString& nameOrAlias) override;
    domino::DocumentPtr DocumentById(const QString& documentId) override;
    QString FilePath() override { return QStringLiteral("fake.nsf"); }
    QString Title() override { return QStringLiteral("fake"); }
};

class FakeSession : public domino::INotesSession {
public:
    void StartSessionAs(const QString&, const QString&) override {}
    void StartSession(const QString&) override {}
    domino::DatabasePtr OpenDatabase(const QString&, const QString&, bool) override { return nullptr; }
    domino::NotesValueList EvaluateFormula(const QString& formula, const domino::DocumentPtr& document) override;
};

} // namespace fakes
