// quillet-cli as a user runs it: the built binary on the build's installation
// (hive beside it, component and notes.ini in domino/, the sample data).
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {
struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run cli(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
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
const QString kViews = QStringLiteral(QUILLET_TEST_DATA "/engine/views.dxl");
const QString kStaff = QStringLiteral("localhost!!apps/hr/staff.dxl");

void writeFile(const QString& path, const QByteArray& bytes, QFile::Permissions mode)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    QVERIFY(f.setPermissions(mode));
}
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
    void namesRoundTrip();
    void usage_data();
    void usage();
    void passwordSources_data();
    void passwordSources();
    void exportRefusalsOnStandardError();
    void exportMakesLogFolder();
    void hiveProblems_data();
    void hiveProblems();
    void unnamedView();
    void fifoRefusedAtOnce();
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
    // A backslash before a plain letter stays single.
    QCOMPARE(cli({"doc", dir.filePath("esc.dxl"), "4"}).out, QStringLiteral("A\ta\\tb\\c\n"));
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

// Every name `views` prints goes back into `page` as it stands; the common
// cascaded "A\B" is printed verbatim.
void CliTest::namesRoundTrip()
{
    const QStringList names{
        "Admin\\All", "02. Settings\\01. All by Type", "tab\there", "line\nbreak", "cr\rand lf\n",
        "not a tab\\t", "two\\\\back", "trailing\\", "before a tab\\\t", "\\n", "\\\\\\t", "中文\\视图"};
    QByteArray dxl = "<database>";
    for (const QString& name : names) {
        QString attr = name.toHtmlEscaped();
        attr.replace(u'\t', "&#9;").replace(u'\n', "&#10;").replace(u'\r', "&#13;");
        dxl += "<view name='" + attr.toUtf8() + "'><code event='selection'><formula>SELECT @All</formula></code>"
               "<column itemname='Form'><columnheader title='F'/></column></view>";
    }
    dxl += "<document form='Memo'><noteinfo noteid='8'/><item name='Form'><text>Memo</text></item></document></database>";
    QTemporaryDir dir;
    writeFile(dir.filePath("names.dxl"), dxl, QFile::ReadOwner | QFile::WriteOwner);

    const Run views = cli({"views", dir.filePath("names.dxl")});
    QCOMPARE(views.status, 0);
    QStringList printed = views.out.split(u'\n');
    QCOMPARE(printed.takeLast(), QString());
    QCOMPARE(printed.size(), names.size());
    QCOMPARE(printed[0], QStringLiteral("Admin\\All"));
    QCOMPARE(printed[1], QStringLiteral("02. Settings\\01. All by Type"));
    QCOMPARE(printed[2], QStringLiteral("tab\\there"));
    for (const QString& line : printed) {
        const Run page = cli({"page", dir.filePath("names.dxl"), line});
        QVERIFY2(page.status == 0, qPrintable(line + ": " + page.err));
        QCOMPARE(page.out, QStringLiteral("文档ID\tF\n8\tMemo\n"));
    }
}

void CliTest::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QString view = QStringLiteral("全部文档");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "quillet-cli export DB VIEW FILE" << "";
    QTest::newRow("help names the log folder") << QStringList{"--help"} << 0 << ".local/state/quillet" << "";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "quillet-cli 3." << "";
    QTest::newRow("command help") << QStringList{"page", "--help"} << 0 << "--count N" << "";
    QTest::newRow("help names the escapes") << QStringList{"views", "-h"} << 0 << "\\t, \\r, \\n" << "";
    QTest::newRow("repeated option") << QStringList{"page", kDemo, view, "--start", "2", "--start", "3"} << 2 << ""
                                     << "--start is given more than once";
    QTest::newRow("repeated export start") << QStringList{"export", kDemo, view, "/nonexistent/x.xls", "--start", "2", "--start", "3"}
                                           << 2 << "" << "--start is given more than once";
    QTest::newRow("repeated user") << QStringList{"views", kDemo, "--user", "a", "--user", "b"} << 2 << ""
                                   << "--user is given more than once";
    QTest::newRow("missing value") << QStringList{"page", kDemo, view, "--count"} << 2 << "" << "Missing value after '--count'";
    QTest::newRow("unknown option") << QStringList{"views", kDemo, "--verbose"} << 2 << "" << "Unknown option 'verbose'";
    QTest::newRow("single dash word") << QStringList{"views", kDemo, "-start"} << 2 << "" << "Unknown option 'start'";
    QTest::newRow("too many") << QStringList{"views", kDemo, "extra"} << 2 << "" << "too many arguments";
    QTest::newRow("not a number") << QStringList{"page", kDemo, view, "--count", "ten"} << 2 << "" << "--count needs a whole number";
    QTest::newRow("empty log folder") << QStringList{"export", kDemo, view, "/tmp/x.xls", "--log-folder", ""} << 2 << ""
                                      << "--log-folder needs a folder";
    QTest::newRow("both password sources") << QStringList{"views", kDemo, "--user", "a", "--password", "p", "--password-file", "/f"}
                                           << 2 << "" << "cannot be given together";
}

