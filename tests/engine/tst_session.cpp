// Sessions: sign-in against the names database, which servers are local, how
// paths resolve, and the component's two entries.
#include "testutil.h"
#include "domino/dominoobjects.h"
#include "engine/config.h"
#include "engine/dbcache.h"
#include "engine/session.h"
#include "platform/error.h"
#include "platform/host.h"
#include <QTemporaryDir>
#include <QtTest>

using namespace engine;

extern "C" platform::ComObject* QuilletCreateObject(const char* clsid);

using testutil::errorOf;

namespace {
QString person(const QString& full, const QString& shortName, const QString& password)
{
    return QStringLiteral("<document form='Person'><item name='FullName' names='true'><textlist><text>%1</text></textlist></item>"
                          "<item name='ShortName'><text>%2</text></item><item name='HTTPPassword'><text>%3</text></item></document>")
        .arg(full, shortName, password);
}

} // namespace

class SessionTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { clearDatabaseCache(); }
    void signIn_data();
    void signIn();
    void servers_data();
    void servers();
    void paths();
    void notesIni();
    void evaluateAttachmentNames();

private:
    QTemporaryDir dir_;
    EngineConfig config_;
};

void SessionTest::initTestCase()
{
    const QString hash = hashPassword(QStringLiteral("quillet"), QByteArray("0123456789abcdef"), 1000);
    QFile f(dir_.filePath("names.dxl"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(("<database title='names'>" + person("CN=Quillet Admin/O=Quillet", "admin", hash)
             + person(QStringLiteral("CN=张伟/O=Quillet"), "zhangwei", hashPassword(QStringLiteral("张伟的密码"), "salt", 50))
             + person("CN=Old User/O=Quillet", "old", "(ABCDEF0123456789)")
             + person("CN=No Password/O=Quillet", "nopw", "")
             + "<document form='Group'><item name='FullName'><text>Staff</text></item></document></database>")
                .toUtf8());
    f.close();
    QDir(dir_.path()).mkpath("apps/hr");
    QFile::copy(QStringLiteral(QUILLET_TEST_DATA "/engine/values.dxl"), dir_.filePath("apps/hr/staff.dxl"));
    config_ = {dir_.path(), QStringLiteral("CN=Quillet Demo/O=Quillet")};
}

void SessionTest::signIn_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("error");  // empty: succeeds
    QTest::newRow("short name") << "admin" << "quillet" << "";
    QTest::newRow("canonical, other case") << "cn=quillet admin/o=quillet" << "quillet" << "";
    QTest::newRow("abbreviated") << "Quillet Admin/Quillet" << "quillet" << "";
    QTest::newRow("common name") << "Quillet Admin" << "quillet" << "";
    QTest::newRow("chinese name and password") << QStringLiteral("张伟") << QStringLiteral("张伟的密码") << "";
    QTest::newRow("wrong password") << "admin" << "Quillet" << QStringLiteral("密码不正确");
    QTest::newRow("empty password") << "admin" << "" << QStringLiteral("密码不正确");
    QTest::newRow("unknown user") << "nobody" << "quillet" << QStringLiteral("没有用户\"nobody\"");
    QTest::newRow("group is no person") << "Staff" << "" << QStringLiteral("没有用户");
    QTest::newRow("other password form") << "old" << "x" << QStringLiteral("不支持的格式");
    QTest::newRow("no password stored") << "nopw" << "" << QStringLiteral("没有设置Internet密码");
    QTest::newRow("no user name") << " " << "x" << QStringLiteral("没有给出用户名");
}

void SessionTest::signIn()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, error);
    Session s(config_);
    const QString text = errorOf([&] { s.StartSessionAs(user, password); });
    if (error.isEmpty()) {
        QVERIFY2(text.isEmpty(), qPrintable(text));
        QVERIFY(s.userName().startsWith("CN="));
    } else {
        QVERIFY2(text.contains(error), qPrintable(text));
    }
    // Without a names database nobody can sign in.
    QTemporaryDir empty;
    Session none({empty.path(), {}});
    QVERIFY(errorOf([&] { none.StartSessionAs("admin", "quillet"); }).contains("names.dxl"));
}

