// The export command of the main window: the file and start prompts, the
// workbook written through the local engine, and the commands that change
// the exported view disabled while it runs and enabled again afterwards.
#include "app/mainwindow.h"
#include "app/treeview.h"
#include "engine/session.h"
#include "export/exportlog.h"
#include "platform/scriptedprompts.h"
#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Notes, at each message, whether the commands were enabled.
class WatchingPrompts : public platform::ScriptedPrompts {
public:
    TfrmMain* window = nullptr;
    QList<bool> enabledAtMessage;
    void message(const QString& text, platform::MessageIcon icon) override
    {
        enabledAtMessage << (window->export_->isEnabled() || window->openfile->isEnabled() ||
                             window->TreeView1->isEnabled());
        ScriptedPrompts::message(text, icon);
    }
};

} // namespace

class TestExportWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exportFromTheWindow()
    {
        QTemporaryDir dir;
        exporting::setLogFolder(dir.path());
        TfrmMain window(dir.path() + u'/');
        WatchingPrompts prompts;
        prompts.window = &window;
        platform::setPrompts(&prompts);

        window.Session = std::make_unique<domino::TNotesSession>();
        window.Session->ConnectTo(engine::newSession());
        window.Session->StartSession(QString());
        window.CurrentDb = std::make_unique<domino::TNotesDatabase>();
        window.CurrentDb->ConnectTo(window.Session->OpenDatabase(
            QString(), QStringLiteral(QUILLET_TEST_DATA "/export/twoobjects.dxl"), false));
        window.ViewName = QStringLiteral("全部文档");
        window.DocCount = 2;
        window.AppDir = dir.path() + u'/';
        window.ExportStart = QStringLiteral("9");

        // Cancel in the file dialog: nothing happens.
        prompts.answerSaveFile(std::nullopt);
        window.exportExecute();
        QCOMPARE(window.ExportStart, QStringLiteral("9"));
        QVERIFY(prompts.messages().isEmpty());

        // Cancel in the input box: the export starts with the first document.
        prompts.answerSaveFile(dir.filePath("w.xls"));
        prompts.answerInput(std::nullopt);
        window.exportExecute();
        QCOMPARE(window.ExportStart, QStringLiteral("1"));
        QVERIFY(QFile::exists(dir.filePath("w_开始为第1个文档.xls")));
        QCOMPARE(prompts.messages().size(), 1);
        QVERIFY(prompts.messages().first().endsWith(dir.filePath("全部文档附件")));
        // The closing message comes after the commands are enabled again.
        QCOMPARE(prompts.enabledAtMessage, QList<bool>{true});
        QVERIFY(window.export_->isEnabled() && window.openfile->isEnabled() && window.TreeView1->isEnabled());
        const auto& asked = prompts.asked();
        QCOMPARE(asked.at(1).kind, platform::ScriptedPrompts::Asked::Kind::SaveFile);
        QCOMPARE(asked.at(1).text, QStringLiteral("Excel文件|*.xls|Excel 2007文件|*.xlsx"));
        QCOMPARE(asked.at(2).caption, QStringLiteral("请输入从第几个文档开始导出!"));
        QCOMPARE(asked.at(2).text, QStringLiteral("从第几个文档开始导："));

        // The typed start names the workbook; the same again is refused.
        prompts.answerSaveFile(dir.filePath("w.xls"));
        prompts.answerInput(QStringLiteral("1"));
        window.exportExecute();
        QCOMPARE(prompts.messages().last(), dir.filePath("w_开始为第1个文档.xls") + QStringLiteral("文件已存在!"));
        QVERIFY(window.export_->isEnabled());

        // The second filter writes an .xlsx workbook of the same name.
        prompts.answerSaveFile(dir.filePath("w.xlsx"), 1);
        prompts.answerInput(QStringLiteral("1"));
        window.exportExecute();
        QVERIFY(QFile::exists(dir.filePath("w_开始为第1个文档.xlsx")));
        QVERIFY(prompts.messages().last().endsWith(dir.filePath("全部文档附件")));

        platform::setPrompts(nullptr);
        exporting::setLogFolder({});
    }
};

QTEST_MAIN(TestExportWindow)
#include "tst_exportwindow.moc"