void CliTest::usage()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Run r = cli(args);
    QCOMPARE(r.status, status);
    QVERIFY2(r.out.contains(out), qPrintable(r.out));
    QVERIFY2(r.err.contains(err), qPrintable(r.err));
    if (status == 2)
        QVERIFY2(r.err.contains(QStringLiteral("usage: quillet-cli")), qPrintable(r.err));
    else
        QVERIFY(r.err.isEmpty());
}

void CliTest::passwordSources_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("file");  // the password file's bytes; empty for none
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("environment");  // QUILLET_PASSWORD; "-" unset
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err");
    const QStringList file{"--password-file", "%FILE%"};
    QTest::newRow("file") << file << QByteArray("quillet\n") << 0600 << "-" << 0 << "";
    QTest::newRow("file with CR LF, no other line read") << file << QByteArray("quillet\r\nsecond\n") << 0400 << "-" << 0 << "";
    QTest::newRow("file wins over the variable") << file << QByteArray("quillet") << 0600 << "nope" << 0 << "";
    QTest::newRow("file readable by others") << file << QByteArray("quillet\n") << 0644 << "-" << 1 << "可被其他用户读取";
    QTest::newRow("file readable by group") << file << QByteArray("quillet\n") << 0640 << "-" << 1 << "chmod 600";
    QTest::newRow("file missing") << QStringList{"--password-file", "/nonexistent/pw"} << QByteArray() << 0 << "-" << 1
                                  << "/nonexistent/pw";
    QTest::newRow("wrong password in file") << file << QByteArray("nope\n") << 0600 << "-" << 1 << "密码不正确";
    QTest::newRow("variable") << QStringList{} << QByteArray() << 0 << "quillet" << 0 << "";
    QTest::newRow("wrong variable") << QStringList{} << QByteArray() << 0 << "nope" << 1 << "密码不正确";
    QTest::newRow("command line wins") << QStringList{"--password", "quillet"} << QByteArray() << 0 << "nope" << 0 << "";
}

void CliTest::passwordSources()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, file);
    QFETCH(int, mode);
    QFETCH(QString, environment);
    QFETCH(int, status);
    QFETCH(QString, err);
    QTemporaryDir dir;
    const QString path = dir.filePath("pw");
    if (!file.isEmpty()) {
        writeFile(path, file, QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
    }
    options.replaceInStrings("%FILE%", path);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QUILLET_PASSWORD");
    if (environment != "-")
        env.insert("QUILLET_PASSWORD", environment);
    const Run r = cli(QStringList{"views", kStaff, "--user", "admin"} + options, env);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(err), qPrintable(r.err));
    if (status == 0)
        QVERIFY(!r.out.isEmpty());
    if (err.contains("chmod") || err.contains(QStringLiteral("其他用户")))
        QVERIFY2(r.err.contains(path), qPrintable(r.err));
}

