#pragma once
// The rows of the document detail: every item of a document, in the order
// the document gives them, with its first value as text.
#include "domino/notes.h"
#include <QList>

namespace browse {

struct DocumentRow {
    QString name;
    QString value;
    bool operator==(const DocumentRow&) const = default;
};

// An item without any value gives an empty value: one such item must not
// hide the rest of the document. Other failures propagate.
QList<DocumentRow> documentRows(domino::TNotesDocument& document);

// Opens the database (an empty server: a local file), finds the document by
// its ID and reads its rows. Failures propagate.
QList<DocumentRow> readDocumentRows(domino::TNotesSession& session, const QString& server,
                                    const QString& databasePath, const QString& documentId);

} // namespace browse
