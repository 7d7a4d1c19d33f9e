// The platform stand-ins on the start-up path and in the export loop: the
// probes read the hive a few times at start, the export converts every log
// line to code page 936 and tests every attachment target for exclusive open.
#include "bench.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include <QFile>

QUILLET_BENCH(platform)
{
    // A hive the size of a real HKLM\SOFTWARE export slice: 5,000 keys, 20,000 values, UTF-16LE.
    const QString hivePath = ctx.workDir() + QStringLiteral("/hklm.reg");
    {
        QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n");
        for (int k = 0; k < 5000; ++k) {
            text += QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor%1\\Product\\Component%2]\r\n").arg(k / 50).arg(k);
            for (int v = 0; v < 4; ++v)
                text += QStringLiteral("\"Value%1\"=\"C:\\\\Program Files\\\\Vendor\\\\文件%2.dll\"\r\n").arg(v).arg(k);
            text += QStringLiteral("\r\n");
        }
        text += QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lotus\\Domino]\r\n\"Path\"=\"/opt/domino\"\r\n");
        QFile f(hivePath);
        f.open(QIODevice::WriteOnly);
        f.write("\xFF\xFE", 2);
        f.write(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        ctx.note(QStringLiteral("hive: %1 KiB").arg(f.size() / 1024));
    }
    const QString key = QStringLiteral("\\Software\\Lotus\\Domino");
    const double firstMs = bench::bestMs(3, [&] {
        auto hive = platform::openHiveFile(hivePath);
        (void)hive->openKey(key, platform::KeyAccess::Read)->readString(QStringLiteral("Path"));
    });
    ctx.report(QStringLiteral("hive: first read (parse)"), firstMs, QStringLiteral("ms"));

    auto hive = platform::openHiveFile(hivePath);
    const int lookups = 10000;
    const double cachedMs = bench::bestMs(3, [&] {
        for (int i = 0; i < lookups; ++i)
            (void)hive->openKey(key, platform::KeyAccess::Read)->readString(QStringLiteral("Path"));
    });
    ctx.report(QStringLiteral("hive: open key and read, file unchanged"), cachedMs * 1000 / lookups, QStringLiteral("us"));

    auto writable = hive->openKey(key, platform::KeyAccess::ReadWrite);
    int n = 0;
    const double writeMs = bench::bestMs(3, [&] { writable->writeString(QStringLiteral("Path"), QString::number(++n)); });
    ctx.report(QStringLiteral("hive: write one value (atomic rewrite)"), writeMs, QStringLiteral("ms"));

    const QString ini = ctx.workDir() + QStringLiteral("/system.ini");
    platform::WriteProfileString(ini, QStringLiteral("domino"), QStringLiteral("server"), QStringLiteral("srv/Acme"));
    const double iniMs = bench::bestMs(3, [&] {
        for (int i = 0; i < 1000; ++i)
            (void)platform::ReadProfileString(ini, QStringLiteral("domino"), QStringLiteral("server"));
    });
    ctx.report(QStringLiteral("profile: read one key"), iniMs, QStringLiteral("us"));

    const QString line = QStringLiteral("2026-12-11 09:30:00 导出文档 0000094A 的附件 报告-第三季度.xlsx 到 /tmp/导出/0000094A");
    const int lines = 100000;
    qsizetype bytes = 0;
    const double cpMs = bench::bestMs(3, [&] {
        for (int i = 0; i < lines; ++i)
            bytes += platform::toCp936(line).size();
    });
    ctx.report(QStringLiteral("code page 936: encode one log line"), cpMs * 1e6 / lines, QStringLiteral("ns"));

    const double lockMs = bench::bestMs(3, [&] {
        for (int i = 0; i < 1000; ++i)
            (void)platform::canOpenExclusively(ini);
    });
    ctx.report(QStringLiteral("exclusive-open test"), lockMs, QStringLiteral("us"));
    if (bytes == 0)
        ctx.note(QStringLiteral("no output"));
}
