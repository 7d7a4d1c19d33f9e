#pragma once
// Opened databases, kept by path and reused while the file's size and
// modification time are unchanged: the program opens a database again on
// every click, and that must cost nothing.
#include "engine/store.h"

namespace engine {

// Reads the DXL file, or returns the copy read before. Throws platform::Error.
DatabasePtr openDatabaseFile(const QString& absolutePath);

// Forgets every cached database (tests).
void clearDatabaseCache();

} // namespace engine
