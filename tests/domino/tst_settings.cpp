// The connection settings in system.ini: defaults, what lands on disk (GBK,
// mode 0600) and what reads back.
#include "domino/settings.h"
#include "platform/codepage.h"
#include "unprivileged.h"
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void localHostName()
    {
        const QString name = domino::LocalHostName();
        QVERIFY(!name.isEmpty());
        QVERIFY2(!name.contains(QRegularExpression("[a-z]")), qPrintable(name));
    }

    void noFileThenFirstSave()
    {
        QTemporaryDir dir;
        const domino::ConnectionSettings read = domino::ReadSettings(dir.path());
        QCOMPARE(read.serverName, domino::LocalHostName());
        QVERIFY(read.userName.isEmpty());
        QVERIFY(read.password.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("system.ini")));

        QVERIFY(domino::SaveSettings(dir.path() + "/", {"srv1/Acme", "Ann Lee", " p w "}));
        const QString file = domino::settingsFilePath(dir.path());
        QCOMPARE(file, dir.filePath("system.ini"));
        QCOMPARE(readAll(file), QByteArray("[domino]\r\nserver=srv1/Acme\r\nusername=Ann Lee\r\npwd= p w \r\n"));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0600);
    }

    void emptyServerFallsBackToHostName()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("system.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[DOMINO]\r\nserver=   \r\nUserName=u\r\n");
        f.close();
        const auto s = domino::ReadSettings(dir.path());
        QCOMPARE(s.serverName, domino::LocalHostName());
        QCOMPARE(s.userName, QString("u"));
    }

    void chineseTextIsGbkOnDisk()
    {
        QTemporaryDir dir;
        const domino::ConnectionSettings s{"服务器/公司", "张三", "密码"};
        QVERIFY(domino::SaveSettings(dir.path(), s));
        QCOMPARE(readAll(dir.filePath("system.ini")),
                 platform::toCp936("[domino]\r\nserver=服务器/公司\r\nusername=张三\r\npwd=密码\r\n"));
        const auto back = domino::ReadSettings(dir.path());
        QCOMPARE(back.serverName, s.serverName);
        QCOMPARE(back.userName, s.userName);
        QCOMPARE(back.password, s.password);
        // A second save replaces the values in place.
        QVERIFY(domino::SaveSettings(dir.path(), {"s2", "李四", ""}));
        QCOMPARE(readAll(dir.filePath("system.ini")), platform::toCp936("[domino]\r\nserver=s2\r\nusername=李四\r\npwd=\r\n"));
    }

    void saveIntoReadOnlyFolderFails()
    {
        QTemporaryDir dir;
        ::chmod(QFile::encodeName(dir.path()).constData(), 0555);
        const int result = runUnprivileged([&] { return domino::SaveSettings(dir.path(), {"s", "u", "p"}) ? 1 : 0; });
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        QUILLET_COMPARE_UNPRIVILEGED(result);
        QVERIFY(!QFile::exists(dir.filePath("system.ini")));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
