#pragma once
// One command's command line, parsed by QCommandLineParser. Every command
// takes --help and the session options (--user, --password, --password-file);
// an unknown option, an option given twice or one without its value is a
// usage error, so each option has exactly one value wherever it is read.
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace cli {

// A usage error: the message goes to standard error and the exit status is 2.
struct UsageError {
    QString text;
};

class CommandLine {
public:
    // command: "page"; arguments: "DB VIEW"; summary: one sentence for --help.
    CommandLine(QString command, QString arguments, QString summary);

    // An option taking a value (valueName "N", "DIR"...).
    void addOption(const QString& name, const QString& valueName, const QString& description);
    // A paragraph of --help after the options.
    void addNote(const QString& text);

    // Parses the command's arguments (those after the command name). Returns
    // false when --help was asked; the help is then on standard output.
    // Throws UsageError.
    bool parse(const QStringList& args);

    // The positional arguments; a usage error unless there are exactly `expected`.
    QStringList positional(int expected) const;
    bool isSet(const QString& name) const;
    QString value(const QString& name) const;
    // The option's value as a whole number of at least `minimum`; nullopt when not given.
    std::optional<int> number(const QString& name, int minimum) const;

    QString usageLine() const;
    QString helpText() const;
    // Throws the UsageError that says why, with the usage line.
    [[noreturn]] void usageError(const QString& why) const;

private:
    struct HelpEntry {
        QString names;
        QString description;
    };
    QString command_;
    QString arguments_;
    QString summary_;
    QCommandLineParser parser_;
    QList<QCommandLineOption> options_;
    QList<HelpEntry> help_;
    QStringList notes_;
};

// How fields are written on standard output and how names are read back:
// a tab, CR or LF is written \t, \r, \n; a backslash is doubled only where it
// would otherwise start one of those escapes or "\\". So "Admin\All" is
// printed as it is, and every printed field reads back to the same text.
QString escapeField(const QString& field);
QString unescapeField(const QString& text);

// The help paragraph that says so, for the commands that print or read names.
QString namesNote();

} // namespace cli
