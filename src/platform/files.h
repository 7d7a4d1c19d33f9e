#pragma once
#include <QString>

namespace platform {

// True when the file can be opened for reading and no other process holds a
// lock on it (flock LOCK_EX|LOCK_NB on a fresh descriptor).
bool canOpenExclusively(const QString& path);

} // namespace platform
