#include "cli/commandline.h"
#include <cstdio>

namespace cli {

namespace {

const QString kHelp = QStringLiteral("help");

void writeOut(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

} // namespace

CommandLine::CommandLine(QString command, QString arguments, QString summary)
    : command_(std::move(command)), arguments_(std::move(arguments)), summary_(std::move(summary))
{
    // "-abc" is one unknown option, not three, and nothing but "--help" has a short form.
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), kHelp});
    parser_.addOption(help);
    options_ << help;
    help_ << HelpEntry{QStringLiteral("-h, --help"), QStringLiteral("show this help")};
    addOption(QStringLiteral("user"), QStringLiteral("NAME"), QStringLiteral("start the session as this Notes user"));
    addOption(QStringLiteral("password"), QStringLiteral("PW"),
              QStringLiteral("the user's password (visible to every user in the process list; prefer the next two)"));
    addOption(QStringLiteral("password-file"), QStringLiteral("FILE"),
              QStringLiteral("read the password from the first line of FILE, which no other user may read"));
}

void CommandLine::addOption(const QString& name, const QString& valueName, const QString& description)
{
    const QCommandLineOption option(name, description, valueName);
    parser_.addOption(option);
    options_ << option;
    help_ << HelpEntry{QStringLiteral("--%1 %2").arg(name, valueName), description};
}

void CommandLine::addNote(const QString& text) { notes_ << text; }

void CommandLine::usageError(const QString& why) const
{
    throw UsageError{QStringLiteral("quillet-cli %1: %2\n%3\n(quillet-cli %1 --help tells more)")
                         .arg(command_, why, usageLine())};
}

bool CommandLine::parse(const QStringList& args)
{
    // The parser takes the program's name first.
    if (!parser_.parse(QStringList{QStringLiteral("quillet-cli")} + args))
        usageError(parser_.errorText());
    if (parser_.isSet(kHelp)) {
        writeOut(helpText());
        return false;
    }
    for (const QCommandLineOption& option : options_) {
        const QString name = option.names().constLast();
        if (option.valueName().isEmpty() ? parser_.optionNames().count(name) > 1 : parser_.values(name).size() > 1)
            usageError(QStringLiteral("--%1 is given more than once").arg(name));
    }
    return true;
}

QStringList CommandLine::positional(int expected) const
{
    const QStringList p = parser_.positionalArguments();
    if (p.size() != expected)
        usageError(p.size() < expected ? QStringLiteral("missing arguments") : QStringLiteral("too many arguments"));
    return p;
}

bool CommandLine::isSet(const QString& name) const { return parser_.isSet(name); }

QString CommandLine::value(const QString& name) const { return parser_.value(name); }

std::optional<int> CommandLine::number(const QString& name, int minimum) const
{
    if (!parser_.isSet(name))
        return std::nullopt;
    const QString text = parser_.value(name);
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < minimum)
        usageError(QStringLiteral("--%1 needs a whole number of at least %2, not \"%3\"").arg(name).arg(minimum).arg(text));
    return n;
}

QString CommandLine::usageLine() const
{
    return QStringLiteral("usage: quillet-cli %1 %2 [OPTIONS]").arg(command_, arguments_);
}

QString CommandLine::helpText() const
{
    QString text = usageLine() + u'\n' + summary_ + QStringLiteral("\n\nOptions:\n");
    qsizetype width = 0;
    for (const HelpEntry& e : help_)
        width = std::max(width, e.names.size());
    for (const HelpEntry& e : help_)
        text += QStringLiteral("  ") + e.names.leftJustified(width + 2) + e.description + u'\n';
    for (const QString& note : notes_)
        text += u'\n' + note + u'\n';
    return text;
}

namespace {

// Whether a backslash before c would be read as the start of an escape.
bool startsEscape(QChar c)
{
    switch (c.unicode()) {
    case u't':
    case u'r':
    case u'n':
    case u'\\':
    case u'\t':
    case u'\r':
    case u'\n':
        return true;
    default:
        return false;
    }
}

} // namespace

QString escapeField(const QString& field)
{
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field[i];
        switch (c.unicode()) {
        case u'\t':
            out += QLatin1String("\\t");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\\':
            out += i + 1 < field.size() && startsEscape(field[i + 1]) ? QLatin1String("\\\\") : QLatin1String("\\");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescapeField(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        switch (text[i + 1].unicode()) {
        case u't':
            out += u'\t';
            break;
        case u'r':
            out += u'\r';
            break;
        case u'n':
            out += u'\n';
            break;
        case u'\\':
            out += u'\\';
            break;
        default:
            out += c;  // a plain backslash, as in "Admin\All"
            continue;
        }
        ++i;
    }
    return out;
}

QString namesNote()
{
    return QStringLiteral(
        "Output is UTF-8, one line per entry, fields separated by tabs. A tab, CR or LF inside a\n"
        "field is written \\t, \\r, \\n; a backslash is doubled only where it comes before t, r, n,\n"
        "another backslash, a tab or a line break, so \"Admin\\All\" is printed as it is. VIEW is read the same way:\n"
        "a name as `views` prints it can be passed to page and export as it stands. An argument\n"
        "that begins with \"-\" comes after \"--\".");
}

} // namespace cli
