#pragma once
// The connection settings in system.ini beside the executable, section
// [domino], keys server, username and pwd, in code page 936.
#include <QString>

namespace domino {

struct ConnectionSettings {
    QString serverName;
    QString userName;
    QString password;
};

QString settingsFilePath(const QString& appDir);
// Missing file or keys give empty texts; an empty server falls back to LocalHostName().
ConnectionSettings ReadSettings(const QString& appDir);
// Writes server, username and pwd in that order; false when the file cannot be written.
bool SaveSettings(const QString& appDir, const ConnectionSettings& settings);
// The official name of this host, upper-cased (ASCII letters only); the plain
// host name upper-cased when it does not resolve; "LOCALHOST" without one.
QString LocalHostName();

} // namespace domino
