// Feeds arbitrary bytes to the registry hive reader as a hklm.reg file: opens
// the keys the program probes and the ones the file names, reads their
// values, then writes a value and a key and reads them back (a write that
// succeeds must read back as written).
#include "platform/registry.h"
#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

QString hivePath()
{
    static const QString path = QStringLiteral("/dev/shm/quillet-hive-fuzz-%1.reg").arg(::getpid());
    return path;
}

// Key names the input itself mentions, as a reader of it would open them.
QStringList namedKeys(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(std::min<size_t>(size, 4096)));
    const QString texts[] = {QString::fromUtf8(bytes),
                             QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2)};
    static const QRegularExpression header(QStringLiteral("\\[-?(?:HKEY_LOCAL_MACHINE|HKLM)\\\\([^\\]\\r\\n]*)"),
                                           QRegularExpression::CaseInsensitiveOption);
    QStringList keys;
    for (const QString& text : texts)
        for (auto it = header.globalMatch(text); it.hasNext() && keys.size() < 8;)
            keys << it.next().captured(1);
    return keys;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        QFile f(hivePath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    auto hive = platform::openHiveFile(hivePath());
    QStringList keys{QStringLiteral("Software\\Lotus\\Domino"), QStringLiteral("Software\\Lotus\\Notes"),
                     QStringLiteral("SOFTWARE\\Classes\\CLSID\\{29131539-2EED-1069-BF5D-00DD011186B7}\\InprocServer32")};
    keys << namedKeys(data, size);
    for (const QString& name : keys) {
        if (auto key = hive->openKey(name, platform::KeyAccess::Read)) {
            for (const char* value : {"", "Path", "DataPath", "x"})
                (void)key->readString(QString::fromLatin1(value));
        }
    }
    const QString target = keys.size() > 3 ? keys[3] : QStringLiteral("SOFTWARE\\Quillet");
    if (auto key = hive->createKey(target)) {
        const QString value = QStringLiteral("值 \"quoted\" \\ end");
        if (key->writeString(QStringLiteral("Fuzz"), value)) {
            auto again = platform::openHiveFile(hivePath());
            auto back = again->openKey(target, platform::KeyAccess::Read);
            if (!back || back->readString(QStringLiteral("fuzz")) != value)
                std::abort();
        }
    }
    return 0;
}
