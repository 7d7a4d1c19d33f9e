// quillet-cli views DB: the database's view names, one a line, in database order.
#include "cli/commands.h"

namespace cli {

int viewsCommand(const QStringList& argv)
{
    const Arguments args = parseArguments(argv, {});
    if (args.positional.size() != 1)
        throw UsageError{QStringLiteral("usage: quillet-cli views DB")};
    domino::TNotesSession session;
    startSession(session, args);
    domino::TNotesDatabase db;
    db.ConnectTo(openDatabase(session, args.positional[0]));
    for (const QString& name : db.Views())
        writeLine({name});
    return 0;
}

} // namespace cli
