// quillet-cli doc DB DOCID: the document's items, one a line: name and first
// value, the rows of the window's document detail.
#include "browse/core/documentrows.h"
#include "cli/commands.h"

namespace cli {

int docCommand(const QStringList& argv)
{
    CommandLine cl(QStringLiteral("doc"), QStringLiteral("DB DOCID"),
                   QStringLiteral("Lists a document's items, one a line: the item's name and its first value."));
    cl.addNote(namesNote());
    if (!cl.parse(argv))
        return 0;
    const QStringList args = cl.positional(2);
    domino::TNotesSession session;
    startSession(session, cl);
    domino::TNotesDatabase db;
    db.ConnectTo(openDatabase(session, args[0]));
    domino::TNotesDocument doc;
    doc.ConnectTo(db.DocumentById(args[1]));
    for (const browse::DocumentRow& row : browse::documentRows(doc))
        writeLine({row.name, row.value});
    return 0;
}

} // namespace cli
