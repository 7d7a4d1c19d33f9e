#include "platform/files.h"
#include <QFile>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

bool canOpenExclusively(const QString& path)
{
    // Non-blocking: a FIFO would otherwise hold the open until a writer comes.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;  // what cannot be opened counts as held by someone else
    // A fresh descriptor conflicts even with a lock this process holds on
    // another one, as an exclusive open would on Windows.
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (free)
        ::flock(fd, LOCK_UN);
    ::close(fd);
    return free;
}

} // namespace platform
