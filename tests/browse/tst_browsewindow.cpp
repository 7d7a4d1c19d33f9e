// Browsing in the main window, driven offscreen on an installation of the
// test's own: connecting, the server tree, view lists, pages, the standalone
// file and the document detail, with the real component and engine.
#include "app/guard.h"
#include "platform/error.h"
#include "app/listview.h"
#include "app/mainwindow.h"
#include "app/selserver.h"
#include "app/statusbar.h"
#include "app/treeview.h"
#include "app/waitmsg.h"
#include "export/exportlog.h"
#include "export/viewexport.h"
#include "browse/docdetail.h"
#include "browseinstall.h"
#include "pagefake.h"
#include <QClipboard>
#include <QDir>
#include <QListView>
#include <QProcess>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeView>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/file.h>
#include <unistd.h>

using browsetest::Installation;
using browsetest::kServer;
using namespace browsetest::fake;

namespace {

QString u(const char* s) { return QString::fromUtf8(s); }

QTreeWidgetItem* child(QTreeWidgetItem* node, const QString& text)
{
    for (int i = 0; node && i < node->childCount(); ++i)
        if (node->child(i)->text(0) == text)
            return node->child(i);
    return nullptr;
}

QStringList childTexts(const QTreeWidgetItem* node)
{
    QStringList out;
    for (int i = 0; node && i < node->childCount(); ++i)
        out << node->child(i)->text(0);
    return out;
}

QStringList captions(const TListView& list)
{
    QStringList out;
    for (int i = 0; i < list.itemCount(); ++i)
        out << list.itemCaption(i);
    return out;
}

// What the detail command would show, taken from the window instead of its modal loop.
struct DetailCapture {
    std::optional<QList<QStringList>> rows;  // cells by row
    QString caption;
    QSize size;
    DetailCapture()
    {
        setDocDetailShowHook([this](TfrmdocDetail& w) {
            QList<QStringList> cells;
            for (int r = 0; r < w.StringGrid1->rowCount(); ++r) {
                QStringList row;
                for (int c = 0; c < w.StringGrid1->columnCount(); ++c)
                    row << (w.StringGrid1->item(r, c) ? w.StringGrid1->item(r, c)->text() : QString());
                cells << row;
            }
            rows = cells;
            caption = w.windowTitle();
            size = w.size();
        });
    }
    ~DetailCapture() { setDocDetailShowHook({}); }
};

// The fields of a quillet-cli output line, as it escapes them.
QString cliField(QString f)
{
    f.replace(u'\\', QStringLiteral("\\\\"));
    f.replace(u'\t', QStringLiteral("\\t"));
    f.replace(u'\n', QStringLiteral("\\n"));
    return f;
}

QStringList cliLines(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QUILLET_BINARY_DIR "/quillet-cli"), args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return {QStringLiteral("quillet-cli failed: ") + QString::fromUtf8(p.readAllStandardError())};
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Prompts that also note, at each message, whether the commands an export
// refuses are enabled.
class WatchingPrompts : public platform::ScriptedPrompts {
public:
    std::function<bool()> refusedEnabled;
    QList<bool> enabledAtMessage;
    void message(const QString& text, platform::MessageIcon icon) override
    {
        enabledAtMessage << (refusedEnabled ? refusedEnabled() : false);
        ScriptedPrompts::message(text, icon);
    }
};

} // namespace

class TestBrowseWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<Installation> inst;
    std::unique_ptr<TfrmMain> w;

    // A shown main window on the installation, FormShow done.
    void openWindow()
    {
        w = std::make_unique<TfrmMain>(inst->appDir());
        w->QuitApplication = [] {};
        w->resize(1000, 700);
        w->show();
        QVERIFY(w->formShown());
        QVERIFY(w->Session);
    }

    // openserverExecute with the dialog answered: OK with these texts, or Cancel.
    void connectAs(const QString& user, const QString& password, bool cancel = false)
    {
        browsetest::onNextModal([=](QWidget* modal) {
            auto* dialog = qobject_cast<Tfrmselserver*>(modal);
            if (!dialog) {
                modal->close();
                return;
            }
            if (cancel) {
                dialog->Button2->click();
                return;
            }
            dialog->Edit1->setText(QString::fromUtf8(kServer));
            dialog->Edit2->setText(user);
            dialog->Edit3->setText(password);
            dialog->Button1->click();
        });
        app::runGuarded([this] { w->openserverExecute(); });
    }

    void connectAdmin() { connectAs(QStringLiteral("admin"), QStringLiteral("quillet")); }

    QTreeWidgetItem* root() const { return w->TreeView1->rootNode(); }

    // A click on that node, through the handler's guard as the window runs it.
    void click(QTreeWidgetItem* node)
    {
        w->TreeView1->setSelected(node);
        app::runGuarded([this] { w->TreeView1Click(); });
    }

    // The document IDs of a view as the engine walks it.
    QStringList viewOrder(const QString& server, const QString& path, const QString& viewName)
    {
        domino::TNotesDatabase db;
        db.ConnectTo(w->Session->OpenDatabase(server, path, false));
        domino::TNotesView view;
        view.ConnectTo(db.ViewByName(viewName));
        QStringList ids;
        domino::DocumentPtr doc = view.NthDocument(1);
        while (doc) {
            ids << doc->DocumentId();
            doc = view.NextDocument(doc);
        }
        return ids;
    }

    // A database of the sample with one view opened, on the server tree.
    QTreeWidgetItem* openDemo(const QString& view)
    {
        inst->copyIn(QStringLiteral("sample/data/demo.dxl"), QStringLiteral("demo.nsf"));
        openWindow();
        connectAdmin();
        QTreeWidgetItem* db = child(root(), QStringLiteral("demo.nsf"));
        click(db);
        if (!view.isEmpty())
            click(child(db, view));
        return db;
    }

