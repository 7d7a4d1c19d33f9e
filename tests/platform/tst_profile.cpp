// Profile files as the Windows profile API treats them: what reads back, what
// a write leaves in the file, byte for byte, in code page 936.
// Table rows are built with "+": plain QByteArray and QString results, not builders.
#undef QT_USE_QSTRINGBUILDER
#include "testutil.h"
#include "platform/codepage.h"
#include "platform/profile.h"
#include "bigfile.h"
#include "unprivileged.h"
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using testutil::readAll;
using testutil::writeAll;

namespace {


int modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

class TestProfile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(dir_.isValid()); }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray ini = "; settings\r\n[Domino]\r\nServer = srv1/Acme \r\n\tUserName\t=\t\"  quoted \"\r\n"
                               "pwd='p w'\r\nodd=\"half\r\nempty=\r\n[domino]\r\nserver=second\r\n[other]\r\nlate=1\r\n";
        QTest::newRow("case-insensitive, trimmed") << ini << "domino" << "SERVER" << "srv1/Acme";
        QTest::newRow("double quotes stripped, inside kept") << ini << "DOMINO" << "username" << "  quoted ";
        QTest::newRow("single quotes stripped") << ini << "domino" << "pwd" << "p w";
        QTest::newRow("unmatched quote kept") << ini << "domino" << "odd" << "\"half";
        QTest::newRow("empty value") << ini << "domino" << "empty" << "";
        QTest::newRow("key of another section") << ini << "domino" << "late" << "dflt";
        QTest::newRow("missing section") << ini << "nowhere" << "server" << "dflt";
        QTest::newRow("no file") << QByteArray() << "domino" << "server" << "dflt";
        QTest::newRow("GBK text") << platform::toCp936("[domino]\r\nusername=张三\r\n") << "domino" << "username" << "张三";
        QTest::newRow("LF lines, no final end") << QByteArray("[domino]\nserver=lf") << "domino" << "server" << "lf";
        QTest::newRow("2047 characters at most") << "[domino]\r\npwd=" + QByteArray(3000, 'x') + "\r\n" << "domino"
                                                 << "pwd" << QString(2047, u'x');
        QTest::newRow("2047 of GBK text") << platform::toCp936("[domino]\r\npwd=" + QString(2100, u'中')) << "domino"
                                          << "pwd" << QString(2047, u'中');
    }
    void reading()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const QString path = dir_.filePath("system.ini");
        QFile::remove(path);
        if (!content.isEmpty())
            writeAll(path, content);
        QCOMPARE(platform::ReadProfileString(path, section, key, "dflt"), expected);
    }

    void defaultLosesTrailingBlanks()
    {
        QCOMPARE(platform::ReadProfileString(dir_.filePath("none.ini"), "a", "b", "x  "), QString("x"));
    }

    void writing_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new file") << QByteArray() << "domino" << "server" << "s1" << QByteArray("[domino]\r\nserver=s1\r\n");
        QTest::newRow("replace, other lines untouched")
            << QByteArray("; note\r\n[x]\r\na=1\r\n[DOMINO]\r\n  Server = old \r\n\xff\xfe junk\r\n")
            << "domino" << "server" << "new"
            << QByteArray("; note\r\n[x]\r\na=1\r\n[DOMINO]\r\nServer=new\r\n\xff\xfe junk\r\n");
        QTest::newRow("added after the section's last entry")
            << QByteArray("[domino]\r\nserver=s\r\n\r\n[y]\r\nb=2") << "domino" << "pwd" << "p"
            << QByteArray("[domino]\r\nserver=s\r\npwd=p\r\n\r\n[y]\r\nb=2");
        QTest::newRow("new section after a line without end")
            << QByteArray("[y]\nb=2") << "domino" << "username" << "u" << QByteArray("[y]\nb=2\n[domino]\nusername=u\n");
        QTest::newRow("GBK bytes") << QByteArray() << "domino" << "username" << "张三"
                                   << QByteArray("[domino]\r\nusername=\xd5\xc5\xc8\xfd\r\n");
    }
    void writing()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        const QString path = dir_.filePath("system.ini");
        QFile::remove(path);
        if (!before.isEmpty())
            writeAll(path, before);
        QVERIFY(platform::WriteProfileString(path, section, key, value));
        QCOMPARE(readAll(path), after);
        QCOMPARE(platform::ReadProfileString(path, section, key), value);
    }

    // It holds a password: a new file is the owner's alone, and so is one that had another mode.
    void fileModes()
    {
        const QString path = dir_.filePath("modes.ini");
        QFile::remove(path);
        const mode_t old = ::umask(0);
        const bool written = platform::WriteProfileString(path, "domino", "pwd", "secret");
        ::umask(old);
        QVERIFY(written);
        QCOMPARE(modeOf(path), 0600);
        for (const mode_t before : {0644, 0640, 0666}) {
            ::chmod(QFile::encodeName(path).constData(), before);
            QVERIFY(platform::WriteProfileString(path, "domino", "pwd", QString::number(before)));
            QCOMPARE(modeOf(path), 0600);
        }
    }

    // A settings file grown huge: reading costs about its size, in time in
    // proportion to it, however long its lines.
    void hugeFile()
    {
        qint64 msecs[2] = {};
        for (int round = 0; round < 2; ++round) {
            const QString path = dir_.filePath("huge.ini");
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            const int sections = 50000 << round;
            QByteArray chunk;
            for (int i = 0; i < sections; ++i) {
                chunk += "[section" + QByteArray::number(i) + "]\r\nkey=" + platform::toCp936("值") + QByteArray::number(i)
                         + "\r\nother = something longer than that\r\n";
                if (chunk.size() > (1 << 20)) {
                    f.write(chunk);
                    chunk.clear();
                }
            }
            f.write(chunk);
            f.write("[domino]\r\nnote=" + QByteArray(2 << (20 + round), 'x') + "\r\nserver=srv/Acme\r\npwd=\""
                    + QByteArray(1 << (20 + round), 'p') + "\"\r\n[" + QByteArray(1 << (20 + round), ' ') + "\r\n");
            f.close();
            const qint64 size = QFileInfo(path).size();
            QString server, pwd, missing;
            const auto cost = measureRead([&] {
                server = platform::ReadProfileString(path, "domino", "server");
                pwd = platform::ReadProfileString(path, "DOMINO", "pwd");
                missing = platform::ReadProfileString(path, "domino", "username", "none");
            });
            QCOMPARE(server, QString("srv/Acme"));
            QCOMPARE(pwd, QString(2047, u'p'));
            QCOMPARE(missing, QString("none"));
            if (!cost)
                QSKIP("the peak resident size cannot be measured here");
            QVERIFY2(cost->peakGrowth < 2 * size + (8 << 20),
                     qPrintable(QString("%1 bytes for a file of %2").arg(cost->peakGrowth).arg(size)));
            msecs[round] = cost->msecs;
        }
        QVERIFY2(msecs[1] < 3 * msecs[0] + 100, qPrintable(QString("%1 ms, then %2 ms for twice the size").arg(msecs[0]).arg(msecs[1])));
    }

    void refusedWrites()
    {
        const QString path = dir_.filePath("refused.ini");
        QFile::remove(path);
        QVERIFY(!platform::WriteProfileString(path, "domino", "pwd", "two\nlines"));
        QVERIFY(!QFile::exists(path));

        const QString folder = dir_.filePath("ro");
        QVERIFY(QDir().mkpath(folder));
        ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
        ::chmod(QFile::encodeName(folder).constData(), 0555);
        const int result = runUnprivileged(
            [&] { return platform::WriteProfileString(folder + "/system.ini", "domino", "server", "x") ? 1 : 0; });
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        QUILLET_COMPARE_UNPRIVILEGED(result);
        QVERIFY(!QFile::exists(folder + "/system.ini"));
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
