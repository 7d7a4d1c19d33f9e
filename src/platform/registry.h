#pragma once
// HKEY_LOCAL_MACHINE stand-in: a hive file in the text format that regedit
// exports ("Windows Registry Editor Version 5.00" in UTF-16LE with BOM; UTF-8
// and REGEDIT4 read as well). Reading keeps the file's bytes and an index of
// its keys, so a whole machine's export costs little more than its size. Keys and value names compare case-insensitively;
// an empty name (written "@") is the key's default value. Opening a key never
// creates it. Writes replace the file atomically and keep every line they do
// not change, unknown or broken lines included.
#include <QString>
#include <memory>
#include <optional>

namespace platform {

enum class KeyAccess { Read, ReadWrite };

class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // A string value (REG_SZ or REG_EXPAND_SZ); absent, or of another type: nullopt.
    virtual std::optional<QString> readString(const QString& valueName) const = 0;
    // Writes a REG_SZ value, creating it if needed; false when the hive cannot be written.
    virtual bool writeString(const QString& valueName, const QString& value) = 0;
};

class Registry {
public:
    virtual ~Registry() = default;
    // nullptr when the key does not exist, or when ReadWrite is asked of a hive
    // that cannot be written (the key "does not open" then, as on Windows).
    virtual std::unique_ptr<RegistryKey> openKey(const QString& keyPath, KeyAccess access) = 0;
    // Creates the key and its parents (used by component self-registration).
    virtual std::unique_ptr<RegistryKey> createKey(const QString& keyPath) = 0;
};

// A hive backed by a file; a missing file is an empty hive (nothing opens).
std::unique_ptr<Registry> openHiveFile(const QString& path);

// The machine's hive: hklm.reg beside the executable unless set otherwise.
void setMachineHivePath(const QString& path);
QString machineHivePath();
Registry& machineRegistry();

// Why the hive file at path cannot serve: missing, not a regular file,
// unreadable, or not a regedit export; each text names the file. Empty when
// it can.
QString hiveProblem(const QString& path);

} // namespace platform