void SessionTest::servers_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("local");
    QTest::newRow("canonical") << "CN=Quillet Demo/O=Quillet" << true;
    QTest::newRow("abbreviated") << "quillet demo/quillet" << true;
    QTest::newRow("common name") << "Quillet Demo" << true;
    QTest::newRow("host name") << platform::hostName() << true;
    QTest::newRow("host name upper-cased") << platform::hostName().toUpper() << true;
    QTest::newRow("localhost") << "localhost" << true;
    QTest::newRow("loopback") << "127.0.0.1" << true;
    QTest::newRow("other server") << "Mail01/Acme" << false;
    QTest::newRow("other common name") << "Quillet" << false;
}

void SessionTest::servers()
{
    QFETCH(QString, server);
    QFETCH(bool, local);
    Session s(config_);
    s.StartSession({});
    const QString text = errorOf([&] {
        auto db = s.OpenDatabase(server, QStringLiteral("apps\\hr\\staff.dxl"), false);
        QCOMPARE(db->Title(), QStringLiteral("值的形式"));
    });
    if (local)
        QVERIFY2(text.isEmpty(), qPrintable(text));
    else
        QVERIFY2(text.contains(QStringLiteral("无法连接服务器") + server), qPrintable(text));
}

void SessionTest::paths()
{
    Session s(config_);
    s.StartSession({});
    const QString staff = QDir::cleanPath(dir_.filePath("apps/hr/staff.dxl"));
    QCOMPARE(s.resolvePath({}, "apps/hr/staff.dxl"), staff);
    QCOMPARE(s.resolvePath({}, staff), staff);
    QCOMPARE(s.resolvePath("localhost", "apps\\hr\\staff.dxl"), staff);
    // A server serves its data directory, nothing above it.
    QVERIFY(errorOf([&] { s.resolvePath("localhost", "../outside.dxl"); }).contains(QStringLiteral("不在服务器")));
    QVERIFY(errorOf([&] { s.resolvePath("localhost", "/etc/passwd"); }).contains(QStringLiteral("不在服务器")));
    QVERIFY(errorOf([&] { s.OpenDatabase({}, "missing.nsf", false); }).contains(QStringLiteral("不存在")));
    QVERIFY(errorOf([&] { s.OpenDatabase({}, "", false); }).contains(QStringLiteral("没有给出")));
    QVERIFY(errorOf([&] { s.OpenDatabase({}, "new.nsf", true); }).contains(QStringLiteral("不能创建")));
}

void SessionTest::notesIni()
{
    QTemporaryDir d;
    QFile f(d.filePath("notes.ini"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[Notes]\r\nKitType=2\r\ndirectory = data\r\nSERVERNAME=CN=X/O=Y\r\n");
    f.close();
    const EngineConfig c = readNotesIni(d.filePath("notes.ini"));
    QCOMPARE(c.dataDirectory, QDir::cleanPath(d.filePath("data")));
    QCOMPARE(c.serverName, QStringLiteral("CN=X/O=Y"));
    QVERIFY(readNotesIni(d.filePath("none.ini")).dataDirectory.isEmpty());

    // The factory gives a session for the NotesSession class id, in any case, and nothing else.
    setConfiguration(config_);
    std::unique_ptr<platform::ComObject> obj(QuilletCreateObject("{29131539-2eed-1069-bf5d-00dd011186b7}"));
    auto* session = dynamic_cast<domino::INotesSession*>(obj.get());
    QVERIFY(session);
    session->StartSessionAs("admin", "quillet");
    QVERIFY(std::unique_ptr<platform::ComObject>(QuilletCreateObject("{00000000-0000-0000-0000-000000000000}")) == nullptr);
    QVERIFY(QuilletCreateObject(nullptr) == nullptr);
    setConfiguration(std::nullopt);
}

void SessionTest::evaluateAttachmentNames()
{
    Session s(config_);
    s.StartSession({});
    auto db = s.OpenDatabase({}, "apps/hr/staff.dxl", false);
    auto names = s.EvaluateFormula("@AttachmentNames", db->DocumentById("8FA"));
    QCOMPARE(names.size(), 1);
    QCOMPARE(names[0].toText(), QStringLiteral("note.txt"));
    QVERIFY(!errorOf([&] { s.EvaluateFormula("@Nonsense(1)", db->DocumentById("8FA")); }).isEmpty());
}

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
