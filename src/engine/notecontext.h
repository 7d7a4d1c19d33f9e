#pragma once
// A stored note as the formula language sees it.
#include "engine/formula.h"
#include "engine/store.h"

namespace engine {

class NoteContext : public FormulaContext {
public:
    NoteContext(const Database& db, uint32_t note, QString docNumber = {}, const ViewPlace* place = nullptr)
        : db_(db), note_(note), docNumber_(std::move(docNumber)), place_(place)
    {
    }
    bool hasItem(const QString& name) const override;
    domino::NotesValueList itemValue(const QString& name) const override;
    domino::NotesDateTime created() const override;
    domino::NotesDateTime modified() const override;
    bool isResponse() const override;
    QString noteId() const override;
    QString universalId() const override;
    QString docNumber() const override { return docNumber_; }
    qint64 docLength() const override;
    QStringList attachmentNames() const override;
    QStringList authors() const override;
    const ViewPlace* viewPlace() const override { return place_; }

private:
    const Database& db_;
    uint32_t note_;
    QString docNumber_;
    const ViewPlace* place_;
};

// The document ID the Domino Objects give a note: its note ID in upper-case hex.
QString documentIdText(const NoteRecord& note);

} // namespace engine
