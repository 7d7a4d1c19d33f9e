// The view export against an in-memory database and a recording workbook
// object: the checks, the log lines of a document, the cells, and every
// failure the export handles or hands on.
#include "exportfixture.h"
#include "testutil.h"
#include "export/textrules.h"
#include "platform/error.h"
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace exporting;
using fakes::FakeFile;

using namespace exportfixture;

class TestViewExport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A document with two attachments and a rich-text item with two embedded
    // objects: every line in order, the files, the cells, the progress window.
    void oneDocumentThroughAllStages()
    {
        Fixture f;
        auto doc = f.view->addDocument(QStringLiteral("NT0000213A"));
        doc->attachments = {{QStringLiteral("a.txt"), "AAA"}, {QStringLiteral("b 报告.doc"), QByteArray("BB\0B", 4)}};
        doc->addItem(QStringLiteral("Subject"), {QStringLiteral("主题"), QStringLiteral("second value")});
        doc->addRichText(QStringLiteral("Body"), QStringLiteral("正文\n第二段"),
                         {{QStringLiteral("e1.bin"), "E1"}, {QStringLiteral("e2.bin"), "E2"}});
        doc->addItem(QStringLiteral("123"), {42.5}, domino::ItemTypes::Number);
        f.request.docCount = 1;

        QCOMPARE(f.run(), ExportOutcome::Completed);
        const QString folder = f.folderOf(QStringLiteral("NT0000213A"));
        const QStringList expected = {
            QStringLiteral("开始导出视图全部文档到文件") + f.book() + u';',
            QStringLiteral("完成向excel写入第1个文档;"),
            QStringLiteral("判断第1个文档有附件;"),
            QStringLiteral("获取第1个文档有附件列表;"),
            QStringLiteral("获取第1个文档有附件数量为:2;"),
            QStringLiteral("获取第1个文档第1个附件:a.txt;"),
            QStringLiteral("保存第1个文档第1个附件到:") + folder + QStringLiteral("a.txt;"),
            QStringLiteral("获取第1个文档第2个附件:b 报告.doc;"),
            QStringLiteral("保存第1个文档第2个附件到:") + folder + QStringLiteral("b 报告.doc;"),
            QStringLiteral("调用图片导出程序保存到:") + folder + QStringLiteral(" ;"),
            QStringLiteral("结束图片导出程序保存到:") + folder + QStringLiteral(" ;"),
            QStringLiteral("开始分离第1个文档RichText域;"),
            QStringLiteral("  s=s+主题;"),
            QStringLiteral(" s值写入excel表 ;"),
            QStringLiteral("开始分离第1个文档RichText域;"),
            QStringLiteral("分离第1个文档RichText域到:") + folder + QStringLiteral("e1.bin;"),
            // The value's line break is written escaped: one entry, one line.
            QStringLiteral("  s=s+正文\\n第二段;"),
            QStringLiteral(" s值写入excel表 ;"),
            QStringLiteral("开始分离第1个文档RichText域;"),
            QStringLiteral("  s=s+42.5;"),
            QStringLiteral(" s值写入excel表 ;"),
        };
        QCOMPARE(f.lines(), expected);

        QCOMPARE(fileBytes(folder + "a.txt"), QByteArray("AAA"));
        QCOMPARE(fileBytes(folder + "b 报告.doc"), QByteArray("BB\0B", 4));
        QCOMPARE(fileBytes(folder + "e1.bin"), QByteArray("E1"));
        QVERIFY(!QFile::exists(folder + "e2.bin"));

        QCOMPARE(f.excel.value(1, 1), QStringLiteral("文档ID"));
        QCOMPARE(f.excel.value(1, 2), QStringLiteral("Subject"));
        QCOMPARE(f.excel.value(1, 4), QStringLiteral("123"));
        QCOMPARE(f.excel.formats.keys().size(), 1);
        QCOMPARE(f.excel.formats.value({1, 1, 4}), QStringLiteral("@"));
        QCOMPARE(f.excel.value(2, 1), QStringLiteral("NT0000213A"));
        QCOMPARE(f.excel.value(2, 2), QStringLiteral("主题"));
        QCOMPARE(f.excel.value(2, 3), QStringLiteral("正文\n第二段"));  // the plain text once, not again from the value
        QCOMPARE(f.excel.value(2, 4), QStringLiteral("42.5"));
        QCOMPARE(f.excel.widths.value({1, 1}), 40);
        QCOMPARE(f.excel.widths.value({1, 2}), 17);
        QCOMPARE(f.excel.widths.value({1, 3}), 14);
        QCOMPARE(f.excel.widths.value({1, 4}), 13);
        QCOMPARE(f.excel.calls.mid(f.excel.calls.size() - 2),
                 (QStringList{QStringLiteral("SaveAs(") + f.book() + u')', QStringLiteral("Quit")}));

        const QString progress = QStringLiteral("正在导出数据到out_开始为第1个文档.xls...");
        QCOMPARE(f.host.calls, (QStringList{QStringLiteral("Running(1)"), QStringLiteral("ShowWait"),
                                            QStringLiteral("SetWaitText(%1)").arg(progress),
                                            QStringLiteral("SetWaitProgress(1,0)"),
                                            QStringLiteral("SetWaitText(%1)").arg(progress + "1/1"),
                                            QStringLiteral("SetWaitProgress(1,1)"), QStringLiteral("CloseWait"),
                                            QStringLiteral("Running(0)")}));
        QVERIFY(f.host.runningSeen);
        QVERIFY(!exportRunning());
        QCOMPARE(f.prompts.messages(), QStringList{QString::fromUtf8(kDoneText) + f.attachments()});
    }

    // Refused before anything starts: no log line, no workbook object, no window.
    void checks_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("docCount");
        QTest::addColumn<QString>("viewName");
        QTest::addColumn<bool>("bookExists");
        QTest::addColumn<QString>("message");  // "%book" stands for the workbook path
        QTest::newRow("blank file name") << " \t\r" << "1" << 3 << kView << false << "";
        QTest::newRow("workbook exists") << "out.XLS" << "1" << 3 << kView << true << "%book文件已存在!";
        QTest::newRow("past the end") << "out" << "4" << 3 << kView << false << "当前没有可导出的内容";
        QTest::newRow("no page shown") << "out" << "1" << 0 << kView << false << "当前没有可导出的内容";
        QTest::newRow("start 0") << "out" << "0" << 3 << kView << false << QString::fromUtf8(kStartBelowOneText);
        QTest::newRow("negative") << "out" << "-2" << 3 << kView << false << QString::fromUtf8(kStartBelowOneText);
        QTest::newRow("most negative") << "out" << "-2147483648" << 3 << kView << false
                                       << QString::fromUtf8(kStartBelowOneText);
        QTest::newRow("start 0, no page") << "out" << "0" << 0 << kView << false << "当前没有可导出的内容";
        QTest::newRow("no view shown") << "out" << "1" << 3 << "-" << false << "";
    }
    void checks()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, start);
        QFETCH(int, docCount);
        QFETCH(QString, viewName);
        QFETCH(bool, bookExists);
        QFETCH(QString, message);
        Fixture f;
        f.addDocuments(3);
        f.request.fileName = fileName.trimmed().isEmpty() ? fileName : f.dir.filePath(fileName);
        f.request.exportStart = start;
        f.request.docCount = docCount;
        f.request.viewName = viewName == "-" ? kView : viewName;
        f.request.viewShown = viewName != "-";
        if (bookExists) {
            QFile b(f.book());
            QVERIFY(b.open(QIODevice::WriteOnly));
        }
        QCOMPARE(f.run(), ExportOutcome::Stopped);
        QCOMPARE(f.prompts.messages(),
                 message.isEmpty() ? QStringList{} : QStringList{QString(message).replace("%book", f.book())});
        QVERIFY(!QFile::exists(f.logPath()));
        QCOMPARE(f.excel.created, 0);
        QVERIFY(f.host.calls.isEmpty());
        QCOMPARE(QFileInfo::exists(f.book()), bookExists);  // a refused export gives its name up again
    }

    void startNotANumber()
    {
        Fixture f;
        f.addDocuments(3);
        f.request.exportStart = QStringLiteral("abc");
        try {
            f.run();
            QFAIL("no error");
        } catch (const platform::Error& e) {
            QCOMPARE(e.text(), QStringLiteral("'abc' is not a valid integer value"));
        }
        QVERIFY(!QFile::exists(f.logPath()));
        QCOMPARE(f.excel.created, 0);
        QVERIFY(!QFileInfo::exists(f.book()));
    }

    // Which documents go to which rows, and where the progress ends.
    void rangeOfDocuments_data()
    {
        QTest::addColumn<int>("documents");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("ids");  // rows 2, 3, ...
        QTest::addColumn<QString>("lastProgress");
        QTest::newRow("start = count") << 3 << "3" << QStringList{"NT3"} << "SetWaitProgress(3,1)";
        QTest::newRow("3 to 10") << 10 << "3" << QStringList{"NT3", "NT4", "NT5", "NT6", "NT7", "NT8", "NT9", "NT10"}
                                 << "SetWaitProgress(10,8)";
        QTest::newRow("typed 007") << 8 << "007" << QStringList{"NT7", "NT8"} << "SetWaitProgress(8,2)";
        QTest::newRow("hex start") << 3 << "$2" << QStringList{"NT2", "NT3"} << "SetWaitProgress(3,2)";
    }
    void rangeOfDocuments()
    {
        QFETCH(int, documents);
        QFETCH(QString, start);
        QFETCH(QStringList, ids);
        QFETCH(QString, lastProgress);
        Fixture f;
        f.addDocuments(documents);
        f.request.exportStart = start;
        QCOMPARE(f.run(), ExportOutcome::Completed);
        QVERIFY(f.excel.savedAs.endsWith(QStringLiteral("out_开始为第") + start + QStringLiteral("个文档.xls")));
        QStringList rows;
        for (int r = 2; !f.excel.value(r, 1).isEmpty(); ++r)
            rows << f.excel.value(r, 1);
        QCOMPARE(rows, ids);
        QCOMPARE(f.host.calls.at(f.host.calls.size() - 3), lastProgress);
        // Documents without attachments get no folder, only their picture lines.
        QVERIFY(!QFileInfo::exists(f.attachments()));
        QVERIFY(f.lines().contains(QStringLiteral("调用图片导出程序保存到:") + f.folderOf(ids.first()) + QStringLiteral(" ;")));
        const int first = StrToInt(start);
        QCOMPARE(f.lines().filter(QStringLiteral("完成向excel写入第")).first(),
                 QStringLiteral("完成向excel写入第%1个文档;").arg(first));
    }

    // Failures with a message of their own: the empty workbook is saved,
    // the workbook object quits, the window closes, nothing more.
    void handledFailures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("view") << "view" << "连接视图出错:ViewByName failed";
        QTest::newRow("no such view") << "noview"
                                      << QStringLiteral("连接文档出错:") + QString::fromLatin1(domino::kNotConnectedText);
        QTest::newRow("no database") << "nodb" << QStringLiteral("连接视图出错:") + QString::fromLatin1(domino::kNotConnectedText);
        QTest::newRow("start document") << "nth" << "连接文档出错:NthDocument failed";
        QTest::newRow("item names") << "items" << "连接文档出错:Items failed";
    }
    void handledFailures()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        Fixture f;
        auto doc = f.addDocuments(2);
        if (fault == "view")
            f.db->failViewByName = true;
        else if (fault == "noview")
            f.request.viewName = QStringLiteral("其他");
        else if (fault == "nodb")
            f.dbHandle.Disconnect();
        else if (fault == "nth")
            f.view->failNth = true;
        else
            doc->failItems = true;
        QCOMPARE(f.run(), ExportOutcome::Failed);
        QCOMPARE(f.prompts.messages(), QStringList{message});
        QCOMPARE(f.excel.calls, (QStringList{"AddWorkbook", "SaveAs(" + f.book() + ")", "Quit"}));
        QCOMPARE(f.host.calls.last(2), (QStringList{"CloseWait", "Running(0)"}));
        QCOMPARE(f.lines().size(), 1);
    }

    void noWorkbookObject_data()
    {
        QTest::addColumn<bool>("failCreate");
        QTest::newRow("cannot create") << true;
        QTest::newRow("cannot add a workbook") << false;
    }
    void noWorkbookObject()
    {
        QFETCH(bool, failCreate);
        Fixture f;
        f.addDocuments(1);
        f.excel.failCreate = failCreate;
        f.excel.failAddWorkbook = !failCreate;
        QCOMPARE(f.run(), ExportOutcome::Stopped);
        QCOMPARE(f.prompts.messages(), QStringList{QString::fromUtf8(kNoExcelText)});
        QCOMPARE(f.host.calls, (QStringList{"Running(1)", "Running(0)"}));
        QCOMPARE(f.lines().size(), 1);  // line 1 comes before the workbook object
        QCOMPARE(f.excel.quit, !failCreate);
    }

    // A cell that cannot be written gets the asterisks and no line 13; a
    // document that has no next one is logged and repeated.
    void cellAndNextDocumentFailures()
    {
        Fixture f;
        auto doc = f.addDocuments(2);
        doc->addItem(QStringLiteral("Other"), {QStringLiteral("o1")});
        doc->failNext = true;
        f.excel.failWhen = [](const QString& call) { return call.endsWith(QStringLiteral(",3,o1)")); };
        QCOMPARE(f.run(), ExportOutcome::Completed);
        QCOMPARE(f.excel.value(2, 3), QString::fromLatin1(kFailedCellText));
        QCOMPARE(f.excel.value(3, 3), QString::fromLatin1(kFailedCellText));
        QCOMPARE(f.excel.value(2, 2), QStringLiteral("s1"));
        QCOMPARE(f.excel.value(3, 1), QStringLiteral("NT1"));  // the same document again
        const QStringList lines = f.lines();
        QCOMPARE(lines.count(QStringLiteral("链接第1个文档出错;")), 1);
        QCOMPARE(lines.count(QStringLiteral("链接第2个文档出错;")), 1);
        QCOMPARE(lines.count(QStringLiteral(" s值写入excel表 ;")), 2);  // Subject only, twice
        QCOMPARE(lines.last(), QStringLiteral("链接第2个文档出错;"));
        QCOMPARE(f.prompts.messages().size(), 1);  // the closing message
    }

    // When even the asterisks cannot be written the export ends with the
    // document error, after saving.
    void asterisksFail()
    {
        Fixture f;
        f.addDocuments(2);
        f.excel.failWhen = [](const QString& call) { return call.startsWith(QStringLiteral("SetValue(1,2,2,")); };
        QCOMPARE(f.run(), ExportOutcome::Failed);
        QCOMPARE(f.prompts.messages(),
                 QStringList{QStringLiteral("连接文档出错:failed: SetValue(1,2,2,") + QString::fromLatin1(kFailedCellText) +
                             QStringLiteral(")\n导出在第1个文档处中断，没有完整写入任何文档；从第1个文档开始导出可以继续。")});
        QCOMPARE(f.excel.calls.last(2), (QStringList{"SaveAs(" + f.book() + ")", "Quit"}));
        QCOMPARE(f.host.calls.last(2), (QStringList{"CloseWait", "Running(0)"}));
    }

    // Failures no handler covers reach the caller, after what was written is
    // saved, the workbook object has quit and the window has closed.
    void uncoveredFailures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("lastLine");
        const QString at3 = "导出在第3个文档处中断，最后完整写入的是第2个文档（NT2）；从第3个文档开始导出可以继续。";
        const QString at2 = "导出在第2个文档处中断，最后完整写入的是第1个文档（NT1）；从第2个文档开始导出可以继续。";
        const QString at1 = "导出在第1个文档处中断，没有完整写入任何文档；从第1个文档开始导出可以继续。";
        QTest::newRow("view runs out") << "short" << QString::fromLatin1(domino::kNotConnectedText) + "\n" + at3 << at3;
        QTest::newRow("HasAttachments") << "has" << "HasAttachments failed\n" + at2 << at2;
        QTest::newRow("ID cell") << "idcell" << "failed: SetValue(1,3,1,NT2)\n" + at2 << at2;
        QTest::newRow("progress") << "progress" << "progress failed\n" + at1 << at1;
    }
    void uncoveredFailures()
    {
        QFETCH(QString, fault);
        QFETCH(QString, error);
        QFETCH(QString, lastLine);
        Fixture f;
        f.addDocuments(3);
        if (fault == "short")
            f.view->documents.removeLast();  // the count shown is 3, the view has 2
        else if (fault == "has")
            f.view->documents.at(1)->failHasAttachments = true;
        else if (fault == "idcell")
            f.excel.failWhen = [](const QString& call) { return call == QStringLiteral("SetValue(1,3,1,NT2)"); };
        else
            f.host.onProcessEvents = [] { throw platform::Error(QStringLiteral("progress failed")); };
        try {
            f.run();
            QFAIL("no error");
        } catch (const platform::Error& e) {
            QCOMPARE(e.text(), error);
        }
        QCOMPARE(f.lines().last(), lastLine);
        QCOMPARE(f.excel.calls.last(2), (QStringList{"SaveAs(" + f.book() + ")", "Quit"}));
        QCOMPARE(f.host.calls.last(2), (QStringList{"CloseWait", "Running(0)"}));
        QVERIFY(f.prompts.messages().isEmpty());
        QVERIFY(!exportRunning());
    }

    // A log that cannot be written: the first line fails, nothing starts and
    // the workbook's name is free again.
    void logCannotBeWritten()
    {
        Fixture f;
        f.addDocuments(1);
        testutil::writeAll(f.dir.filePath("plain"), "x");
        setLogFolder(f.dir.filePath(QStringLiteral("plain/log")));
        try {
            f.run();
            QFAIL("no error");
        } catch (const platform::Error& e) {
            QCOMPARE(e.text(), QStringLiteral("I/O error %1: %2").arg(ENOTDIR).arg(f.dir.filePath("plain/log/log20261211.txt")));
        }
        QCOMPARE(f.excel.created, 0);
        QCOMPARE(f.host.calls, (QStringList{"Running(1)", "Running(0)"}));
        QVERIFY(!QFileInfo::exists(f.book()));
    }

    // A log that fails midway (its disk full, its folder gone) ends the
    // export at the next document: what was written is saved, and the
    // message says which document was the last complete one and where a
    // new export goes on.
    void logFailsMidway()
    {
        Fixture f;
        f.addDocuments(4);
        testutil::writeAll(f.dir.filePath("plain"), "x");
        f.host.onProcessEvents = [&] {
            if (f.host.processed == 2)  // the second document's progress
                setLogFolder(f.dir.filePath(QStringLiteral("plain/log")));
        };
        try {
            f.run();
            QFAIL("no error");
        } catch (const platform::Error& e) {
            QCOMPARE(e.text(), QStringLiteral("I/O error %1: %2\n").arg(ENOTDIR).arg(f.dir.filePath("plain/log/log20261211.txt")) +
                                   QStringLiteral("导出在第2个文档处中断，最后完整写入的是第1个文档（NT1）；从第2个文档开始导出可以继续。"));
        }
        QCOMPARE(f.excel.value(2, 2), QStringLiteral("s1"));
        QCOMPARE(f.excel.calls.last(2), (QStringList{"SaveAs(" + f.book() + ")", "Quit"}));
        QVERIFY(!f.excel.values.contains({1, 4, 1}));
    }

    // A file that cannot be written ends only that file: a line names it and
    // the cause, the next one is written, and the closing message counts the
    // files not saved.
    void attachmentFailures()
    {
        Fixture f;
        f.addDocuments(4);
        auto d1 = f.view->documents.at(0), d2 = f.view->documents.at(1), d3 = f.view->documents.at(2),
             d4 = f.view->documents.at(3);
        d1->attachments = {{"1.txt", "one"}, {"2.txt", "two", true}, {"3.txt", "three"}};
        d1->addRichText("Body", "text", {{"obj.bin", "O", true}});
        d2->hasAttachments = true;
        d2->formulaNames = QStringList{};
        d3->attachments = {{"x.txt", "x"}};
        d3->failFormula = true;
        // The document's folder name is taken by a file.
        d4->attachments = {{"y.txt", "y"}};
        QDir().mkpath(f.attachments());
        testutil::writeAll(f.attachments() + "/NT4", "a file");
        QCOMPARE(f.run(), ExportOutcome::Completed);
        QCOMPARE(fileBytes(f.folderOf("NT1") + "1.txt"), QByteArray("one"));
        QVERIFY(!QFile::exists(f.folderOf("NT1") + "2.txt"));
        QCOMPARE(fileBytes(f.folderOf("NT1") + "3.txt"), QByteArray("three"));
        const QStringList lines = f.lines();
        QVERIFY(lines.contains(QStringLiteral("获取第1个文档第2个附件:2.txt;")));
        QVERIFY(lines.contains(QStringLiteral("保存第1个文档第2个附件失败:") + f.folderOf("NT1") +
                               QStringLiteral("2.txt 原因:ExtractTo failed;")));
        QVERIFY(lines.contains(QStringLiteral("保存第1个文档第3个附件到:") + f.folderOf("NT1") + "3.txt;"));
        QVERIFY(lines.contains(QStringLiteral("分离第1个文档RichText域失败:") + f.folderOf("NT1") +
                               QStringLiteral("obj.bin 原因:ExtractTo failed;")));
        QVERIFY(lines.contains(QStringLiteral("获取第2个文档有附件数量为:0;")));
        QVERIFY(lines.contains(QStringLiteral("获取第3个文档有附件列表失败 原因:EvaluateFormula failed;")));
        QVERIFY(lines.contains(QStringLiteral("保存第4个文档第1个附件失败:") + f.folderOf("NT4") + QStringLiteral("y.txt 原因:") +
                               f.attachments() + QStringLiteral("/NT4已存在且不是文件夹;")));
        QCOMPARE(f.excel.value(5, 2), QStringLiteral("s4"));
        QCOMPARE(f.prompts.messages(), QStringList{QString::fromUtf8(kDoneText) + f.attachments() +
                                                   QStringLiteral("\n有4个附件或对象未能保存，原因见日志：") + f.logPath()});
    }

    // Links planted in the export's folders are never written through: the
    // workbook's name, a document's folder and an attachment's name.
    void linksAreNotFollowed()
    {
        Fixture f;
        f.addDocuments(2);
        const QString outside = f.dir.filePath("outside");
        QDir().mkpath(outside);
        testutil::writeAll(outside + "/a.txt", "mine");
        f.view->documents.at(0)->attachments = {{"a.txt", "attached"}, {"b.txt", "b"}};
        f.view->documents.at(1)->attachments = {{"c.txt", "c"}};
        QDir().mkpath(f.folderOf("NT1"));
        QVERIFY(QFile::link(outside + "/a.txt", f.folderOf("NT1") + "a.txt"));
        QVERIFY(QFile::link(outside, f.attachments() + "/NT2"));
        QCOMPARE(f.run(), ExportOutcome::Completed);
        QCOMPARE(fileBytes(outside + "/a.txt"), QByteArray("mine"));
        QVERIFY(!QFile::exists(outside + "/c.txt"));
        QCOMPARE(fileBytes(f.folderOf("NT1") + "b.txt"), QByteArray("b"));
        const QString link = QString::fromUtf8("是符号链接，导出不会经由它写入文件!");
        const QStringList lines = f.lines();
        QVERIFY(lines.contains(QStringLiteral("保存第1个文档第1个附件失败:") + f.folderOf("NT1") + "a.txt 原因:" +
                               f.folderOf("NT1") + "a.txt" + link + ";"));
        QVERIFY(lines.contains(QStringLiteral("保存第2个文档第1个附件失败:") + f.folderOf("NT2") + "c.txt 原因:" +
                               f.attachments() + "/NT2" + link + ";"));

        // A link with the workbook's name, dangling or not, is refused by name.
        for (const QString& target : QStringList{outside + "/a.txt", outside + "/none.xls"}) {
            Fixture g;
            g.addDocuments(1);
            QVERIFY(QFile::link(target, g.book()));
            QCOMPARE(g.run(), ExportOutcome::Stopped);
            QCOMPARE(g.prompts.messages(), QStringList{g.book() + link});
            QCOMPARE(g.excel.created, 0);
        }
        QCOMPARE(fileBytes(outside + "/a.txt"), QByteArray("mine"));
        QVERIFY(!QFile::exists(outside + "/none.xls"));
    }

    // A link put in place of the workbook after the check is not saved through.
    void workbookReplacedByLinkDuringExport()
    {
        Fixture f;
        f.addDocuments(1);
        const QString target = f.dir.filePath("target.xls");
        f.host.onProcessEvents = [&] {
            QFile::remove(f.book());
            QFile::link(target, f.book());
        };
        try {
            f.run(true);
            QFAIL("no error");
        } catch (const platform::Error& e) {
            QVERIFY2(e.text().startsWith(f.book() + QString::fromUtf8("是符号链接")), qPrintable(e.text()));
        }
        QVERIFY(!QFile::exists(target));
    }

    // Value and rich-text failures leave the cell with the text reached.
    void valueAndRichTextFailures()
    {
        Fixture f;
        auto d1 = f.view->addDocument("NT1");
        d1->addItem("Bad", {QStringLiteral("never")}).failItemValue = true;
        d1->addRichText("Body", "plain");
        d1->item("Body")->failItemValue = true;
        d1->addItem("Typeless", {QStringLiteral("t")}).failItemType = true;
        d1->addItem("Many", {QStringLiteral("first"), QStringLiteral("second")});
        d1->addItem("Empty", {});
        auto d2 = f.view->addDocument("NT2");  // lacks every item of the first
        f.request.docCount = 2;
        QCOMPARE(f.run(), ExportOutcome::Completed);
        QCOMPARE(f.excel.value(2, 2), QString());
        QCOMPARE(f.excel.value(2, 3), QStringLiteral("plain"));
        QCOMPARE(f.excel.value(2, 4), QStringLiteral("t"));
        QCOMPARE(f.excel.value(2, 5), QStringLiteral("first"));
        QCOMPARE(f.excel.value(2, 6), QString());
        for (int c = 2; c <= 6; ++c)
            QVERIFY(f.excel.values.contains({1, 3, c}));  // written, empty
        const QStringList lines = f.lines();
        QCOMPARE(lines.filter(QStringLiteral("  s=s+")), (QStringList{"  s=s+t;", "  s=s+first;"}));
        QCOMPARE(lines.count(QStringLiteral("开始分离第2个文档RichText域;")), 5);
        QCOMPARE(lines.count(QStringLiteral(" s值写入excel表 ;")), 10);
    }

    // A rich-text item that embeds one of the document's attachments names
    // the file already written: it is logged with that path, not written again.
    void embeddedAttachmentWrittenOnce()
    {
        Fixture f;
        auto doc = f.view->addDocument("NT1");
        doc->attachments = {{"a.txt", "attached"}};
        FakeFile again{"a.txt", "other bytes", true};  // a second write would fail
        doc->addRichText("Body", "text", {again});
        f.request.docCount = 1;
        QCOMPARE(f.run(), ExportOutcome::Completed);
        QCOMPARE(fileBytes(f.folderOf("NT1") + "a.txt"), QByteArray("attached"));
        QVERIFY(f.lines().contains(QStringLiteral("分离第1个文档RichText域到:") + f.folderOf("NT1") + "a.txt;"));
    }

    // Names from the database never write outside the document's folder;
    // names outside code page 936 keep their characters.
    void unsafeNames()
    {
        Fixture f;
        auto doc = f.view->addDocument("../../up");
        doc->attachments = {{"../evil.txt", "1"}, {"a/b.txt", "2"}, {"", "3"}, {"a_b.txt", "4"},
                            {"Ünï😀.txt", "5"}, {QString::fromUtf16(u"n\0l", 3), "6"}};
        doc->addRichText("Body", "x", {{"/etc/obj", "7"}});
        f.request.docCount = 1;
        QCOMPARE(f.run(), ExportOutcome::Completed);

        const QString folder = f.attachments() + QStringLiteral("/.._.._up/");
        const QMap<QString, QByteArray> expected = {
            {".._evil.txt", "1"}, {"a_b.txt", "2"}, {"_3", "3"}, {"a_b (2).txt", "4"},
            {"Ünï😀.txt", "5"}, {"n_l", "6"}, {"_etc_obj", "7"}};
        QMap<QString, QByteArray> found;
        QDirIterator it(f.dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.startsWith(f.dir.filePath("log/")) || path == f.book())
                continue;
            QVERIFY2(path.startsWith(folder), qPrintable(path));
            if (!path.endsWith(".xls"))
                found[path.mid(folder.size())] = fileBytes(path);
        }
        QCOMPARE(found, expected);
        const QStringList lines = f.lines();
        QVERIFY(lines.contains(QStringLiteral("获取第1个文档第1个附件:../evil.txt;")));
        QVERIFY(lines.contains(QStringLiteral("保存第1个文档第1个附件到:") + folder + QStringLiteral(".._evil.txt;")));
        QVERIFY(lines.contains(QStringLiteral("保存第1个文档第4个附件到:") + folder + QStringLiteral("a_b (2).txt;")));
        QVERIFY(lines.contains(QStringLiteral("分离第1个文档RichText域到:") + folder + QStringLiteral("_etc_obj;")));
    }

    // Past 255 items the columns continue on a further sheet that repeats
    // the ID column; a cell past 32,767 characters is cut, marked and logged.
    void columnLimitAndLongCell()
    {
        Fixture f;
        for (int d = 1; d <= 2; ++d) {
            auto doc = f.view->addDocument(QStringLiteral("NT%1").arg(d));
            for (int j = 0; j < 300; ++j)
                doc->addItem(QStringLiteral("F%1").arg(j), {QStringLiteral("v%1.%2").arg(d).arg(j)});
        }
        f.view->documents.at(1)->item("F299")->values = {QString(40000, u'长')};
        f.request.docCount = 2;
        QCOMPARE(f.run(), ExportOutcome::Completed);
        QCOMPARE(f.excel.value(1, 256, 1), QStringLiteral("F254"));
        QCOMPARE(f.excel.value(3, 256, 1), QStringLiteral("v2.254"));
        QVERIFY(!f.excel.values.contains({1, 1, 257}));
        QCOMPARE(f.excel.value(1, 1, 2), QStringLiteral("文档ID"));
        QCOMPARE(f.excel.value(1, 2, 2), QStringLiteral("F255"));
        QCOMPARE(f.excel.value(1, 46, 2), QStringLiteral("F299"));
        QCOMPARE(f.excel.value(2, 1, 2), QStringLiteral("NT1"));
        QCOMPARE(f.excel.value(3, 1, 2), QStringLiteral("NT2"));
        QCOMPARE(f.excel.value(2, 45, 2), QStringLiteral("v1.298"));
        QCOMPARE(f.excel.widths.value({2, 1}), 40);
        const QString cut = f.excel.value(3, 46, 2);
        QCOMPARE(cut.size(), xls::kMaxCellChars);
        QVERIFY(cut.endsWith(QString::fromUtf8(kCutMarker)));
        QVERIFY(cut.startsWith(QString(100, u'长')));
        QVERIFY(f.lines().contains(QStringLiteral("第2个文档域F299的内容超过32767个字符，已截断;")));
        // A surrogate pair at the cut stays whole.
        Fixture g;
        auto doc = g.view->addDocument("NT1");
        const QString marker = QString::fromUtf8(kCutMarker);
        doc->addItem("Long", {QString(QString(xls::kMaxCellChars - marker.size() - 1, u'a') + QStringLiteral("😀😀😀😀"))});
        g.request.docCount = 1;
        QCOMPARE(g.run(), ExportOutcome::Completed);
        QCOMPARE(g.excel.value(2, 2), QString(xls::kMaxCellChars - marker.size() - 1, u'a') + marker);
    }

    // Past 65,535 documents the rows continue on the next sheet, which starts
    // with the header row again.
    void rowLimit()
    {
        Fixture f;
        f.addDocuments(xls::kMaxRows + 1);
        QCOMPARE(f.run(), ExportOutcome::Completed);
        QCOMPARE(f.excel.value(xls::kMaxRows, 1, 1), QStringLiteral("NT65535"));
        QCOMPARE(f.excel.value(1, 1, 2), QStringLiteral("文档ID"));
        QCOMPARE(f.excel.value(1, 2, 2), QStringLiteral("Subject"));
        QCOMPARE(f.excel.value(2, 1, 2), QStringLiteral("NT65536"));
        QCOMPARE(f.excel.value(3, 2, 2), QStringLiteral("s65537"));
        QCOMPARE(f.excelCallsLike("ActivateSheet"), QStringList{"ActivateSheet(2)"});
    }

    // A second export while one runs is refused; the commands know it runs.
    // One to the same workbook name finds the name taken.
    void oneRunAtATime_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("other name") << "2" << QStringList{};
        QTest::newRow("same name") << "1" << QStringList{"%book文件已存在!"};
    }
    void oneRunAtATime()
    {
        QFETCH(QString, start);
        QFETCH(QStringList, messages);
        Fixture f;
        f.addDocuments(2);
        ExportOutcome inner = ExportOutcome::Completed;
        f.host.onProcessEvents = [&] {
            fakes::RecordingHost other;
            fakes::FakeExcelState excel;
            ExportRequest r = f.request;
            r.exportStart = start;
            inner = ViewExport(other, excel.factory()).run(r);
            f.host.onProcessEvents = nullptr;
        };
        QCOMPARE(f.run(), ExportOutcome::Completed);
        QCOMPARE(inner, ExportOutcome::Stopped);
        QCOMPARE(f.prompts.messages().size() - 1, messages.size());
        if (!messages.isEmpty())
            QCOMPARE(f.prompts.messages().first(), messages.first().replace("%book", f.book()));
        QVERIFY(!QFile::exists(workbookPath(f.request.fileName, "2")));
    }

    // Another process exporting to the same name while this export runs is
    // refused with the exists message, and this export's workbook is kept.
    void raceWithAnotherProcess()
    {
        const QString cli = QStringLiteral(QUILLET_BINARY_DIR "/quillet-cli");
        if (!QFile::exists(cli))
            QSKIP("quillet-cli is not built");
        Fixture f;
        f.addDocuments(2);
        int exitCode = -1;
        QString errors;
        f.host.onProcessEvents = [&] {
            if (exitCode != -1)
                return;
            QProcess p;
            p.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
            p.start(cli, {"export", QStringLiteral(QUILLET_SOURCE_DIR "/sample/data/demo.dxl"), QString::fromUtf8("全部文档"),
                          f.request.fileName, "--log-folder", f.dir.filePath("log2")});
            QVERIFY(p.waitForFinished(60000));
            exitCode = p.exitCode();
            errors = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        };
        QCOMPARE(f.run(true), ExportOutcome::Completed);
        QVERIFY(exitCode != 0);
        QVERIFY2(errors.contains(f.book() + QString::fromUtf8(kExistsText)), qPrintable(errors));
        QVERIFY(fileBytes(f.book()).startsWith("\xD0\xCF\x11\xE0"));  // our workbook, a compound file
    }

    // What the user reads, compared with the texts themselves.
    void userVisibleTexts_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("text");  // "%folder": the attachment folder
        QTest::newRow("closing message")
            << "done" << "您好，数据导出完成，导出的附件文档存放在Excel文件的同一目录下，文件夹名为：%folder";
        QTest::newRow("no Excel") << "noexcel" << "请确认您电脑上是否安装了EXCEL！";
        QTest::newRow("failed cell") << "cell" << "*********************************************";
        QTest::newRow("nothing to export") << "past" << "当前没有可导出的内容";
    }
    void userVisibleTexts()
    {
        QFETCH(QString, situation);
        QFETCH(QString, text);
        Fixture f;
        f.addDocuments(1);
        QString seen;
        if (situation == "cell") {
            f.excel.failWhen = [](const QString& call) { return call == QStringLiteral("SetValue(1,2,2,s1)"); };
            f.run();
            seen = f.excel.value(2, 2);
        } else {
            f.excel.failCreate = situation == "noexcel";
            if (situation == "past")
                f.request.exportStart = "2";
            f.run();
            seen = f.prompts.messages().value(0);
        }
        QCOMPARE(seen, text.replace("%folder", f.attachments()));
    }

    // After a failed export its workbook exists, so the same name and start
    // are refused the second time.
    void secondRunRefusedAfterFailure()
    {
        Fixture f;
        f.addDocuments(1);
        f.db->failViewByName = true;
        // A real file, as the workbook writer would leave it.
        f.excel.failWhen = [&](const QString& call) {
            if (call.startsWith("SaveAs(")) {
                QFile b(f.book());
                b.open(QIODevice::WriteOnly);
            }
            return false;
        };
        QCOMPARE(f.run(), ExportOutcome::Failed);
        f.db->failViewByName = false;
        f.prompts.clear();
        QCOMPARE(f.run(), ExportOutcome::Stopped);
        QCOMPARE(f.prompts.messages(), QStringList{f.book() + QString::fromUtf8(kExistsText)});
    }
};

QTEST_GUILESS_MAIN(TestViewExport)
#include "tst_viewexport.moc"
