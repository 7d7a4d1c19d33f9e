// The export through the real engine on a small DXL database: a document with
// two attachments and a rich-text item holding two embedded objects (only the
// first is saved), and a document without attachments. The log's exact
// bytes, the files written, and the workbook read back with xlrd.
#include "domino/notes.h"
#include "engine/session.h"
#include "export/exportlog.h"
#include "export/viewexport.h"
#include "fakeexcel.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/scriptedprompts.h"
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace exporting;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestExportEngine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exportOfFixture()
    {
        QTemporaryDir dir;
        const QDateTime clock(QDate(2026, 12, 11), QTime(9, 8, 7));
        platform::setClock([clock] { return clock; });
        platform::ScriptedPrompts prompts;
        platform::setPrompts(&prompts);
        QDir(dir.path()).mkdir("log");
        setLogFolder(dir.filePath("log"));

        domino::TNotesSession session;
        session.ConnectTo(engine::newSession());
        session.StartSession(QString());
        domino::TNotesDatabase db;
        db.ConnectTo(session.OpenDatabase(QString(), QStringLiteral(QUILLET_TEST_DATA "/export/twoobjects.dxl"), false));
        domino::TNotesView view;
        view.ConnectTo(db.ViewByName(QStringLiteral("全部文档")));

        fakes::RecordingHost host;
        ExportRequest request;
        request.session = &session;
        request.database = &db;
        request.viewName = QStringLiteral("全部文档");
        request.docCount = view.DocumentCount();
        request.exportStart = QStringLiteral("1");
        request.appDir = QStringLiteral("/opt/quillet/");
        request.fileName = dir.filePath("导出.xls");
        QCOMPARE(request.docCount, 2);
        QCOMPARE(ViewExport(host).run(request), ExportOutcome::Completed);

        const QString book = dir.filePath("导出_开始为第1个文档.xls");
        const QString folder = dir.filePath("全部文档附件/21A/");
        QCOMPARE(fileBytes(folder + "附件一 报告.txt"), platform::toCp936(QStringLiteral("第一个附件的内容\r\n")));
        QByteArray all(256, 0);
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        QCOMPARE(fileBytes(folder + "b.bin"), all);
        QCOMPARE(fileBytes(folder + "EXT00001"), QByteArray("first object, page one; page two."));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 3);  // the second object is not saved
        QVERIFY(!QFileInfo::exists(dir.filePath("全部文档附件/22E")));

        // Items of the first document: Form, Subject, 123, Body and its seven $FILE items.
        QStringList lines{"开始导出视图全部文档到文件" + book + ";"};
        auto item = [&](int n, const QString& value, const QString& extracted = {}) {
            lines << QStringLiteral("开始分离第%1个文档RichText域;").arg(n);
            if (!extracted.isEmpty())
                lines << QStringLiteral("分离第%1个文档RichText域到:").arg(n) + extracted + ";";
            if (!value.isNull())
                lines << "  s=s+" + value + ";";
            lines << " s值写入excel表 ;";
        };
        lines << "完成向excel写入第1个文档;" << "判断第1个文档有附件;" << "获取第1个文档有附件列表;"
              << "获取第1个文档有附件数量为:2;" << "获取第1个文档第1个附件:附件一 报告.txt;"
              << "保存第1个文档第1个附件到:" + folder + "附件一 报告.txt;" << "获取第1个文档第2个附件:b.bin;"
              << "保存第1个文档第2个附件到:" + folder + "b.bin;"
              << "调用图片导出程序保存到:" + folder + " ;" << "结束图片导出程序保存到:" + folder + " ;";
        item(1, "Memo");
        item(1, "两个附件和两个嵌入对象");
        item(1, "7");
        item(1, "预算表和项目计划如下。", folder + "EXT00001");
        for (int k = 0; k < 7; ++k)
            item(1, "附件一 报告.txt");
        const QString folder2 = dir.filePath("全部文档附件/22E/");
        lines << "完成向excel写入第2个文档;" << "调用图片导出程序保存到:" + folder2 + " ;"
              << "结束图片导出程序保存到:" + folder2 + " ;";
        item(2, "Memo");
        item(2, "没有附件");
        for (int k = 0; k < 9; ++k)
            item(2, QString());
        QByteArray expected;
        const QByteArray stamp = platform::toCp936(logTimeStamp(clock));
        for (const QString& l : lines)
            expected += platform::toCp936(l) + stamp + "\r\n";
        QCOMPARE(fileBytes(dir.filePath("log/log20261211.txt")), expected);

        QCOMPARE(prompts.messages(),
                 QStringList{QString::fromUtf8(kDoneText) + dir.filePath("全部文档附件")});

        QProcess p;
        p.start("/usr/bin/python3", {QStringLiteral(QUILLET_SOURCE_DIR "/tests/export/readworkbook.py"), book});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QJsonObject read = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
        QCOMPARE(read.value("biff").toInt(), 80);
        QStringList cells;
        for (const QJsonValue& v : read.value("sheets").toArray().first().toObject().value("cells").toArray()) {
            const QJsonArray c = v.toArray();
            if (c.at(1).toInt() <= 5)
                cells << QStringLiteral("%1,%2:%3:%4").arg(c.at(0).toInt()).arg(c.at(1).toInt())
                             .arg(c.at(2).toString(), c.at(3).toString());
        }
        QCOMPARE(cells, (QStringList{"1,1:文档ID:General", "1,2:Form:General", "1,3:Subject:General",
                                     "1,4:123:@", "1,5:Body:General", "2,1:21A:General", "2,2:Memo:General",
                                     "2,3:两个附件和两个嵌入对象:General", "2,4:7:General",
                                     "2,5:预算表和项目计划如下。:General",  // the rich text once
                                     "3,1:22E:General", "3,2:Memo:General", "3,3:没有附件:General"}));
        platform::setPrompts(nullptr);
        platform::setClock({});
        setLogFolder({});
    }
};

QTEST_GUILESS_MAIN(TestExportEngine)
#include "tst_exportengine.moc"
