#pragma once
// quillet-cli's commands, one file each, and what they share: options, the
// session through the Domino handles (the same road the program takes), and
// the tab-separated UTF-8 output.
#include "domino/notes.h"
#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>

namespace cli {

// A usage error: the message goes to standard error and the exit status is 2.
struct UsageError {
    QString text;
};

// The options and positional arguments of one command line.
struct Arguments {
    QStringList positional;
    QString user;
    QString password;
    bool hasUser = false;
    std::optional<int> start;
    std::optional<int> count;
    QString logFolder;
};
// Parses the options a command allows (a list of "--start" etc.); throws UsageError.
Arguments parseArguments(const QStringList& args, const QStringList& allowed);

// Starts the session (as the user when --user was given, else as for a local
// file) and opens DB: a file path, or SERVER!!PATH below the server's data directory.
void startSession(domino::TNotesSession& session, const Arguments& args);
domino::DatabasePtr openDatabase(domino::TNotesSession& session, const QString& db);
// The view of that name or alias; throws when the database has none.
domino::ViewPtr requireView(domino::TNotesDatabase& db, const QString& name);

// One output line: the fields joined by tabs; tab, newline and backslash
// inside a field written as \t, \n and \\.
QString escapeField(const QString& field);
void writeLine(const QStringList& fields);
void writeError(const QString& text);

int viewsCommand(const QStringList& args);
int pageCommand(const QStringList& args);
int docCommand(const QStringList& args);
int exportCommand(const QStringList& args);

} // namespace cli
