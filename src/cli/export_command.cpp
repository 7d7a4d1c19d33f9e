// quillet-cli export: written with the view export.
#include "cli/commands.h"

namespace cli {

int exportCommand(const QStringList&)
{
    writeError(QStringLiteral("export: not yet available"));
    return 1;
}

} // namespace cli
