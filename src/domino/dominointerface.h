#pragma once
// Where Notes and Domino are installed, from the machine hive, and the repair
// of the component registration at start. The results of the path routines
// are both paths and display texts.
#include <QString>

namespace domino {

inline constexpr const char* kComponentFileName = "libdominoobjects.so";

bool DominoInstalled();
bool NotesInstalled();
QString DominoPath();      // "没有安装Domino" when the key is absent
QString DominoDataPath();  // likewise
QString NotesPath();       // empty when the key is absent
// Keeps the NotesSession registration pointing at installDir/libdominoobjects.so. Always true.
bool CheckComponentRegistration(const QString& installDir);
void RegisterComponentFile(const QString& filePath);

} // namespace domino
