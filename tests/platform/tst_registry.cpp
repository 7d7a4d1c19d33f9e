// The machine hive: regedit exports as Windows writes them, writes that keep
// every other byte, and keys that never appear by being opened.
// Table rows are built with "+": plain QByteArray and QString results, not builders.
#undef QT_USE_QSTRINGBUILDER
#include "testutil.h"
#include "platform/codepage.h"
#include "platform/registry.h"
#include "bigfile.h"
#include "unprivileged.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using platform::KeyAccess;

using testutil::readAll;
using testutil::writeAll;

namespace {


QByteArray utf16(const QString& s) { return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2); }

QString fixture(const char* name) { return QStringLiteral(QUILLET_TEST_DATA "/platform/") + QLatin1String(name); }

std::optional<QString> read(platform::Registry& r, const QString& key, const QString& name)
{
    auto k = r.openKey(key, KeyAccess::Read);
    return k ? k->readString(name) : std::nullopt;
}

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(dir_.isValid()); }

    void exportFromWindows_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("expected");  // invalid: nullopt
        const QVariant none;
        QTest::newRow("path, leading separator") << "\\Software\\Lotus\\Domino" << "Path" << QVariant("C:\\Lotus\\Domino");
        QTest::newRow("letter case ignored") << "SOFTWARE\\LOTUS\\DOMINO\\" << "datapath" << QVariant("C:\\Lotus\\Domino\\Data");
        QTest::newRow("Chinese name, escaped quotes") << "Software\\Lotus\\Domino" << "名称" << QVariant("中文 \"引号\" 值");
        QTest::newRow("hex(2) over two lines") << "Software\\Lotus\\Domino" << "Install" << QVariant("%PROGRAMFILES%");
        QTest::newRow("dword is no string") << "Software\\Lotus\\Domino" << "Version" << none;
        QTest::newRow("binary is no string") << "Software\\Lotus\\Domino" << "Binary" << none;
        QTest::newRow("missing value") << "Software\\Lotus\\Domino" << "Nothing" << none;
        QTest::newRow("default value") << "\\SOFTWARE\\Classes\\CLSID\\{29131539-2eed-1069-bf5d-00dd011186b7}\\InprocServer32"
                                       << "" << QVariant("C:\\Lotus\\Domino\\nlsxbe.dll");
    }
    void exportFromWindows()
    {
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(QVariant, expected);
        auto hive = platform::openHiveFile(fixture("export-utf16.reg"));
        const auto value = read(*hive, key, name);
        QCOMPARE(value.has_value(), expected.isValid());
        if (value)
            QCOMPARE(*value, expected.toString());
    }

    void keysThatDoNotOpen_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("opens");
        QTest::newRow("implicit parent") << "export-utf16.reg" << "Software" << true;
        QTest::newRow("key only under another root") << "export-utf16.reg" << "Software\\Lotus\\Notes" << false;
        QTest::newRow("absent") << "export-utf16.reg" << "Software\\Lotus\\Domino\\Sub" << false;
        QTest::newRow("slash is no separator") << "export-utf16.reg" << "SOFTWARE\\Classes\\MIME\\Database\\Content Type\\text" << false;
        QTest::newRow("key with a slash") << "export-utf16.reg" << "SOFTWARE\\Classes\\MIME\\Database\\Content Type\\text/plain" << true;
        QTest::newRow("prefix is no key") << "export-utf16.reg" << "Software\\Lot" << false;
        QTest::newRow("deleted with its children") << "broken.reg" << "SOFTWARE\\Removed\\Child" << false;
        QTest::newRow("deleted") << "broken.reg" << "SOFTWARE\\Removed" << false;
        QTest::newRow("header without bracket") << "broken.reg" << "SOFTWARE\\Unclosed" << false;
        QTest::newRow("missing file") << "no-such.reg" << "SOFTWARE" << false;
    }
    void keysThatDoNotOpen()
    {
        QFETCH(QString, file);
        QFETCH(QString, key);
        QFETCH(bool, opens);
        auto hive = platform::openHiveFile(fixture(file.toUtf8().constData()));
        QCOMPARE(hive->openKey(key, KeyAccess::Read) != nullptr, opens);
    }

    void brokenLines_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("expected");
        const QVariant none;
        QTest::newRow("good line among garbage") << "Good" << QVariant("yes");
        QTest::newRow("unterminated name") << "Unterminated" << none;
        QTest::newRow("text after the string") << "Trailing" << none;
        QTest::newRow("hex(7) continued") << "Multi" << none;
        QTest::newRow("deleted value") << "Gone" << none;
        QTest::newRow("other escapes kept") << "Escaped" << QVariant("a\\b\"c\\q");
        QTest::newRow("second section of the key") << "Late" << QVariant("last");
        QTest::newRow("after undecodable bytes") << "After" << QVariant("bytes");
    }
    void brokenLines()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, expected);
        auto hive = platform::openHiveFile(fixture("broken.reg"));
        const auto value = read(*hive, QStringLiteral("SOFTWARE\\Test"), name);
        QCOMPARE(value.has_value(), expected.isValid());
        if (value)
            QCOMPARE(*value, expected.toString());
    }

    // A write changes the one line and leaves every other byte, the UTF-16LE
    // BOM, CRLF ends and unknown types included.
    void writeKeepsUtf16Export()
    {
        const QString path = dir_.filePath("hklm.reg");
        const QByteArray original = readAll(fixture("export-utf16.reg"));
        writeAll(path, original);
        auto hive = platform::openHiveFile(path);
        auto key = hive->openKey("\\Software\\Lotus\\Domino", KeyAccess::ReadWrite);
        QVERIFY(key);
        QVERIFY(key->writeString("PATH", "D:\\新目录"));
        QByteArray expected = original;
        expected.replace(utf16("\"Path\"=\"C:\\\\Lotus\\\\Domino\""), utf16("\"Path\"=\"D:\\\\新目录\""));
        QCOMPARE(readAll(path), expected);
        QCOMPARE(key->readString("path"), std::optional<QString>("D:\\新目录"));
        // A value of another type becomes a string in place, continuation lines and all.
        QVERIFY(key->writeString("Install", "x"));
        expected.replace(utf16("\"Install\"=hex(2):25,00,50,00,52,00,4f,00,47,00,52,00,41,00,4d,00,46,00,49,00,\\\r\n"
                               "  4c,00,45,00,53,00,25,00,00,00"),
                         utf16("\"Install\"=\"x\""));
        QCOMPARE(readAll(path), expected);
    }

    void writeKeepsBrokenLines()
    {
        const QString path = dir_.filePath("hklm.reg");
        const QByteArray original = readAll(fixture("broken.reg"));
        writeAll(path, original);
        auto hive = platform::openHiveFile(path);
        auto key = hive->openKey("software\\test", KeyAccess::ReadWrite);
        QVERIFY(key);
        QVERIFY(key->writeString("Good", "changed"));
        QVERIFY(key->writeString("Dword", "now text"));
        QVERIFY(key->writeString("New", "v"));
        QByteArray expected = original;
        expected.replace("\"Good\"=\"yes\"", "\"Good\"=\"changed\"");
        expected.replace("\"Dword\"=dword:0000001", "\"Dword\"=\"now text\"");
        expected += "\n\"New\"=\"v\"\n";  // the last line gets its end, then the entry
        QCOMPARE(readAll(path), expected);
        QCOMPARE(read(*hive, "SOFTWARE\\Test", "New"), std::optional<QString>("v"));
    }

    // Small hives and the exact file each write leaves.
    void writes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const QByteArray h = "Windows Registry Editor Version 5.00\r\n\r\n";
        QTest::newRow("new value after the last entry")
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"1\"\r\n\r\n[HKEY_LOCAL_MACHINE\\B]\r\n" << "A" << "y" << "2"
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"1\"\r\n\"y\"=\"2\"\r\n\r\n[HKEY_LOCAL_MACHINE\\B]\r\n";
        QTest::newRow("implicit key gets a section")
            << h + "[HKEY_LOCAL_MACHINE\\A\\B]\r\n" << "A" << "" << "v"
            << h + "[HKEY_LOCAL_MACHINE\\A\\B]\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n@=\"v\"\r\n";
        QTest::newRow("backslash and quote escaped")
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n" << "A" << "n\"m" << "C:\\x\"y"
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n\"n\\\"m\"=\"C:\\\\x\\\"y\"\r\n";
        QTest::newRow("after its deletion")
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"1\"\r\n\"x\"=-\r\n" << "A" << "X" << "2"
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"1\"\r\n\"x\"=-\r\n\"X\"=\"2\"\r\n";
        QTest::newRow("same value: file untouched")
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"1\"" << "A" << "x" << "1"
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"1\"";
        QTest::newRow("replaced last line keeps its missing end")
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"1\"" << "A" << "x" << "2"
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"2\"";
        QTest::newRow("line break goes in hex form")
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n" << "A" << "m" << "a\nb"
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n\"m\"=hex(1):61,00,0a,00,62,00,00,00\r\n";
        QTest::newRow("slash belongs to the key name")
            << h + "[HKEY_LOCAL_MACHINE\\MIME\\text/plain]\r\n" << "MIME\\text/plain" << "x" << "1"
            << h + "[HKEY_LOCAL_MACHINE\\MIME\\text/plain]\r\n\"x\"=\"1\"\r\n";
        QTest::newRow("after hex data left continued")
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n\"b\"=hex:01,\\\r\n" << "A" << "x" << "1"
            << h + "[HKEY_LOCAL_MACHINE\\A]\r\n\"b\"=hex:01,\\\r\n\r\n\"x\"=\"1\"\r\n";
        QTest::newRow("LF file gets LF lines")
            << QByteArray("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n") << "A" << "x" << "1"
            << QByteArray("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n");
    }
    void writes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        const QString path = dir_.filePath("hklm.reg");
        writeAll(path, before);
        auto hive = platform::openHiveFile(path);
        auto k = hive->openKey(key, KeyAccess::ReadWrite);
        QVERIFY(k);
        QVERIFY(k->writeString(name, value));
        QCOMPARE(readAll(path), after);
        // What was written reads back, through a fresh hive too.
        QCOMPARE(k->readString(name), std::optional<QString>(value));
        QCOMPARE(read(*platform::openHiveFile(path), key, name), std::optional<QString>(value));
    }

    // Each encoding is read, and written back in the same encoding.
    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bom");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("header");
        QTest::newRow("UTF-16LE with BOM") << QByteArray("\xFF\xFE") << "utf16" << "Windows Registry Editor Version 5.00";
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") << "utf8" << "Windows Registry Editor Version 5.00";
        QTest::newRow("UTF-8") << QByteArray() << "utf8" << "Windows Registry Editor Version 5.00";
        QTest::newRow("REGEDIT4 in code page 936") << QByteArray() << "cp936" << "REGEDIT4";
    }
    void encodings()
    {
        QFETCH(QByteArray, bom);
        QFETCH(QString, codec);
        QFETCH(QString, header);
        auto encode = [&](const QString& s) {
            return codec == "utf16" ? utf16(s) : codec == "cp936" ? platform::toCp936(s) : s.toUtf8();
        };
        const QString text = header + "\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lotus\\Notes]\r\n\"Path\"=\"D:\\\\笔记\"\r\n";
        const QString path = dir_.filePath("hklm.reg");
        writeAll(path, bom + encode(text));
        auto hive = platform::openHiveFile(path);
        QCOMPARE(read(*hive, "Software\\Lotus\\Notes", "Path"), std::optional<QString>("D:\\笔记"));
        auto key = hive->openKey("Software\\Lotus\\Notes", KeyAccess::ReadWrite);
        QVERIFY(key);
        QVERIFY(key->writeString("Path", "E:\\程序"));
        QString changed = text;
        changed.replace("D:\\\\笔记", "E:\\\\程序");
        QCOMPARE(readAll(path), bom + encode(changed));
    }

    void regedit4AnsiHexString()
    {
        auto hive = platform::openHiveFile(fixture("regedit4-cp936.reg"));
        QCOMPARE(read(*hive, "Software\\Lotus\\Notes", "Path"), std::optional<QString>("D:\\Notes\\程序"));
        QCOMPARE(read(*hive, "Software\\Lotus\\Notes", "Temp"), std::optional<QString>("%TEMP%"));
    }

    // A whole machine's export, generated: reading it costs about its size in
    // memory and time in proportion to it, and the probes find their keys.
    void wholeMachineExport()
    {
        auto generate = [&](const QString& path, int blocks) {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly))
                return qint64(-1);
            f.write("\xFF\xFE");
            QString text = "Windows Registry Editor Version 5.00\r\n\r\n";
            for (int i = 0; i < blocks; ++i) {
                const QString clsid = "{" + QString::number(i, 16).rightJustified(8, u'0') + "-0000-4000-8000-00AA00BB00CC}";
                text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\" + clsid + "]\r\n@=\"组件 " + QString::number(i)
                        + "\"\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\" + clsid
                        + "\\InprocServer32]\r\n@=\"C:\\\\Windows\\\\System32\\\\c" + QString::number(i)
                        + ".dll\"\r\n\"ThreadingModel\"=\"Both\"\r\n\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,\\\r\n"
                          "  0a,0b,0c,0d,0e,0f\r\n\r\n";
                if (i == blocks / 2)
                    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lotus\\Notes]\r\n\"Path\"=\"C:\\\\Lotus\\\\Notes\"\r\n\r\n";
                if (text.size() > (1 << 20) || i == blocks - 1) {
                    f.write(utf16(text));
                    text.clear();
                }
            }
            return f.size();
        };
        qint64 msecs[2] = {};
        for (int round = 0; round < 2; ++round) {
            const int blocks = 12000 << round;
            const QString path = dir_.filePath("machine.reg");
            const qint64 size = generate(path, blocks);
            QVERIFY(size > 0);
            const QString last = "SOFTWARE\\Classes\\CLSID\\{" + QString::number(blocks - 1, 16).rightJustified(8, u'0')
                                 + "-0000-4000-8000-00AA00BB00CC}\\InprocServer32";
            std::optional<QString> notes, server, model;
            const auto cost = measureRead([&] {
                auto hive = platform::openHiveFile(path);
                notes = read(*hive, "SOFTWARE\\Lotus\\Notes", "Path");
                server = read(*hive, last, "");
                model = read(*hive, last, "threadingmodel");
            });
            QCOMPARE(notes, std::optional<QString>("C:\\Lotus\\Notes"));
            QCOMPARE(server, std::optional<QString>("C:\\Windows\\System32\\c" + QString::number(blocks - 1) + ".dll"));
            QCOMPARE(model, std::optional<QString>("Both"));
            if (!cost)
                QSKIP("the peak resident size cannot be measured here");
            QVERIFY2(cost->peakGrowth < 2 * size + (8 << 20),
                     qPrintable(QString("%1 bytes for a hive of %2").arg(cost->peakGrowth).arg(size)));
            msecs[round] = cost->msecs;
        }
        QVERIFY2(msecs[1] < 3 * msecs[0] + 100, qPrintable(QString("%1 ms, then %2 ms for twice the size").arg(msecs[0]).arg(msecs[1])));
    }

    void garbageNeverCrashes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("BOM alone") << QByteArray("\xFF\xFE");
        QTest::newRow("BOM and an odd byte") << QByteArray("\xFF\xFE[", 3);
        QTest::newRow("NUL bytes") << QByteArray(64, '\0');
        QTest::newRow("lone brackets and quotes") << QByteArray("[\n]\n[]\n[-]\n\"\n\"\"=\n@\n=\n@=hex(2):zz,\\\n");
        QByteArray noise;
        quint32 x = 12345;
        for (int i = 0; i < 4096; ++i) {
            x = x * 1103515245 + 12345;
            noise.append(char(x >> 24));
        }
        QTest::newRow("noise") << noise;
        QTest::newRow("noise after a header") << QByteArray("Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\A]\r\n") + noise;
    }
    void garbageNeverCrashes()
    {
        QFETCH(QByteArray, bytes);
        const QString path = dir_.filePath("hklm.reg");
        writeAll(path, bytes);
        auto hive = platform::openHiveFile(path);
        QVERIFY(!hive->openKey("SOFTWARE\\Lotus\\Domino", KeyAccess::Read));
        // A key created in it reads back, and the garbage stays as it was.
        auto key = hive->createKey("SOFTWARE\\Quillet");
        QVERIFY(key);
        QVERIFY(key->writeString("v", "1"));
        QCOMPARE(read(*hive, "SOFTWARE\\Quillet", "v"), std::optional<QString>("1"));
    }

    void openingNeverCreates()
    {
        const QString path = dir_.filePath("never.reg");
        auto missing = platform::openHiveFile(path);
        QVERIFY(!missing->openKey("SOFTWARE", KeyAccess::ReadWrite));
        QVERIFY(!QFile::exists(path));

        const QByteArray original = readAll(fixture("export-utf16.reg"));
        writeAll(path, original);
        auto hive = platform::openHiveFile(path);
        QVERIFY(!hive->openKey("SOFTWARE\\Lotus\\Domino\\Sub", KeyAccess::ReadWrite));
        QCOMPARE(readAll(path), original);
        // Writing through a key opened for reading is refused.
        auto readOnly = hive->openKey("SOFTWARE\\Lotus\\Domino", KeyAccess::Read);
        QVERIFY(readOnly);
        QVERIFY(!readOnly->writeString("Path", "x"));
        QCOMPARE(readAll(path), original);
    }

    void createKeyMakesFileAndParents()
    {
        const QString path = dir_.filePath("sub/hklm.reg");
        QVERIFY(QDir().mkpath(dir_.filePath("sub")));
        auto hive = platform::openHiveFile(path);
        auto key = hive->createKey("\\SOFTWARE\\Classes\\CLSID\\{X}\\InprocServer32");
        QVERIFY(key);
        QVERIFY(key->writeString("", "/opt/x.so"));
        const QByteArray bytes = readAll(path);
        QVERIFY(bytes.startsWith(QByteArray("\xFF\xFE") + utf16("Windows Registry Editor Version 5.00\r\n")));
        QVERIFY(hive->openKey("SOFTWARE\\Classes\\CLSID", KeyAccess::Read));
        // Creating an existing key writes nothing.
        QVERIFY(hive->createKey("software\\classes\\clsid\\{x}\\inprocserver32"));
        QCOMPARE(readAll(path), bytes);
    }

    // A write by one hive object is seen by another that read the file before.
    void writesSeenAcrossInstances()
    {
        const QString path = dir_.filePath("hklm.reg");
        writeAll(path, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"1\"\r\n");
        auto first = platform::openHiveFile(path);
        auto second = platform::openHiveFile(path);
        auto held = second->openKey("A", KeyAccess::Read);
        QCOMPARE(held->readString("x"), std::optional<QString>("1"));
        for (int i = 2; i < 6; ++i) {  // same size each time: the cache must not be fooled
            QVERIFY(first->openKey("A", KeyAccess::ReadWrite)->writeString("x", QString::number(i)));
            QCOMPARE(held->readString("x"), std::optional<QString>(QString::number(i)));
        }
        platform::setMachineHivePath(path);
        QCOMPARE(platform::machineHivePath(), path);
        QCOMPARE(read(platform::machineRegistry(), "A", "x"), std::optional<QString>("5"));
        platform::setMachineHivePath({});
    }

    void unwritableHive_data()
    {
        QTest::addColumn<int>("dirMode");
        QTest::addColumn<int>("fileMode");
        QTest::newRow("file read-only") << 0777 << 0444;
        QTest::newRow("folder read-only") << 0555 << 0666;
        QTest::newRow("file write-only: a rewrite would lose it") << 0777 << 0222;
    }
    void unwritableHive()
    {
        QFETCH(int, dirMode);
        QFETCH(int, fileMode);
        const QString folder = dir_.filePath(QStringLiteral("ro-") + QLatin1String(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + "/hklm.reg";
        const QByteArray original = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"1\"\r\n";
        writeAll(path, original);
        ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
        ::chmod(QFile::encodeName(path).constData(), mode_t(fileMode));
        ::chmod(QFile::encodeName(folder).constData(), mode_t(dirMode));
        const int failed = runUnprivileged([&] {
            auto hive = platform::openHiveFile(path);
            if (hive->openKey("A", KeyAccess::ReadWrite))
                return 1;
            auto key = hive->openKey("A", KeyAccess::Read);  // reading still works
            if ((fileMode & 0444) && (!key || key->readString("x") != std::optional<QString>("1")))
                return 2;
            if (hive->createKey("B"))
                return 3;
            return 0;
        });
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        ::chmod(QFile::encodeName(path).constData(), 0644);
        QUILLET_COMPARE_UNPRIVILEGED(failed);
        QCOMPARE(readAll(path), original);
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
