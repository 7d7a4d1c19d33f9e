// The small stand-ins: scripted and default prompts, the exclusive-open test,
// the clock, code page 936 and the host name.
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/host.h"
#include "platform/scriptedprompts.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::ScriptedPrompts;
using Kind = ScriptedPrompts::Asked::Kind;

class TestMisc : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scriptedPromptsAnswerInOrderAndRecord()
    {
        ScriptedPrompts p;
        platform::setPrompts(&p);
        p.answerConfirm(true);
        p.answerSaveFile(QStringLiteral("/tmp/a.xls"));
        p.answerSaveFile(std::nullopt);
        p.answerInput(QStringLiteral("12"));
        platform::prompts().message("第一", platform::MessageIcon::Error);
        QCOMPARE(platform::prompts().confirm("退出吗？", "确认"), true);
        QCOMPARE(platform::prompts().confirm("again", "确认"), false);  // none left: Cancel
        QCOMPARE(platform::prompts().saveFile("Excel|*.xls"), std::optional<QString>("/tmp/a.xls"));
        QCOMPARE(platform::prompts().saveFile("Excel|*.xls"), std::nullopt);
        QCOMPARE(platform::prompts().openFile("Notes|*.nsf"), std::nullopt);
        QCOMPARE(platform::prompts().input("导出", "起始编号", "1"), std::optional<QString>("12"));
        platform::prompts().message("第二");
        platform::setPrompts(nullptr);

        QCOMPARE(p.messages(), QStringList({"第一", "第二"}));
        const auto& asked = p.asked();
        QCOMPARE(asked.size(), 8);
        QCOMPARE(asked[0].icon, platform::MessageIcon::Error);
        QCOMPARE(asked[1].kind, Kind::Confirm);
        QCOMPARE(asked[1].caption, QString("确认"));
        QCOMPARE(asked[5].kind, Kind::OpenFile);
        QCOMPARE(asked[5].text, QString("Notes|*.nsf"));
        QCOMPARE(asked[6].kind, Kind::Input);
        QCOMPARE(asked[6].text, QString("起始编号"));
        QCOMPARE(asked[6].caption, QString("导出"));
        p.clear();
        QVERIFY(p.asked().isEmpty());
    }

    void defaultPromptsCancel()
    {
        platform::setPrompts(nullptr);
        QCOMPARE(platform::prompts().confirm("q", "确认"), false);
        QCOMPARE(platform::prompts().input("c", "p", "t"), std::nullopt);
        QCOMPARE(platform::prompts().openFile("*"), std::nullopt);
        QCOMPARE(platform::prompts().saveFile("*"), std::nullopt);
    }

    void exclusiveOpen()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.nsf");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(platform::canOpenExclusively(path));
        QVERIFY(!platform::canOpenExclusively(dir.filePath("missing.nsf")));
        // A lock held on another descriptor, even by this process, makes it busy.
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_SH), 0);
        QVERIFY(!platform::canOpenExclusively(path));
        ::close(fd);
        QVERIFY(platform::canOpenExclusively(path));
    }

    void clockCanBeSet()
    {
        const QDateTime fixed(QDate(2024, 2, 29), QTime(23, 59, 58));
        platform::setClock([&] { return fixed; });
        QCOMPARE(platform::now(), fixed);
        platform::setClock({});
        QVERIFY(qAbs(platform::now().secsTo(QDateTime::currentDateTime())) < 5);
    }

    void codePage936_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ASCII") << "abc=1" << QByteArray("abc=1");
        QTest::newRow("Chinese") << "中文" << QByteArray("\xd6\xd0\xce\xc4");
        QTest::newRow("euro sign, as Windows 936 has it") << "€" << QByteArray("\x80");
        QTest::newRow("empty") << "" << QByteArray();
    }
    void codePage936()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(platform::toCp936(text), bytes);
        QCOMPARE(platform::fromCp936(bytes), text);
    }

    void hostName()
    {
        const QString name = platform::hostName();
        QVERIFY(!name.isEmpty());
        QCOMPARE(platform::resolveOfficialName(QString()), std::nullopt);
        QCOMPARE(platform::resolveOfficialName("no-such-host.invalid"), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestMisc)
#include "tst_misc.moc"
