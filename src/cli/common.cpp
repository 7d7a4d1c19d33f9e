#include "cli/commands.h"
#include "cli/password.h"
#include "platform/error.h"
#include "domino/notes.h"
#include <QFileInfo>
#include <cstdio>

namespace cli {

void startSession(domino::TNotesSession& session, const CommandLine& args)
{
    if (args.isSet(QStringLiteral("user")))
        session.StartSessionAs(args.value(QStringLiteral("user")), sessionPassword(args));
    else
        session.StartSession(QString());
}

domino::DatabasePtr openDatabase(domino::TNotesSession& session, const QString& db)
{
    const qsizetype bang = db.indexOf(QLatin1String("!!"));
    if (bang >= 0)
        return session.OpenDatabase(db.left(bang), db.mid(bang + 2), false);
    // A local file is named as the shell sees it, relative to the working folder.
    return session.OpenDatabase(QString(), QFileInfo(db).absoluteFilePath(), false);
}

domino::ViewPtr requireView(domino::TNotesDatabase& db, const QString& name)
{
    domino::ViewPtr view = db.ViewByName(name);
    if (!view)
        throw platform::Error(QStringLiteral("数据库中没有视图\"%1\"").arg(escapeField(name)));
    return view;
}

void writeLine(const QStringList& fields)
{
    QStringList escaped;
    escaped.reserve(fields.size());
    for (const QString& f : fields)
        escaped << escapeField(f);
    const QByteArray line = (escaped.join(u'\t') + u'\n').toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
}

void writeError(const QString& text)
{
    const QByteArray line = (text + u'\n').toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

} // namespace cli
