#pragma once
#include <QString>

// True when the file exists and cannot be opened exclusively: another program
// holds a lock on it, or it cannot be opened for reading at all.
bool IsFileLocked(const QString& fileName);
