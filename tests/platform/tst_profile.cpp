// Profile files as the Windows profile API treats them: what reads back, what
// a write leaves in the file, byte for byte, in code page 936.
// Table rows are built with "+": plain QByteArray and QString results, not builders.
#undef QT_USE_QSTRINGBUILDER
#include "testutil.h"
#include "platform/codepage.h"
#include "platform/profile.h"
#include "unprivileged.h"
#include <QFile>
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

    // It holds a password: a new file is the owner's alone; an existing one keeps its mode.
    void fileModes()
    {
        const QString path = dir_.filePath("modes.ini");
        QFile::remove(path);
        const mode_t old = ::umask(0);
        const bool written = platform::WriteProfileString(path, "domino", "pwd", "secret");
        ::umask(old);
        QVERIFY(written);
        QCOMPARE(modeOf(path), 0600);
        ::chmod(QFile::encodeName(path).constData(), 0640);
        QVERIFY(platform::WriteProfileString(path, "domino", "pwd", "other"));
        QCOMPARE(modeOf(path), 0640);
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