// An export that stops says why on standard error, with status 1.
void CliTest::exportRefusalsOnStandardError()
{
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("v_开始为第1个文档.xls"));
    writeFile(book, "taken", QFile::ReadOwner | QFile::WriteOwner);
    const Run taken = cli({"export", kViews, "Everything", dir.filePath("v.xls"), "--log-folder", dir.path()});
    QCOMPARE(taken.status, 1);
    QVERIFY2(taken.err.contains(QStringLiteral("文件已存在!")), qPrintable(taken.err));
    QVERIFY(taken.out.isEmpty());

    const Run pastEnd = cli({"export", kViews, "Everything", dir.filePath("w.xls"), "--start", "999", "--log-folder", dir.path()});
    QCOMPARE(pastEnd.status, 1);
    QVERIFY2(pastEnd.err.contains(QStringLiteral("当前没有可导出的内容")), qPrintable(pastEnd.err));

    // A log that cannot be written: the failure's own text, once.
    const QString logs = dir.filePath("logs");
    QVERIFY(QDir().mkpath(logs + "/log" + QDate::currentDate().toString("yyyyMMdd") + ".txt"));
    const Run blocked = cli({"export", kViews, "Everything", dir.filePath("b.xls"), "--log-folder", logs});
    QCOMPARE(blocked.status, 1);
    QVERIFY2(!blocked.err.isEmpty() && !blocked.err.contains(QStringLiteral("导出没有完成")), qPrintable(blocked.err));
}

// A log folder that does not exist is made (private to the user), and the
// closing message stays on standard output.
void CliTest::exportMakesLogFolder()
{
    QTemporaryDir dir;
    const QString logs = dir.filePath("logs/deeper");
    const Run r = cli({"export", kViews, "Everything", dir.filePath("v.xls"), "--log-folder", logs});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains(QStringLiteral("数据导出完成")), qPrintable(r.out));
    QVERIFY(QFileInfo(logs).isDir());
    QCOMPARE(QFileInfo(logs).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    QCOMPARE(QDir(logs).entryList(QDir::Files).size(), 1);
}

void CliTest::hiveProblems_data()
{
    QTest::addColumn<QByteArray>("hive");  // empty: none beside the program
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("找不到注册表文件");
    QTest::newRow("not a regedit export") << QByteArray("\x7f" "ELF\0\0garbage") << QStringLiteral("已损坏");
}

// The program's hive is beside it; without a usable one the message names it.
void CliTest::hiveProblems()
{
    QFETCH(QByteArray, hive);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString program = dir.filePath("quillet-cli");
    QVERIFY(QFile::copy(QStringLiteral(QUILLET_BINARY_DIR "/quillet-cli"), program));
    if (!hive.isEmpty())
        writeFile(dir.filePath("hklm.reg"), hive, QFile::ReadOwner | QFile::WriteOwner);
    QProcess p;
    p.start(program, {"views", kDemo});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 1);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains(message) && err.contains(dir.filePath("hklm.reg")), qPrintable(err));
}

// A view without a name (the default view of many real databases) is listed,
// paged and exported like any other, named by the empty text.
void CliTest::unnamedView()
{
    QTemporaryDir dir;
    QFile f(dir.filePath("u.dxl"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<database><view><code event='selection'><formula>SELECT @All</formula></code><column itemname='S'/></view>"
            "<document><noteinfo noteid='4'/><item name='S'><text>one</text></item></document></database>");
    f.close();
    QCOMPARE(cli({"views", f.fileName()}).out, QStringLiteral("\n"));
    const Run page = cli({"page", f.fileName(), ""});
    QCOMPARE(page.status, 0);
    QVERIFY2(page.out.endsWith(QStringLiteral("\n4\tone\n")), qPrintable(page.out));
    const Run exported = cli({"export", f.fileName(), "", dir.filePath("out.xls"), "--log-folder", dir.path()});
    QVERIFY2(exported.status == 0, qPrintable(exported.err));
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("out_开始为第1个文档.xls"))));
}

void CliTest::fifoRefusedAtOnce()
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.dxl");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QElapsedTimer t;
    t.start();
    const Run r = cli({"views", fifo});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("命名管道")) && r.err.contains(fifo), qPrintable(r.err));
    QVERIFY(t.elapsed() < 20000);
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
