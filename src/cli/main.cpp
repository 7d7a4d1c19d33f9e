// quillet-cli: the engine and the export without windows. Each command is a
// file of its own that parses its own options; this table names them.
#include "cli/commands.h"
#include "export/exportlog.h"
#include "platform/error.h"
#include <QCoreApplication>
#include <cstdio>
#include <exception>

namespace {

struct Command {
    const char* name;
    int (*run)(const QStringList&);
    const char* synopsis;
};

const Command kCommands[] = {
    {"views", cli::viewsCommand, "views DB"},
    {"page", cli::pageCommand, "page DB VIEW [--start N] [--count N]"},
    {"doc", cli::docCommand, "doc DB DOCID"},
    {"export", cli::exportCommand, "export DB VIEW FILE [--start N] [--log-folder DIR] [--format xls|xlsx]"},
};

QString usageText()
{
    QString text = QStringLiteral("usage: quillet-cli COMMAND ARGS [--user NAME [--password-file FILE]]\n");
    for (const Command& c : kCommands)
        text += QStringLiteral("  quillet-cli ") + QString::fromLatin1(c.synopsis) + u'\n';
    text += QStringLiteral(
        "DB is a file path or SERVER!!PATH (PATH relative to the server's data directory).\n"
        "The password of --user comes from --password PW, --password-file FILE (a file no other\n"
        "user may read), the QUILLET_PASSWORD environment variable or, on a terminal, is typed.\n"
        "The export log, one file a day (logYYYYMMDD.txt), lies in $XDG_STATE_HOME/quillet, by default\n"
        "~/.local/state/quillet (here: ") + exporting::defaultLogFolder() + QStringLiteral(").\n"
        "quillet-cli COMMAND --help tells more; --version shows the version.");
    return text;
}

void writeOut(const QString& text)
{
    const QByteArray bytes = (text + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        cli::writeError(usageText());
        return 2;
    }
    const QString& first = args.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
        writeOut(usageText());
        return 0;
    }
    if (first == QLatin1String("--version")) {
        writeOut(QStringLiteral("quillet-cli ") + QCoreApplication::applicationVersion());
        return 0;
    }
    for (const Command& c : kCommands) {
        if (first != QLatin1String(c.name))
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
    cli::writeError(QStringLiteral("unknown command \"%1\"\n").arg(first) + usageText());
    return 2;
}
