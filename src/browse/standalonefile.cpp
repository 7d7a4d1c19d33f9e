#include "browse/standalonefile.h"
#include "platform/files.h"
#include <QFileInfo>

bool IsFileLocked(const QString& fileName)
{
    const QFileInfo info(fileName);
    // A folder is no file: it goes on to the open, which reports it.
    if (!info.exists() || info.isDir())
        return false;
    return !platform::canOpenExclusively(fileName);
}
