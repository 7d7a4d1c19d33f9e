// quillet-cli as a user runs it: the built binary on the build's installation
// (hive beside it, component and notes.ini in domino/, the sample data).
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run cli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QUILLET_BINARY_DIR "/quillet-cli"), args);
    Run r;
    if (!p.waitForFinished(60000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

const QString kDemo = QStringLiteral(QUILLET_SOURCE_DIR "/sample/data/demo.dxl");
const QString kValues = QStringLiteral(QUILLET_TEST_DATA "/engine/values.dxl");
} // namespace

class CliTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void views();
    void paging_data();
    void paging();
    void docEscapesFields();
    void serverDatabaseWithLogin();
    void failures_data();
    void failures();
};

void CliTest::views()
{
    const Run r = cli({"views", kDemo});
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(u'\n');
    QCOMPARE(lines.first(), QStringLiteral("全部文档"));
    QVERIFY(lines.contains(QStringLiteral(" 待办事项 ")));  // names exactly as the database gives them
    QVERIFY(r.out.endsWith(u'\n'));
}

void CliTest::paging_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("rows");
    QTest::newRow("default page") << QStringList{} << 100;
    QTest::newRow("last page is short") << QStringList{"--start", "201"} << 50;
    QTest::newRow("count") << QStringList{"--start", "250", "--count", "5"} << 1;
    QTest::newRow("past the end") << QStringList{"--start", "251"} << 0;
    QTest::newRow("count zero") << QStringList{"--count", "0"} << 0;
}

void CliTest::paging()
{
    QFETCH(QStringList, options);
    QFETCH(int, rows);
    const Run r = cli(QStringList{"page", kDemo, QStringLiteral("全部文档")} + options);
    QCOMPARE(r.status, 0);
    QStringList lines = r.out.split(u'\n');
    QCOMPARE(lines.takeLast(), QString());
    QVERIFY(lines.first().startsWith(QStringLiteral("文档ID\t")));
    QCOMPARE(lines.size() - 1, rows);
    const int fields = int(lines.first().count(u'\t'));
    for (const QString& l : lines)
        QCOMPARE(int(l.count(u'\t')), fields);
}

void CliTest::docEscapesFields()
{
    const Run r = cli({"doc", kValues, "8fa"});
    QCOMPARE(r.status, 0);
    QVERIFY(r.out.startsWith(QStringLiteral("Form\tSample\n$UpdatedBy\tCN=张伟/O=Quillet\n")));
    QVERIFY(r.out.contains(QStringLiteral("Subject\t第一行\\nsecond & \"line\"\n")));
    QVERIFY(r.out.contains(QStringLiteral("Amount\t-12.5\n")));
    QVERIFY(r.out.contains(QStringLiteral("Empty\t\n")));

    QTemporaryDir dir;
    QFile f(dir.filePath("esc.dxl"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<database><document><noteinfo noteid='4'/><item name='A'><text>a\tb\\c</text></item></document></database>");
    f.close();
    QCOMPARE(cli({"doc", dir.filePath("esc.dxl"), "4"}).out, QStringLiteral("A\ta\\tb\\\\c\n"));
}

void CliTest::serverDatabaseWithLogin()
{
    const Run r = cli({"views", "localhost!!apps\\hr\\staff.dxl", "--user", "admin", "--password", "quillet"});
    QCOMPARE(r.status, 0);
    QVERIFY(!r.out.isEmpty());
    const Run wrong = cli({"views", "localhost!!apps/hr/staff.dxl", "--user", "admin", "--password", "nope"});
    QCOMPARE(wrong.status, 1);
    QVERIFY(wrong.err.contains(QStringLiteral("密码不正确")));
    QVERIFY(wrong.out.isEmpty());
}

void CliTest::failures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("no command") << QStringList{} << 2 << "usage";
    QTest::newRow("unknown command") << QStringList{"list"} << 2 << "unknown command";
    QTest::newRow("missing argument") << QStringList{"page", kDemo} << 2 << "usage";
    QTest::newRow("bad start") << QStringList{"page", kDemo, "x", "--start", "0"} << 2 << "--start";
    QTest::newRow("unknown option") << QStringList{"views", kDemo, "--verbose", "1"} << 2 << "unknown option";
    QTest::newRow("missing file") << QStringList{"views", "/nonexistent/x.nsf"} << 1 << QStringLiteral("不存在");
    QTest::newRow("unknown view") << QStringList{"page", kDemo, "NoSuchView"} << 1 << QStringLiteral("没有视图");
    QTest::newRow("unknown document") << QStringList{"doc", kDemo, "FFFFF"} << 1 << QStringLiteral("没有文档ID");
    QTest::newRow("remote server") << QStringList{"views", "Mail01/Acme!!names.dxl"} << 1 << QStringLiteral("无法连接服务器Mail01/Acme");
}

void CliTest::failures()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    const Run r = cli(args);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
