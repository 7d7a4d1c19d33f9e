#pragma once
// Where quillet-cli takes a password from, so that it need not stand on the
// command line, where every user of the machine can read it.
#include "cli/commandline.h"
#include <QString>

namespace cli {

// --password, else the first line of --password-file (refused when group or
// others may read it), else $QUILLET_PASSWORD, else typed on the terminal
// without echo when standard input is one; empty otherwise. Giving both
// --password and --password-file is a usage error.
QString sessionPassword(const CommandLine& args);

// The first line of a password file; throws platform::Error naming the file.
QString readPasswordFile(const QString& path);

} // namespace cli
