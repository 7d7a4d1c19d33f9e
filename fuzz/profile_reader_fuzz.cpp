// Feeds arbitrary bytes to the profile (INI) reader as a system.ini file:
// reads the connection settings and a key the input names, then writes a
// value and reads it back (a write that succeeds must read back as written).
#include "platform/profile.h"
#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = QStringLiteral("/dev/shm/quillet-profile-fuzz-%1.ini").arg(::getpid());
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    for (const char* key : {"server", "username", "pwd"})
        (void)platform::ReadProfileString(path, QStringLiteral("domino"), QString::fromLatin1(key), QStringLiteral("d"));
    // A section and key named by the input's first bytes.
    const QString named = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(std::min<size_t>(size, 8)));
    (void)platform::ReadProfileString(path, named, named);
    const QString value = QStringLiteral("服务器/Acme %1").arg(size);
    if (platform::WriteProfileString(path, QStringLiteral("domino"), QStringLiteral("server"), value)
        && platform::ReadProfileString(path, QStringLiteral("DOMINO"), QStringLiteral("Server")) != value)
        std::abort();
    return 0;
}
