// quillet-cli page DB VIEW [--start N] [--count N]: a page of a view as the
// document list shows it: "文档ID" and the column titles, then one line per
// document with its ID and column values. The rows come from the same
// reader as the window's.
#include "browse/core/pagereader.h"
#include "cli/commands.h"

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
    browse::PageReader reader(requireView(db, unescapeField(args[1])));
    writeLine(QStringList{QStringLiteral("文档ID")} + reader.titles());
    if (count == 0)
        return 0;
    reader.seek(start - 1);
    for (int i = 0; i < count && reader.hasMore(); ++i) {
        const browse::PageRow row = reader.readRow();
        if (!row.error.isEmpty())
            writeError(QStringLiteral("文档%1的列值读取出错: %2").arg(row.documentId, row.error));
        writeLine(QStringList{row.documentId} + row.values);
        reader.advance();
    }
    return 0;
}

} // namespace cli
