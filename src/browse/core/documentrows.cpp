#include "browse/core/documentrows.h"
#include "platform/error.h"

namespace browse {

QList<DocumentRow> documentRows(domino::TNotesDocument& document)
{
    const QStringList names = document.Items();
    QList<DocumentRow> rows;
    rows.reserve(names.size());
    for (const QString& name : names) {
        const domino::NotesValueList values = document.ItemValue(name);
        rows.append({name, values.isEmpty() ? QString() : values.first().toText()});
    }
    return rows;
}

QList<DocumentRow> readDocumentRows(domino::TNotesSession& session, const QString& server,
                                    const QString& databasePath, const QString& documentId)
{
    domino::TNotesDatabase database;
    domino::DatabasePtr db = session.OpenDatabase(server, databasePath, false);
    if (!db)
        throw platform::Error(QStringLiteral("找不到数据库") + databasePath);
    database.ConnectTo(std::move(db));
    domino::TNotesDocument document;
    domino::DocumentPtr doc = database.DocumentById(documentId);
    if (!doc)
        throw platform::Error(QStringLiteral("数据库中没有文档ID为%1的文档").arg(documentId));
    document.ConnectTo(std::move(doc));
    return documentRows(document);
}

} // namespace browse
