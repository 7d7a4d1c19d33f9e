#include "engine/notecontext.h"

namespace engine {

bool NoteContext::hasItem(const QString& name) const { return db_.findItem(note_, name) != nullptr; }

domino::NotesValueList NoteContext::itemValue(const QString& name) const
{
    const ItemRecord* item = db_.findItem(note_, name);
    return item ? db_.itemValues(*item) : domino::NotesValueList{};
}

domino::NotesDateTime NoteContext::created() const { return db_.notes[note_].created.unpack(); }
domino::NotesDateTime NoteContext::modified() const { return db_.notes[note_].modified.unpack(); }
bool NoteContext::isResponse() const { return db_.notes[note_].hasParent; }
QString NoteContext::noteId() const { return QString::number(db_.notes[note_].noteId, 16); }
QString NoteContext::universalId() const { return db_.notes[note_].unidText(); }
qint64 NoteContext::docLength() const { return db_.notes[note_].length; }
QStringList NoteContext::attachmentNames() const { return db_.attachmentNames(note_); }

QStringList NoteContext::authors() const
{
    QStringList out;
    for (const domino::NotesValue& v : itemValue(QStringLiteral("$UpdatedBy")))
        out << v.toText();
    return out;
}

QString documentIdText(const NoteRecord& note) { return QString::number(note.noteId, 16).toUpper(); }

} // namespace engine
