#pragma once
// quillet-cli's commands, one file each, and what they share: the session
// through the Domino handles (the same road the program takes), and the
// tab-separated UTF-8 output.
#include "cli/commandline.h"
#include "domino/notes.h"
#include <QString>
#include <QStringList>

namespace cli {

// Starts the session: as --user when given (the password from --password,
// --password-file, $QUILLET_PASSWORD or, on a terminal, typed without echo),
// else as for a local file.
void startSession(domino::TNotesSession& session, const CommandLine& args);
domino::DatabasePtr openDatabase(domino::TNotesSession& session, const QString& db);
// The view of that name or alias; throws when the database has none.
domino::ViewPtr requireView(domino::TNotesDatabase& db, const QString& name);

// One output line: the fields escaped (escapeField) and joined by tabs.
void writeLine(const QStringList& fields);
void writeError(const QString& text);

// Each command parses its own arguments (those after the command name).
int viewsCommand(const QStringList& args);
int pageCommand(const QStringList& args);
int docCommand(const QStringList& args);
int exportCommand(const QStringList& args);

} // namespace cli
