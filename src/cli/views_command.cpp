// quillet-cli views DB: the database's view names, one a line, in database order.
#include "cli/commands.h"

namespace cli {

int viewsCommand(const QStringList& argv)
{
    CommandLine cl(QStringLiteral("views"), QStringLiteral("DB"),
                   QStringLiteral("Lists the database's views and folders by name, one a line, in database order."));
    cl.addNote(namesNote());
    if (!cl.parse(argv))
        return 0;
    const QStringList args = cl.positional(1);
    domino::TNotesSession session;
    startSession(session, cl);
    domino::TNotesDatabase db;
    db.ConnectTo(openDatabase(session, args[0]));
    for (const QString& name : db.Views())
        writeLine({name});
    return 0;
}

} // namespace cli
