// quillet-cli doc DB DOCID: the document's items, one a line: name and first value.
#include "cli/commands.h"

namespace cli {

int docCommand(const QStringList& argv)
{
    const Arguments args = parseArguments(argv, {});
    if (args.positional.size() != 2)
        throw UsageError{QStringLiteral("usage: quillet-cli doc DB DOCID")};
    domino::TNotesSession session;
    startSession(session, args);
    domino::TNotesDatabase db;
    db.ConnectTo(openDatabase(session, args.positional[0]));
    domino::TNotesDocument doc;
    doc.ConnectTo(db.DocumentById(args.positional[1]));
    for (const QString& name : doc.Items()) {
        const domino::NotesValueList values = doc.ItemValue(name);
        writeLine({name, values.isEmpty() ? QString() : values.first().toText()});
    }
    return 0;
}

} // namespace cli
