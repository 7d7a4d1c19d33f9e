// quillet-cli page DB VIEW [--start N] [--count N]: a page of a view as the
// document list shows it: "文档ID" and the column titles, then one line per
// document with its ID and column values.
#include "cli/commands.h"
#include "platform/error.h"

namespace cli {

int pageCommand(const QStringList& argv)
{
    CommandLine cl(QStringLiteral("page"), QStringLiteral("DB VIEW"),
                   QStringLiteral("Lists a page of a view: \"文档ID\" and the column titles, then one line per "
                                  "document\nwith its ID and column values."));
    cl.addOption(QStringLiteral("start"), QStringLiteral("N"), QStringLiteral("the first document, counted from 1 (default 1)"));
    cl.addOption(QStringLiteral("count"), QStringLiteral("N"), QStringLiteral("how many documents (default 100)"));
    cl.addNote(namesNote());
    if (!cl.parse(argv))
        return 0;
    const QStringList args = cl.positional(2);
    const int start = cl.number(QStringLiteral("start"), 1).value_or(1);
    const int count = cl.number(QStringLiteral("count"), 0).value_or(100);
    domino::TNotesSession session;
    startSession(session, cl);
    domino::TNotesDatabase db;
    db.ConnectTo(openDatabase(session, args[0]));
    domino::TNotesView view;
    view.ConnectTo(requireView(db, unescapeField(args[1])));
    const int columns = view.ColumnCount();
    QStringList header{QStringLiteral("文档ID")};
    const QStringList titles = view.ColumnNames();
    for (int c = 0; c < columns; ++c)
        header << titles.value(c);
    writeLine(header);
    if (count == 0)
        return 0;
    domino::TNotesDocument doc;
    doc.ConnectTo(view.NthDocument(start));
    for (int i = 0; i < count && doc.IsConnected(); ++i) {
        QStringList row{doc.DocumentId()};
        try {
            const domino::NotesValueList values = doc.ColumnValues();
            for (int c = 0; c < columns; ++c)
                row << (c < values.size() ? values[c].toText() : QString());
        } catch (const platform::Error& e) {
            writeError(QStringLiteral("文档%1的列值读取出错: %2").arg(row.first(), e.text()));
        }
        writeLine(row);
        doc.ConnectTo(view.NextDocument(doc.DefaultInterface()));
    }
    return 0;
}

} // namespace cli
