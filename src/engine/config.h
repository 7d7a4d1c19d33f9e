#pragma once
// What the engine knows of its installation: the Domino data directory and
// the names the local server answers to. The component reads them from the
// notes.ini in its own folder; tests and tools may set them explicitly.
#include <QString>
#include <QStringList>
#include <optional>

namespace engine {

struct EngineConfig {
    QString dataDirectory;   // absolute; empty when none is configured
    QString serverName;      // notes.ini ServerName, e.g. "CN=Quillet Demo/O=Quillet"
};

// notes.ini's Directory= and ServerName= (section [Notes]; keys case-insensitive).
// A relative Directory is taken relative to the file's folder.
EngineConfig readNotesIni(const QString& file);

// The folder of the file this code was loaded from (the component, or the
// program it is linked into).
QString moduleDirectory();
QString modulePath();

// The configuration a new session starts with: the one set explicitly, else
// notes.ini beside the module.
EngineConfig configuration();
void setConfiguration(std::optional<EngineConfig> config);

// True when name is one of the local server's names: its ServerName in
// canonical ("CN=x/O=y"), abbreviated ("x/y") or common-name ("x") form, this
// machine's host name, "localhost" or "127.0.0.1"; case-insensitive.
bool isLocalServer(const EngineConfig& config, const QString& name);

// Notes name forms.
QString abbreviatedName(const QString& name);  // "CN=A B/O=C" -> "A B/C"
QString commonName(const QString& name);       // "CN=A B/O=C" -> "A B"

} // namespace engine
