#include "cli/commands.h"
#include "platform/error.h"
#include "domino/notes.h"
#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace cli {

Arguments parseArguments(const QStringList& args, const QStringList& allowed)
{
    Arguments a;
    auto number = [](const QString& option, const QString& value, int minimum) {
        bool ok = false;
        const int n = value.toInt(&ok);
        if (!ok || n < minimum)
            throw UsageError{QStringLiteral("%1 needs a whole number of at least %2, not \"%3\"")
                                 .arg(option)
                                 .arg(minimum)
                                 .arg(value)};
        return n;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith(QLatin1String("--")) || arg == QLatin1String("--")) {
            a.positional << arg;
            continue;
        }
        if (!allowed.contains(arg) && arg != QLatin1String("--user") && arg != QLatin1String("--password"))
            throw UsageError{QStringLiteral("unknown option %1").arg(arg)};
        if (i + 1 >= args.size())
            throw UsageError{QStringLiteral("%1 needs a value").arg(arg)};
        const QString value = args[++i];
        if (arg == QLatin1String("--user")) {
            a.user = value;
            a.hasUser = true;
        } else if (arg == QLatin1String("--password")) {
            a.password = value;
        } else if (arg == QLatin1String("--start")) {
            a.start = number(arg, value, 1);
        } else if (arg == QLatin1String("--count")) {
            a.count = number(arg, value, 0);
        } else if (arg == QLatin1String("--log-folder")) {
            a.logFolder = value;
        }
    }
    return a;
}

void startSession(domino::TNotesSession& session, const Arguments& args)
{
    if (args.hasUser)
        session.StartSessionAs(args.user, args.password);
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
        throw platform::Error(QStringLiteral("数据库中没有视图\"%1\"").arg(name));
    return view;
}

QString escapeField(const QString& field)
{
    QString out;
    out.reserve(field.size());
    for (QChar c : field) {
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else
            out += c;
    }
    return out;
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