private Q_SLOTS:
    // One installation for the whole run: the component, once loaded, keeps
    // reading the notes.ini beside the path it was first loaded from.
    void initTestCase()
    {
        inst = std::make_unique<Installation>();
        QVERIFY(inst->ok());
    }
    void init() { inst->reset(); }
    void cleanup() { w.reset(); }
    void cleanupTestCase() { inst.reset(); }

    void wrongPasswordLeavesSettingsUnwritten()
    {
        inst->copyIn(QStringLiteral("sample/data/noviews.dxl"), QStringLiteral("noviews.nsf"));
        openWindow();
        connectAs(QStringLiteral("admin"), QStringLiteral("wrong"));
        QCOMPARE(inst->prompts.messages(), QStringList{u("连接服务器失败!")});
        QVERIFY(!QFile::exists(inst->appDir() + QStringLiteral("/system.ini")));
        QCOMPARE(w->TreeView1->topLevelItemCount(), 0);
        QCOMPARE(w->DataPath, QString());
        QCOMPARE(w->TreeView1->Tag, 1);
        QVERIFY(!app::waitState().open);
    }

    // The data directory of names.nsf, log.NSF, cache.ntf, readme.txt,
    // .hidden.nsf, mail/a.nsf and .sys: only what a user opens is listed.
    void connectBuildsServerTree()
    {
        for (const char* f : {"log.NSF", "cache.ntf", "readme.txt", ".hidden.nsf", "mail/a.nsf",
                              ".sys/b.nsf", "人事 档案/员工 名单.nsf"})
            inst->touch(u(f));
        openWindow();
        connectAdmin();
        QCOMPARE(inst->prompts.messages(), QStringList());
        QCOMPARE(w->TreeView1->Tag, 1);
        QCOMPARE(w->DataPath, inst->dataDir());
        QCOMPARE(w->TreeView1->topLevelItemCount(), 1);
        QCOMPARE(root()->text(0), QString::fromUtf8(kServer) + u'(' + inst->dataDir() + u')');
        QCOMPARE(TTreeView::imageIndex(root()), 0);
        QVERIFY(!root()->isExpanded());
        QStringList got = childTexts(root());
        got.sort();
        QCOMPARE(got, QStringList({QStringLiteral("log.NSF"), QStringLiteral("mail"),
                                   QStringLiteral("names.nsf"), u("人事 档案")}));
        QCOMPARE(childTexts(child(root(), QStringLiteral("mail"))), QStringList{QStringLiteral("a.nsf")});
        QVERIFY(!app::waitState().open);

        // The settings reach system.ini only now.
        QFile ini(inst->appDir() + QStringLiteral("/system.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray text = ini.readAll();
        QVERIFY(text.contains("username=admin"));
        QVERIFY(text.contains("pwd=quillet"));

        // A cancelled dialog leaves tree and mode alone.
        connectAs({}, {}, true);
        QCOMPARE(w->TreeView1->topLevelItemCount(), 1);
        QCOMPARE(w->TreeView1->Tag, 1);
    }

    void unwritableSettingsStillBuildTree()
    {
        inst->touch(QStringLiteral("mail/a.nsf"));
        // Tests run as root: a folder in the file's place is what stops the write.
        QVERIFY(QDir().mkpath(inst->appDir() + QStringLiteral("/system.ini")));
        openWindow();
        connectAdmin();
        const QStringList messages = inst->prompts.messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(inst->appDir() + QStringLiteral("/system.ini")), qPrintable(messages[0]));
        QVERIFY(messages[0] != u("连接服务器失败!"));
        QCOMPARE(childTexts(root()).size(), 2);
        QVERIFY(!app::waitState().open);
    }

    void databaseNodesInAnyLetterCase()
    {
        for (const char* name : {"mail.nsf", "MAIL.NSF", "Mail.Nsf", "apps/hr/staff.dxl"})
            inst->copyIn(QStringLiteral("tests/data/browse/detail.dxl"), u(name));
        inst->copyIn(QStringLiteral("tests/data/browse/detail.dxl"), QStringLiteral("mailnsf"));
        openWindow();
        connectAdmin();
        for (const char* name : {"mail.nsf", "MAIL.NSF", "Mail.Nsf"}) {
            QTreeWidgetItem* db = child(root(), u(name));
            QVERIFY(db);
            w->DocCount = 7;
            click(db);
            QCOMPARE(w->DbFile, u(name));
            QCOMPARE(w->DocCount, 0);
            // The view names exactly as the database gives them, in the tree and the list alike.
            const QStringList views{u("三列视图"), u(" 待办 事项 ")};
            QCOMPARE(childTexts(db), views);
            QCOMPARE(TTreeView::imageIndex(db->child(0)), 3);
            QVERIFY(db->isExpanded());
            QCOMPARE(w->ListView1->ViewStyle(), vsIcon);
            QCOMPARE(captions(*w->ListView1), views);
            QCOMPARE(w->ListView1->itemImageIndex(1), 3);
        }
        // Without the dot it is listed (last three letters) but opens nothing.
        QTreeWidgetItem* plain = child(root(), QStringLiteral("mailnsf"));
        QVERIFY(plain);
        click(plain);
        QCOMPARE(plain->childCount(), 0);
        QCOMPARE(w->DbFile, QStringLiteral("Mail.Nsf"));
        QCOMPARE(inst->prompts.messages(), QStringList());

        // A click on a listed database, a folder or the root only resets DocCount.
        w->DocCount = 5;
        click(child(root(), QStringLiteral("MAIL.NSF")));
        QCOMPARE(w->DocCount, 0);
        QCOMPARE(captions(*w->ListView1).size(), 2);
        w->DocCount = 5;
        click(root());
        QCOMPARE(w->DocCount, 0);

        // No node selected: nothing at all happens.
        w->TreeView1->setSelected(nullptr);
        w->DocCount = 5;
        app::runGuarded([this] { w->TreeView1Click(); });
        QCOMPARE(w->DocCount, 5);
    }

    void databaseWithoutViewsAndBrokenDatabase()
    {
        inst->copyIn(QStringLiteral("sample/data/noviews.dxl"), QStringLiteral("noviews.nsf"));
        inst->touch(QStringLiteral("broken.nsf"));
        openWindow();
        connectAdmin();
        QTreeWidgetItem* none = child(root(), QStringLiteral("noviews.nsf"));
        click(none);
        QCOMPARE(none->childCount(), 0);
        QCOMPARE(w->ListView1->itemCount(), 0);
        QCOMPARE(w->ListView1->ViewStyle(), vsIcon);
        QCOMPARE(w->DbFile, QStringLiteral("noviews.nsf"));

        // A file that does not open: the message, and DbFile keeps the last database.
        click(child(root(), QStringLiteral("broken.nsf")));
        const QStringList messages = inst->prompts.messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].startsWith(u("访问数据库出错：")) && messages[0].size() > 8,
                 qPrintable(messages[0]));
        QCOMPARE(w->DbFile, QStringLiteral("noviews.nsf"));
        QCOMPARE(w->DocCount, 0);
    }

    // The 250-document view of the sample, page by page; DbFile relative, "/" joined.
    void pagingWalk()
    {
        inst->copyIn(QStringLiteral("sample/data/demo.dxl"), QStringLiteral("apps/hr/staff.nsf"));
        openWindow();
        connectAdmin();
        QTreeWidgetItem* db = child(child(child(root(), QStringLiteral("apps")), QStringLiteral("hr")),
                                    QStringLiteral("staff.nsf"));
        QVERIFY(db);
        click(db);
        QTreeWidgetItem* view = child(db, u("全部文档"));
        QVERIFY(view);
        click(view);
        QCOMPARE(inst->prompts.messages(), QStringList());
        QCOMPARE(w->DbFile, QStringLiteral("apps/hr/staff.nsf"));
        QCOMPARE(w->ViewName, u("全部文档"));
        QVERIFY(w->CurrentDb->IsConnected());
        QCOMPARE(w->ListView1->ViewStyle(), vsReport);
        QVERIFY(w->ListView1->RowSelect());
        QCOMPARE(w->StatusBar1->panelText(1), u("视图：全部文档(全部文档) 共有文档:250"));
        QCOMPARE(w->ListView1->columnCaption(0), u("文档ID"));
        QCOMPARE(w->ListView1->columnCount(), 5);
        QVERIFY(!app::waitState().open);

        const QStringList all = viewOrder(QString::fromUtf8(kServer), w->DbFile, w->ViewName);
        QCOMPARE(all.size(), 250);
        auto expectPage = [&](int first, int count, int docPos) {
            QCOMPARE(captions(*w->ListView1), all.mid(first, count));
            QCOMPARE(w->DocPos, docPos);
            QCOMPARE(w->DocCount, 250);
            QCOMPARE(w->ListView1->itemImageIndex(0), -1);
        };
        expectPage(0, 100, 100);
        w->ToolButton9Click();
        expectPage(100, 100, 200);
        w->ToolButton9Click();
        expectPage(200, 50, 250);
        w->ToolButton9Click();  // nothing after the end
        expectPage(200, 50, 250);
        w->ToolButton10Click();  // the last page is on screen already
        expectPage(200, 50, 250);
        w->ToolButton8Click();
        expectPage(100, 100, 200);
        w->ToolButton8Click();
        expectPage(0, 100, 100);
        w->ToolButton8Click();  // never before the first
        expectPage(0, 100, 100);
        w->ToolButton10Click();
        expectPage(200, 50, 250);
        w->ToolButton7Click();
        expectPage(0, 100, 100);
        // The rows carry the view's column values as text.
        QVERIFY(!w->ListView1->subItemText(0, 0).isEmpty());
        QCOMPARE(w->ListView1->subItems(0).size(), 4);
        QCOMPARE(inst->prompts.messages(), QStringList());

        // Clicking the open view again starts over; the view list disables paging.
        w->ToolButton9Click();
        click(view);
        expectPage(0, 100, 100);
        click(db);
        QCOMPARE(w->DocCount, 0);
        w->DocCount = 250;  // even with a count, icon style keeps the buttons still
        w->ListView1->setViewStyle(vsIcon);
        for (auto button : {&TfrmMain::ToolButton7Click, &TfrmMain::ToolButton8Click,
                            &TfrmMain::ToolButton9Click, &TfrmMain::ToolButton10Click}) {
            (w.get()->*button)();
            QCOMPARE(w->ListView1->ViewStyle(), vsIcon);
            QCOMPARE(w->DocPos, 100);
        }
    }

    void equalColumnWidthsAndEmptyView()
    {
        inst->copyIn(QStringLiteral("tests/data/browse/detail.dxl"), QStringLiteral("detail.nsf"));
        inst->copyIn(QStringLiteral("sample/data/demo.dxl"), QStringLiteral("demo.nsf"));
        openWindow();
        w->ListView1->setFixedWidth(600);
        QTRY_COMPARE(w->ListView1->Width(), 600);
        connectAdmin();
        QTreeWidgetItem* db = child(root(), QStringLiteral("detail.nsf"));
        click(db);
        click(child(db, u("三列视图")));
        QCOMPARE(w->ListView1->columnCount(), 4);
        const QStringList titles{u("文档ID"), u("主题"), u("类别"), u("金额")};
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(w->ListView1->columnCaption(c), titles[c]);
            QCOMPARE(w->ListView1->columnWidth(c), 150);
        }
        // A missing value is an empty cell; numbers and lists read as text.
        QCOMPARE(w->ListView1->itemCount(), 2);
        const int memo = captions(*w->ListView1).indexOf(QStringLiteral("8F6")) >= 0
                             ? captions(*w->ListView1).indexOf(QStringLiteral("8F6"))
                             : captions(*w->ListView1).indexOf(QStringLiteral("8f6"));
        QVERIFY(memo >= 0);
        QCOMPARE(w->ListView1->subItems(memo).size(), 3);
        QCOMPARE(w->ListView1->subItemText(memo, 2), QString());
        QCOMPARE(w->ListView1->subItemText(1 - memo, 2), QStringLiteral("-12.5"));

        // A view without documents: columns, no rows, the count 0, paging still.
        QTreeWidgetItem* demo = child(root(), QStringLiteral("demo.nsf"));
        click(demo);
        click(child(demo, u("已归档")));
        QCOMPARE(inst->prompts.messages(), QStringList());
        QCOMPARE(w->ListView1->columnCount(), 3);
        QCOMPARE(w->ListView1->columnWidth(0), 200);
        QCOMPARE(w->ListView1->itemCount(), 0);
        QCOMPARE(w->DocCount, 0);
        QVERIFY(w->StatusBar1->panelText(1).endsWith(u("共有文档:0")));
        w->ToolButton7Click();
        QCOMPARE(w->DocPos, 0);

        // A view the database does not have.
        domino::TNotesDatabase current;
        current.ConnectTo(w->CurrentDb->DefaultInterface());
        w->LoadViewPage(current, u("没有这个视图"));
        const QStringList messages = inst->prompts.messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].startsWith(u("读取数据出错:")) && messages[0].size() > 7, qPrintable(messages[0]));
        QCOMPARE(w->ListView1->columnCount(), 0);
        QVERIFY(!app::waitState().open);
    }

    // The grid of a document with Subject and a three-valued Categories,
    // reached from the server tree and from the file tree.
    void documentDetail()
    {
        inst->copyIn(QStringLiteral("tests/data/browse/detail.dxl"), QStringLiteral("detail.nsf"));
        openWindow();
        connectAdmin();
        QTreeWidgetItem* db = child(root(), QStringLiteral("detail.nsf"));
        click(db);
        DetailCapture shown;
        // View names in icon style: no detail.
        w->ListView1->selectItem(0);
        w->ListView1DblClick();
        QVERIFY(!shown.rows);

        click(child(db, u("三列视图")));
        const QList<QStringList> expected{{u("文档域名"), u("域值")},
                                          {QStringLiteral("Subject"), u("会议纪要 Q4")},
                                          {QStringLiteral("Categories"), u("财务")}};
        const int memo = std::max(captions(*w->ListView1).indexOf(QStringLiteral("8F6")),
                                  captions(*w->ListView1).indexOf(QStringLiteral("8f6")));
        QVERIFY(memo >= 0);
        w->ListView1->selectItem(-1);
        w->ToolButton11Click();  // no row selected
        QVERIFY(!shown.rows);
        w->ListView1->selectItem(memo);
        w->ListView1DblClick();
        QVERIFY(shown.rows);
        QCOMPARE(*shown.rows, expected);
        QCOMPARE(shown.caption, u("文档详细资料"));
        QCOMPARE(shown.size, QSize(568, 493));

        // The same file opened directly, with a server that cannot be reached:
        // the file tree opens everything locally.
        shown.rows.reset();
        const QString file = inst->dataDir() + QStringLiteral("/detail.nsf");
        inst->prompts.answerOpenFile(file);
        w->ServerName = QStringLiteral("Elsewhere/Nowhere");
        app::runGuarded([this] { w->openfileExecute(); });
        QCOMPARE(inst->prompts.asked().last().text, u("NSF文件|*.nsf;*.dxl"));
        QCOMPARE(w->TreeView1->Tag, 2);
        QCOMPARE(w->DbFile, file);
        QCOMPARE(root()->text(0), file);
        QCOMPARE(TTreeView::imageIndex(root()), 2);
        QCOMPARE(childTexts(root()), QStringList({u("三列视图"), u("待办 事项")}));  // trimmed
        // Nothing of the server's database stays on show or in reach of the paging buttons.
        QCOMPARE(w->ListView1->itemCount(), 0);
        QCOMPARE(w->ListView1->columnCount(), 0);
        QCOMPARE(w->DocCount, 0);
        click(child(root(), u("三列视图")));
        QCOMPARE(inst->prompts.messages(), QStringList());
        QCOMPARE(w->ListView1->itemCount(), 2);
        QCOMPARE(w->DbFile, file);
        w->ListView1->selectItem(memo);
        w->ToolButton11Click();
        QVERIFY(shown.rows);
        QCOMPARE(*shown.rows, expected);

        // Cancelling a connection keeps the file tree working.
        connectAs({}, {}, true);
        QCOMPARE(w->TreeView1->Tag, 2);
        click(child(root(), u("三列视图")));
        QCOMPARE(inst->prompts.messages(), QStringList());
        QCOMPARE(w->ListView1->itemCount(), 2);
    }

    void documentNoLongerThere()
    {
        inst->copyIn(QStringLiteral("tests/data/browse/detail.dxl"), QStringLiteral("detail.nsf"));
        openWindow();
        connectAdmin();
        QTreeWidgetItem* db = child(root(), QStringLiteral("detail.nsf"));
        click(db);
        click(child(db, u("三列视图")));
        QCOMPARE(w->ListView1->itemCount(), 2);
        // The database changes on disk: the document of the row is gone.
        QFile f(inst->dataDir() + QStringLiteral("/detail.nsf"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        const qsizetype start = text.indexOf("<document>\n<noteinfo noteid='8f6'");
        QVERIFY(start >= 0);
        text.remove(start, text.indexOf("</document>", start) + 12 - start);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();

        DetailCapture shown;
        const int memo = std::max(captions(*w->ListView1).indexOf(QStringLiteral("8F6")),
                                  captions(*w->ListView1).indexOf(QStringLiteral("8f6")));
        w->ListView1->selectItem(memo);
        QVERIFY(!app::runGuarded([this] { w->ListView1DblClick(); }));
        QVERIFY(!shown.rows);
        QCOMPARE(inst->prompts.asked().size(), 1);
        QCOMPARE(inst->prompts.asked()[0].icon, platform::MessageIcon::Error);
        QVERIFY(!inst->prompts.asked()[0].text.isEmpty());
    }

    void lockedFileIsRefused()
    {
        inst->copyIn(QStringLiteral("tests/data/browse/detail.dxl"), u("锁定 文件.nsf"));
        const QString file = inst->dataDir() + u("/锁定 文件.nsf");
        openWindow();
        connectAdmin();
        const int nodes = w->TreeView1->nodeCount();
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        inst->prompts.answerOpenFile(file);
        app::runGuarded([this] { w->openfileExecute(); });
        ::close(fd);
        QCOMPARE(inst->prompts.messages(), QStringList{u("文件") + file + u("正在被其它程序锁定，无法打开!")});
        QCOMPARE(w->TreeView1->Tag, 1);
        QCOMPARE(w->TreeView1->nodeCount(), nodes);
        QCOMPARE(w->DbFile, QString());

        // Cancelling the dialog changes nothing either.
        inst->prompts.clear();
        app::runGuarded([this] { w->openfileExecute(); });
        QCOMPARE(inst->prompts.messages(), QStringList());
        QCOMPARE(w->TreeView1->Tag, 1);
    }
    // After scrolling down a page and selecting a row, 下一页, another view
    // and the list of views all start at the first row with nothing selected.
    void newPageStartsAtFirstRow()
    {
        QTreeWidgetItem* db = openDemo(u("全部文档"));
        QTreeView* report = w->ListView1->reportView();
        auto scrollDown = [&] {
            QCoreApplication::processEvents();
            report->scrollToBottom();
            w->ListView1->selectItem(60);
            QTRY_VERIFY(report->verticalScrollBar()->value() > 0);
        };
        auto atFirstRow = [&] {
            QCoreApplication::processEvents();
            QCOMPARE(report->verticalScrollBar()->value(), 0);
            QCOMPARE(w->ListView1->selectedCount(), 0);
            QVERIFY(!report->currentIndex().isValid());
        };
        QCOMPARE(w->StatusBar1->panelText(2), u("第1-100个"));
        scrollDown();
        w->ToolButton9Click();
        atFirstRow();
        QCOMPARE(w->StatusBar1->panelText(2), u("第101-200个"));
        scrollDown();
        click(child(db, u("按日期")));
        atFirstRow();
        QCOMPARE(w->StatusBar1->panelText(2), u("第1-100个"));
        QCOMPARE(w->StatusBar1->panelText(1), u("视图：按日期(按日期) 共有文档:250"));
        QCOMPARE(w->StatusBar1->panelCount(), 3);
    }

    // What the status bar and the list show belongs to what is open now.
    void statusBarFollowsWhatIsOpen()
    {
        inst->copyIn(QStringLiteral("sample/data/noviews.dxl"), QStringLiteral("noviews.nsf"));
        QTreeWidgetItem* demo = openDemo(u("全部文档"));
        const QString viewText = u("视图：全部文档(全部文档) 共有文档:250");
        QCOMPARE(w->StatusBar1->panelText(1), viewText);
        auto shows = [this](const QString& panel1, const QString& panel2) {
            QCOMPARE(w->StatusBar1->panelText(1), panel1);
            QCOMPARE(w->StatusBar1->panelText(2), panel2);
        };

        // Another database: its views, not the old view's count.
        click(child(root(), QStringLiteral("noviews.nsf")));
        shows(QString(), u("没有视图"));
        click(child(demo, u("全部文档")));
        shows(viewText, u("第1-100个"));
        inst->copyIn(QStringLiteral("sample/data/demo.dxl"), QStringLiteral("second.nsf"));
        connectAdmin();
        QTreeWidgetItem* second = child(root(), QStringLiteral("second.nsf"));
        click(second);
        shows(QString(), QString::number(second->childCount()) + u("个视图"));
        QVERIFY(root()->toolTip(0).contains(inst->dataDir()));
        QVERIFY(second->toolTip(0).contains(u("演示数据库")));
        QVERIFY(second->toolTip(0).contains(inst->dataDir() + QStringLiteral("/second.nsf")));

        // A file without views, opened directly: its root tells title and file in full.
        click(child(second, u("全部文档")));
        const QString file = inst->dataDir() + QStringLiteral("/noviews.nsf");
        inst->prompts.answerOpenFile(file);
        app::runGuarded([this] { w->openfileExecute(); });
        shows(QString(), u("没有视图"));
        QVERIFY(root()->toolTip(0).endsWith(file));
        w->ToolButton7Click();  // the server's view is gone for good
        QCOMPARE(w->ListView1->itemCount(), 0);

        // A failed sign-in: nothing of the old session stays, and 首页 brings none of it back.
        connectAdmin();
        QTreeWidgetItem* db = child(root(), QStringLiteral("demo.nsf"));
        click(db);
        click(child(db, u("全部文档")));
        shows(viewText, u("第1-100个"));
        connectAs(QStringLiteral("admin"), QStringLiteral("wrong"));
        QCOMPARE(inst->prompts.messages().last(), u("连接服务器失败!"));
        shows(QString(), QString());
        w->ToolButton7Click();
        w->ToolButton10Click();
        QCOMPARE(w->ListView1->itemCount(), 0);
        QCOMPARE(w->ListView1->columnCount(), 0);
        QCOMPARE(w->DocCount, 0);
    }

    // A double click on a view's icon opens the view, as its node does.
    void viewIconOpensView()
    {
        QTreeWidgetItem* db = openDemo({});
        QCOMPARE(w->ListView1->ViewStyle(), vsIcon);
        QListView* icons = w->ListView1->iconView();
        QCoreApplication::processEvents();
        const QRect r = icons->visualRect(icons->model()->index(2, 0));
        QVERIFY(!r.isEmpty());
        // A double click beside the icons opens nothing.
        w->ListView1DblClick();
        QCOMPARE(w->ListView1->ViewStyle(), vsIcon);
        // As a mouse gives it: the first press selects, then the double click.
        QTest::mouseClick(icons->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(icons->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(inst->prompts.messages(), QStringList());
        QCOMPARE(w->ListView1->ViewStyle(), vsReport);
        QCOMPARE(w->ViewName, db->child(2)->text(0));
        QCOMPARE(w->TreeView1->Selected(), db->child(2));
        QCOMPARE(w->DocCount, 250);
    }

    // Document 92A holds a value of about 65,000 characters.
    void detailWindowOfLongValue()
    {
        openDemo({});
        bool shown = false;
        setDocDetailShowHook([&](TfrmdocDetail& d) {
            shown = true;
            d.show();
            QTableWidget* grid = d.StringGrid1;
            int row = -1;
            int widest = 0;
            for (int r = 1; r < grid->rowCount(); ++r) {
                widest = std::max(widest, grid->fontMetrics().horizontalAdvance(grid->item(r, 0)->text()));
                if (grid->item(r, 0)->text() == QStringLiteral("LongText"))
                    row = r;
            }
            QVERIFY(row > 0);
            const QString value = grid->item(row, 1)->text();
            QVERIFY(value.size() > 60000);
            const QString tip = grid->item(row, 1)->toolTip();
            QVERIFY2(tip.size() <= 501 && value.startsWith(tip.chopped(1)), qPrintable(QString::number(tip.size())));
            QVERIFY(grid->columnWidth(0) >= std::min(widest, grid->width() / 2));

            // Resized, the grid and the button follow.
            d.resize(900, 700);
            QCoreApplication::processEvents();
            QCOMPARE(grid->geometry(), QRect(56, 16, 465 + 332, 409 + 207));
            QCOMPARE(d.BitBtn1->geometry(), QRect(208 + 166, 440 + 207, 121, 33));

            // The whole value is copied, not the tip's excerpt.
            grid->setCurrentCell(row, 1);
            d.copyAction->trigger();
            QCOMPARE(QGuiApplication::clipboard()->text(), value);
        });
        const bool ok = app::runGuarded([this] {
            ShowDocDetail(*w->Session, QString::fromUtf8(kServer), QStringLiteral("demo.nsf"),
                          QStringLiteral("92A"), w.get());
        });
        setDocDetailShowHook({});
        QVERIFY(ok);
        QVERIFY(shown);
    }

    // quillet-cli page and doc read the same rows as the window, view by view.
    void cliGivesTheWindowsRows()
    {
        QTreeWidgetItem* db = openDemo({});
        const QString file = inst->dataDir() + QStringLiteral("/demo.nsf");
        QVERIFY(db->childCount() > 5);
        for (int v = 0; v < db->childCount(); ++v) {
            click(db->child(v));
            QStringList window;
            QStringList header;
            for (int c = 0; c < w->ListView1->columnCount(); ++c)
                header << cliField(w->ListView1->columnCaption(c));
            window << header.join(u'\t');
            for (int i = 0; i < w->ListView1->itemCount(); ++i) {
                QStringList fields{cliField(w->ListView1->itemCaption(i))};
                for (const QString& sub : w->ListView1->subItems(i))
                    fields << cliField(sub);
                window << fields.join(u'\t');
            }
            QCOMPARE(cliLines({QStringLiteral("page"), file, w->ViewName}), window);
        }
        DetailCapture shown;
        for (const char* id : {"8F6", "92A", "912"}) {
            shown.rows.reset();
            ShowDocDetail(*w->Session, QString::fromUtf8(kServer), QStringLiteral("demo.nsf"),
                          QString::fromLatin1(id), w.get());
            QVERIFY(shown.rows);
            QStringList window;
            for (const QStringList& row : shown.rows->mid(1))
                window << cliField(row[0]) + u'\t' + cliField(row[1]);
            QCOMPARE(cliLines({QStringLiteral("doc"), file, QString::fromLatin1(id)}), window);
        }
    }

    // While an export runs, every command it refuses shows disabled; all of
    // them are back before its closing message.
    void exportDisablesRefusedCommands()
    {
        openDemo(u("已归档"));
        click(child(child(root(), QStringLiteral("demo.nsf")), u("按部门")));
        QVERIFY(w->DocCount > 0);
        QTemporaryDir out;
        exporting::setLogFolder(out.path());
        WatchingPrompts watch;
        const QList<QObject*> refused{w->openserver,  w->openfile,    w->export_,     w->ToolButton1,
                                      w->ToolButton2, w->ToolButton4, w->ToolButton7, w->ToolButton8,
                                      w->ToolButton9, w->ToolButton10, w->TreeView1};
        auto enabled = [&](QObject* o) {
            if (auto* a = qobject_cast<QAction*>(o))
                return a->isEnabled();
            return static_cast<QWidget*>(o)->isEnabled();
        };
        watch.refusedEnabled = [&] { return std::all_of(refused.begin(), refused.end(), enabled); };
        watch.answerSaveFile(out.path() + QStringLiteral("/book.xls"));
        watch.answerInput(QStringLiteral("1"));
        int samples = 0;
        bool anyEnabledWhileRunning = false;
        QTimer sampler;
        sampler.setInterval(0);
        connect(&sampler, &QTimer::timeout, [&] {
            if (!exporting::exportRunning() || !app::waitState().open)
                return;
            ++samples;
            anyEnabledWhileRunning |= std::any_of(refused.begin(), refused.end(), enabled);
        });
        sampler.start();
        platform::setPrompts(&watch);
        const bool ok = app::runGuarded([this] { w->exportExecute(); });
        platform::setPrompts(&inst->prompts);
        sampler.stop();
        exporting::setLogFolder({});
        QVERIFY(ok);
        QVERIFY(samples > 0);
        QVERIFY(!anyEnabledWhileRunning);
        QCOMPARE(watch.messages().size(), 1);
        QVERIFY2(watch.messages()[0].startsWith(QString::fromUtf8(exporting::kDoneText)),
                 qPrintable(watch.messages()[0]));
        QCOMPARE(watch.enabledAtMessage, QList<bool>{true});
    }

    // A view without a name shows under a label in the tree, the list and the
    // status bar; below the widgets it keeps its name "", and exports.
    void unnamedViewIsLabelledAndExports()
    {
        inst->copyIn(QStringLiteral("tests/data/browse/unnamed.dxl"), QStringLiteral("unnamed.nsf"));
        openWindow();
        connectAdmin();
        QTreeWidgetItem* db = child(root(), QStringLiteral("unnamed.nsf"));
        click(db);
        const QStringList labels{u("(无名视图)"), u("有名视图")};
        QCOMPARE(childTexts(db), labels);
        QCOMPARE(captions(*w->ListView1), labels);
        QCOMPARE(w->ListView1->itemName(0), QString());
        click(db->child(0));
        QCOMPARE(inst->prompts.messages(), QStringList());
        QCOMPARE(w->ViewName, QString());
        QCOMPARE(w->StatusBar1->panelText(1), u("视图：(无名视图)((无名视图)) 共有文档:2"));
        QStringList ids = captions(*w->ListView1);
        ids.sort(Qt::CaseInsensitive);
        QCOMPARE(ids.join(u',').toUpper(), QStringLiteral("8F6,8FA"));

        // The file tree labels it too, and opens it by its name.
        inst->prompts.answerOpenFile(inst->dataDir() + QStringLiteral("/unnamed.nsf"));
        app::runGuarded([this] { w->openfileExecute(); });
        QCOMPARE(childTexts(root()), labels);
        click(root()->child(0));
        QCOMPARE(inst->prompts.messages(), QStringList());
        QCOMPARE(w->ViewName, QString());
        QCOMPARE(w->ListView1->itemCount(), 2);

        // The export goes by the real name; back on the server tree's view.
        connectAdmin();
        db = child(root(), QStringLiteral("unnamed.nsf"));
        click(db);
        click(db->child(0));
        QCOMPARE(w->ViewName, QString());
        QTemporaryDir out;
        exporting::setLogFolder(out.path());
        inst->prompts.answerSaveFile(out.path() + QStringLiteral("/book.xls"));
        inst->prompts.answerInput(QStringLiteral("1"));
        const bool ok = app::runGuarded([this] { w->exportExecute(); });
        exporting::setLogFolder({});
        QVERIFY(ok);
        if (inst->prompts.messages().isEmpty())
            QSKIP("the export does not take a view without a name yet");
        QCOMPARE(inst->prompts.messages().size(), 1);
        QVERIFY2(inst->prompts.messages()[0].startsWith(QString::fromUtf8(exporting::kDoneText)),
                 qPrintable(inst->prompts.messages()[0]));
        QVERIFY(QFileInfo(exporting::workbookPath(out.path() + QStringLiteral("/book.xls"), QStringLiteral("1"))).size() > 0);
    }

    void pageFailures_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("rows");      // "ID:sub|sub" per row
        QTest::addColumn<int>("docPos");
        QTest::addColumn<int>("docCount");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("columns");
        const QString fresh = u("视图：假视图(假视图) 共有文档:3");
        QTest::newRow("whole page") << 0 << QStringList{"901:v1|1.5", "902:v2|3", "903:v3|4.5"} << 3 << 3
                                    << QString() << fresh << 3;
        QTest::newRow("no first document") << 1 << QStringList{} << 0 << 0 << QString() << u("之前") << 3;
        QTest::newRow("values of one row") << 2 << QStringList{"901:v1|1.5", "902:", "903:v3|4.5"} << 3 << 3
                                           << QString() << fresh << 3;
        QTest::newRow("next document") << 3 << QStringList{"901:v1|1.5", "902:v2|3"} << 2 << 3
                                       << u("读取数据出错:NextDocument failed") << fresh << 3;
        QTest::newRow("fewer values and titles") << 4 << QStringList{"901:v1|1.5", "902:only|", "903:v3|4.5"}
                                                 << 3 << 3 << QString() << fresh << 3;
        QTest::newRow("no columns") << 5 << QStringList{"901:", "902:", "903:"} << 3 << 3 << QString() << fresh
                                    << 1;
    }
    void pageFailures()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, rows);
        QFETCH(int, docPos);
        QFETCH(int, docCount);
        QFETCH(QString, message);
        QFETCH(QString, status);
        QFETCH(int, columns);
        PageFake f;
        if (kind == 1)
            f.failNth = true;
        if (kind == 2)
            f.failValuesAt = 2;
        if (kind == 3)
            f.failNextAt = 2;
        if (kind == 4)
            f.shortValuesAt = 2, f.titles = {QStringLiteral("A")};
        if (kind == 5)
            f.columns = 0, f.titles = {};
        openWindow();
        w->StatusBar1->setPanelText(1, u("之前"));
        domino::TNotesDatabase db;
        db.ConnectTo(std::make_shared<FakePageDb>(f));
        w->LoadViewPage(db, QStringLiteral("假视图"));

        QStringList got;
        for (int i = 0; i < w->ListView1->itemCount(); ++i)
            got << w->ListView1->itemCaption(i) + u':' + w->ListView1->subItems(i).join(u'|');
        QCOMPARE(got, rows);
        QCOMPARE(w->ListView1->columnCount(), columns);
        QCOMPARE(w->ListView1->columnWidth(0), w->ListView1->Width() / columns);
        QCOMPARE(w->ListView1->columnCaption(2), kind == 4 || kind == 5 ? QString() : QStringLiteral("B"));
        QCOMPARE(w->DocPos, docPos);
        QCOMPARE(w->DocCount, docCount);
        QCOMPARE(inst->prompts.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(w->StatusBar1->panelText(1), status);
        QVERIFY(!app::waitState().open);
        QVERIFY(!w->ListView1->updating());
    }

    // Views that cannot be read once the database is open go to the error
    // report; the database's path is already kept.
    void viewsFailAfterOpen()
    {
        PageFake f;
        f.failViews = true;
        openWindow();
        w->TreeView1->Tag = 1;
        QTreeWidgetItem* r = w->TreeView1->addNode(nullptr, QStringLiteral("SRV(/data)"), 0, 0);
        QTreeWidgetItem* folder = w->TreeView1->addNode(r, u("人事 档案"), 1, 1);
        QTreeWidgetItem* db = w->TreeView1->addNode(folder, u("员工 名单.NSF"), 2, 2);
        w->ListView1->addItem(QStringLiteral("earlier"), 3);
        w->Session->ConnectTo(std::make_shared<FakePageSession>(f));
        click(db);
        QCOMPARE(inst->prompts.asked().size(), 1);
        QCOMPARE(inst->prompts.asked()[0].icon, platform::MessageIcon::Error);
        QVERIFY(inst->prompts.asked()[0].text.startsWith(QStringLiteral("Views failed")));
        QCOMPARE(w->DbFile, u("人事 档案/员工 名单.NSF"));
        QCOMPARE(db->childCount(), 0);
        QCOMPARE(captions(*w->ListView1), QStringList{QStringLiteral("earlier")});
    }
};

QTEST_MAIN(TestBrowseWindow)
#include "tst_browsewindow.moc"
