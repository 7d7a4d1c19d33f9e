#include "domino/dominointerface.h"
#include "domino/dominoobjects.h"
#include "platform/com.h"
#include "platform/prompts.h"
#include "platform/registry.h"
#include <QDir>
#include <QFileInfo>

namespace domino {

namespace {

const QString kDominoKey = QStringLiteral("\\Software\\Lotus\\Domino");
const QString kNotesKey = QStringLiteral("\\Software\\Lotus\\Notes");
const QString kNotInstalled = QStringLiteral("没有安装Domino");
const QString kMissingDirectory = QStringLiteral("(找不到该目录)");
const QString kSupportContact = QStringLiteral("请联系系统管理员或技术支持。");

QString registrationKey()
{
    return QStringLiteral("\\SOFTWARE\\Classes\\CLSID\\") + QString::fromLatin1(kNotesSessionClsid)
        + QStringLiteral("\\InprocServer32");
}

// The probes only read: a key that can be read counts as present. Asking for
// write access here would make a plain user's installation look missing.
bool keyOpens(const QString& key)
{
    return platform::machineRegistry().openKey(key, platform::KeyAccess::Read) != nullptr;
}

bool directoryExists(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

// The value as stored, marked when no such directory exists. A value of
// another type than text reads as empty, and so is marked as well.
QString directoryValue(const QString& key, const QString& valueName, const QString& whenAbsent)
{
    auto k = platform::machineRegistry().openKey(key, platform::KeyAccess::Read);
    if (!k)
        return whenAbsent;
    const QString value = k->readString(valueName).value_or(QString());
    return directoryExists(value) ? value : value + kMissingDirectory;
}

QString componentFile(const QString& dir) { return dir + u'/' + QString::fromLatin1(kComponentFileName); }

} // namespace

bool DominoInstalled() { return keyOpens(kDominoKey); }
bool NotesInstalled() { return keyOpens(kNotesKey); }
QString DominoPath() { return directoryValue(kDominoKey, QStringLiteral("Path"), kNotInstalled); }
QString DominoDataPath() { return directoryValue(kDominoKey, QStringLiteral("DataPath"), kNotInstalled); }
QString NotesPath() { return directoryValue(kNotesKey, QStringLiteral("Path"), QString()); }

bool CheckComponentRegistration(const QString& installDir)
{
    // A program directory that is gone (the probes mark it) or not a directory
    // at all holds no component: pointing the registration into it would only
    // break a registration that may still work.
    if (installDir.endsWith(kMissingDirectory) || !directoryExists(installDir))
        return true;
    const QString expected = componentFile(installDir);
    platform::Registry& hklm = platform::machineRegistry();
    // Already right: nothing to write, so no write access is needed either.
    if (auto current = hklm.openKey(registrationKey(), platform::KeyAccess::Read))
        if (current->readString(QString()) == expected)
            return true;
    if (auto key = hklm.openKey(registrationKey(), platform::KeyAccess::ReadWrite)) {
        if (key->readString(QString()).value_or(QString()) != expected)
            key->writeString(QString(), expected);
        return true;
    }
    if (QDir::setCurrent(installDir))
        RegisterComponentFile(expected);
    return true;
}

void RegisterComponentFile(const QString& filePath)
{
    if (!QFileInfo(filePath).isFile()) {
        platform::prompts().message(QStringLiteral("找不到您系统上Domino的一个关键组件，请确认您的Domino或NOtes安装正常!")
                                    + kSupportContact);
        return;
    }
    if (!platform::RegisterComServer(filePath))
        platform::prompts().message(QStringLiteral("您好，系统在注册domino组件时失败，或许是您的系统对权限的限制，")
                                    + kSupportContact);
}

} // namespace domino
