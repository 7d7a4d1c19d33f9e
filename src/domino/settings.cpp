#include "domino/settings.h"
#include "platform/host.h"
#include "platform/profile.h"

namespace domino {

namespace {
const QString kSection = QStringLiteral("domino");
const QString kServer = QStringLiteral("server");
const QString kUserName = QStringLiteral("username");
const QString kPassword = QStringLiteral("pwd");
} // namespace

QString settingsFilePath(const QString& appDir)
{
    if (appDir.isEmpty() || appDir.endsWith(u'/'))
        return appDir + QStringLiteral("system.ini");
    return appDir + QStringLiteral("/system.ini");
}

ConnectionSettings ReadSettings(const QString& appDir)
{
    const QString file = settingsFilePath(appDir);
    ConnectionSettings s;
    s.serverName = platform::ReadProfileString(file, kSection, kServer);
    s.userName = platform::ReadProfileString(file, kSection, kUserName);
    s.password = platform::ReadProfileString(file, kSection, kPassword);
    if (s.serverName.isEmpty())
        s.serverName = LocalHostName();
    return s;
}

bool SaveSettings(const QString& appDir, const ConnectionSettings& settings)
{
    const QString file = settingsFilePath(appDir);
    return platform::WriteProfileString(file, kSection, kServer, settings.serverName)
        && platform::WriteProfileString(file, kSection, kUserName, settings.userName)
        && platform::WriteProfileString(file, kSection, kPassword, settings.password);
}

QString LocalHostName()
{
    const QString host = platform::hostName();
    if (host.isEmpty())
        return QStringLiteral("LOCALHOST");
    QString name = platform::resolveOfficialName(host).value_or(host);
    // Only a-z change: the name may hold other characters that must stay as they are.
    for (QChar& c : name)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 'a' + 'A');
    return name;
}

} // namespace domino
