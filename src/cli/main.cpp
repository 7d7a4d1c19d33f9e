// quillet-cli: the engine and the export without windows. Each command is a
// file of its own; this table names them.
#include "cli/commands.h"
#include "platform/error.h"
#include <QCoreApplication>
#include <cstring>
#include <exception>

namespace {

struct Command {
    const char* name;
    int (*run)(const QStringList&);
    const char* usage;
};

const Command kCommands[] = {
    {"views", cli::viewsCommand, "views DB"},
    {"page", cli::pageCommand, "page DB VIEW [--start N] [--count N]"},
    {"doc", cli::docCommand, "doc DB DOCID"},
    {"export", cli::exportCommand, "export DB VIEW FILE [--start N] [--log-folder DIR]"},
};

int usage()
{
    QString text = QStringLiteral("usage: quillet-cli COMMAND ARGS [--user NAME --password PW]\n");
    for (const Command& c : kCommands)
        text += QStringLiteral("  quillet-cli ") + QString::fromLatin1(c.usage) + u'\n';
    text += QStringLiteral("DB is a file path or SERVER!!PATH (PATH relative to the server's data directory).");
    cli::writeError(text);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    for (const Command& c : kCommands) {
        if (args.first() != QLatin1String(c.name))
            continue;
        try {
            return c.run(args.mid(1));
        } catch (const cli::UsageError& e) {
            cli::writeError(e.text);
            return 2;
        } catch (const platform::Error& e) {
            cli::writeError(e.text());
            return 1;
        } catch (const std::exception& e) {
            cli::writeError(QString::fromLocal8Bit(e.what()));
            return 1;
        }
    }
    cli::writeError(QStringLiteral("unknown command \"%1\"").arg(args.first()));
    return usage();
}
