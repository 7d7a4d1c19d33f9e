// The application shell: error report and guard, dialog filters, the main
// window's layout and commands, start-up, the splitter bar and the list.
#include "apptestutil.h"
#include "app/application.h"
#include "app/guard.h"
#include "app/icons.h"
#include "app/listview.h"
#include "app/mainwindow.h"
#include "app/panels.h"
#include "app/qtprompts.h"
#include "app/statusbar.h"
#include "app/treeview.h"
#include "domino/dominointerface.h"
#include "platform/error.h"
#include "platform/profile.h"
#include <QAction>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <stdexcept>

using platform::ScriptedPrompts;

class TestShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        cwd_ = QDir::currentPath();
        scope_ = std::make_unique<apptest::PromptsScope>();
        apptest::writeHive(dir_->path(), {});
    }
    void cleanup()
    {
        scope_.reset();
        QDir::setCurrent(cwd_);  // the registration check may change it
        dir_.reset();
    }

    void errorReportText_data();
    void errorReportText();
    void guardReportsWhatHandlersThrow();
    void applicationCatchesWhatEventHandlersThrow();
    void fileFilter_data();
    void fileFilter();

    void layoutAndTexts();
    void toolbar_data();
    void toolbar();
    void imagesAreDistinctAndDrawn();

    void formShow_data();
    void formShow();
    void exitAsksAndOnlyOkEnds();
    void importOnlyShowsItsMessage();
    void splitterFollowsTheDrag();

    void listViewItemsColumnsAndSelection();
    void listViewBatchAndDoubleClick();

private:
    ScriptedPrompts& prompts() { return scope_->prompts; }
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<apptest::PromptsScope> scope_;
    QString cwd_;
};

void TestShell::errorReportText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << "" << "";
    QTest::newRow("letter") << "Database not found" << "Database not found.";
    QTest::newRow("digit") << "code 42" << "code 42.";
    QTest::newRow("chinese") << QString::fromUtf8("文件不存在") << QString::fromUtf8("文件不存在.");
    QTest::newRow("slash sorts after dot") << "path a/" << "path a/.";
    QTest::newRow("dot itself") << "Stopped." << "Stopped.";
    QTest::newRow("exclamation sorts before") << "Failed!" << "Failed!";
    QTest::newRow("hyphen sorts before") << "a -" << "a -";
    QTest::newRow("space") << "trailing " << "trailing ";
}

void TestShell::errorReportText()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(app::errorReportText(text), shown);
}

void TestShell::guardReportsWhatHandlersThrow()
{
    // A platform error, a standard exception and a clean run, through a slot
    // connected the way every command is.
    QObject sender;
    int runs = 0;
    std::function<void()> body;
    QAction action;
    QObject::connect(&action, &QAction::triggered, &sender, app::guarded([&] {
                         ++runs;
                         body();
                     }));
    body = [] { throw platform::Error(QString::fromUtf8("连接视图出错")); };
    action.trigger();
    body = [] { throw std::runtime_error("bad alloc"); };
    action.trigger();
    body = [] {};
    action.trigger();
    QCOMPARE(runs, 3);
    QCOMPARE(prompts().asked().size(), 2);
    for (const auto& a : prompts().asked()) {
        QCOMPARE(a.kind, ScriptedPrompts::Asked::Kind::Message);
        QCOMPARE(a.icon, platform::MessageIcon::Error);
    }
    QCOMPARE(prompts().messages(),
             QStringList({QString::fromUtf8("连接视图出错."), QStringLiteral("bad alloc.")}));
    QVERIFY(!app::runGuarded([] { throw 5; }));
    QCOMPARE(prompts().messages().size(), 3);
}

namespace {
// An event handler that fails the way a careless command would.
class Thrower : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw platform::Error(QStringLiteral("event failed"));
        return QObject::event(e);
    }
};
} // namespace

void TestShell::applicationCatchesWhatEventHandlersThrow()
{
    // These tests run under the program's own application object.
    QVERIFY(qobject_cast<app::QuilletApplication*>(qApp));
    Thrower t;
    QEvent e(QEvent::User);
    QCoreApplication::sendEvent(&t, &e);
    QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    QCOMPARE(prompts().messages(), QStringList({QStringLiteral("event failed."), QStringLiteral("event failed.")}));
    QCOMPARE(prompts().asked().first().icon, platform::MessageIcon::Error);
}

void TestShell::fileFilter_data()
{
    QTest::addColumn<QString>("windows");
    QTest::addColumn<QString>("qt");
    QTest::newRow("one") << QString::fromUtf8("NSF文件|*.nsf") << QString::fromUtf8("NSF文件 (*.nsf)");
    QTest::newRow("two") << QString::fromUtf8("Excel文件|*.xls|全部|*.*")
                         << QString::fromUtf8("Excel文件 (*.xls);;全部 (*.*)");
    QTest::newRow("several patterns") << "Databases|*.nsf;*.dxl" << "Databases (*.nsf *.dxl)";
    QTest::newRow("empty") << "" << "";
}

void TestShell::fileFilter()
{
    QFETCH(QString, windows);
    QFETCH(QString, qt);
    QCOMPARE(app::toQtFileFilter(windows), qt);
}

void TestShell::layoutAndTexts()
{
    TfrmMain w(dir_->path());
    QCOMPARE(frmMain, &w);
    QCOMPARE(w.windowTitle(), QStringLiteral("QuilletV3.5"));
    QCOMPARE(w.size(), QSize(825, 606));
    QCOMPARE(w.Panel1->height(), 49);
    QCOMPARE(w.Panel5->height(), 32);
    QCOMPARE(w.Panel2->width(), 225);
    QCOMPARE(w.Panel4->width(), 3);
    QCOMPARE(w.Panel4->cursor().shape(), Qt::SizeHorCursor);
    QCOMPARE(w.ToolBar1->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(w.TreeView1->indentation(), 19);
    QCOMPARE(w.TreeView1->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!w.TreeView1->isSortingEnabled());
    QCOMPARE(w.TreeView1->Tag, 0);
    QCOMPARE(w.ListView1->ViewStyle(), vsIcon);
    QCOMPARE(w.ListView1->columnCount(), 0);
    QVERIFY(w.ListView1->GridLines());

    // The support line, the view's text, and where the user is in it.
    QCOMPARE(w.StatusBar1->panelCount(), 3);
    QCOMPARE(w.StatusBar1->panelWidth(0), 250);
    QCOMPARE(w.StatusBar1->panelWidth(1), 250);
    QVERIFY(!w.StatusBar1->panelText(0).isEmpty());
    QVERIFY(w.StatusBar1->panelText(1).isEmpty());
    QVERIFY(w.StatusBar1->panelText(2).isEmpty());

    // Menus with their items in order; an item bound to an action is the action.
    const QList<QAction*> menus = w.menuBar()->actions();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus[0]->text(), QString::fromUtf8("文   件"));
    QCOMPARE(menus[1]->text(), QString::fromUtf8("工   具"));
    QCOMPARE(menus[2]->text(), QString::fromUtf8("关  于"));
    QCOMPARE(w.N1->actions(), QList<QAction*>({w.openfile, w.openserver, w.exitsystem}));
    QCOMPARE(w.N4->actions(), QList<QAction*>({w.export_, w.inportdata}));
    QCOMPARE(w.N5->actions(), QList<QAction*>({w.about}));
    const QList<QPair<QAction*, QString>> captions = {
        {w.exitsystem, QString::fromUtf8("退出系统")}, {w.openserver, QString::fromUtf8("连接服务器")},
        {w.openfile, QString::fromUtf8("打开文件")},   {w.export_, QString::fromUtf8("导出数据")},
        {w.inportdata, QString::fromUtf8("导入数据")}, {w.about, QString::fromUtf8("关于")}};
    for (const auto& [action, caption] : captions) {
        QCOMPARE(action->text(), caption);
        QVERIFY(action->shortcut().isEmpty());
        QVERIFY(action->isEnabled());
    }
    // The three version numbers differ on purpose.
    QCOMPARE(QString::fromUtf8(app::kApplicationTitle), QStringLiteral("QuilletV3.4"));

    // The window's own close button ends without the exit question.
    w.QuitApplication = [] {};
    w.show();
    QVERIFY(w.close());
    QVERIFY(prompts().asked().isEmpty() ||
            prompts().asked().last().kind != ScriptedPrompts::Asked::Kind::Confirm);
}

void TestShell::toolbar_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("image");
    QTest::addColumn<QString>("hint");
    auto row = [](int pos, const char* name, const char* caption, int image, const char* hint) {
        QTest::newRow(name) << pos << QString::fromLatin1(name) << QString::fromUtf8(caption)
                            << image << QString::fromUtf8(hint);
    };
    row(0, "ToolButton1", "连接服务器", 4, "连接到Domino服务器");
    row(1, "ToolButton2", "打开文件", 3, "打开独立的NSF库文件");
    row(2, "ToolButton4", "导出数据", 2,
        "导出所选视图的文档数据到EXCEL文件中，并与附件RTF域图片等一并导出");
    row(3, "ToolButton11", "文档详情", 10, "查看所选中文档的所有域和值");
    row(4, "ToolButton7", "首页", 8, "");
    row(5, "ToolButton8", "上一页", 6, "");
    row(6, "ToolButton9", "下一页", 7, "");
    row(7, "ToolButton10", "尾页", 9, "");
    row(8, "ToolButton5", "关于", 5, "");
    row(9, "ToolButton6", "退出系统", 1, "");
}

void TestShell::toolbar()
{
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(int, image);
    QFETCH(QString, hint);
    TfrmMain w(dir_->path());
    const QList<QToolButton*> buttons =
        w.ToolBar1->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
    QList<QToolButton*> ours;
    for (QToolButton* b : buttons)
        if (b->objectName().startsWith(QStringLiteral("ToolButton")))
            ours << b;
    QCOMPARE(ours.size(), 10);
    QToolButton* b = ours[position];
    QCOMPARE(b->objectName(), name);
    QCOMPARE(b->text(), caption);
    QCOMPARE(b->toolTip(), hint);
    QCOMPARE(b->size(), QSize(67, 36));
    QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QCOMPARE(b->icon().pixmap(16, 16).toImage(), w.ImageList1[image].pixmap(16, 16).toImage());
}

void TestShell::imagesAreDistinctAndDrawn()
{
    QList<QImage> images;
    for (const QIcon& i : app::makeImageList1() + app::makeImageList2())
        images << i.pixmap(16, 16).toImage();
    QCOMPARE(images.size(), app::kImageList1Count + app::kImageList2Count);
    for (qsizetype i = 0; i < images.size(); ++i) {
        QCOMPARE(images[i].size(), QSize(16, 16));
        int opaque = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                opaque += qAlpha(images[i].pixel(x, y)) > 128;
        QVERIFY2(opaque > 20, qPrintable(QStringLiteral("image %1 is nearly blank").arg(i)));
        for (qsizetype j = 0; j < i; ++j)
            QVERIFY2(images[i] != images[j], qPrintable(QStringLiteral("%1 == %2").arg(i).arg(j)));
    }
    // Each frame of the progress animation differs from the one before.
    for (int f = 0; f < app::kSearchAnimationFrames; ++f)
        QVERIFY(app::searchAnimationFrame(f).toImage() !=
                app::searchAnimationFrame((f + 1) % app::kSearchAnimationFrames).toImage());
}

void TestShell::formShow_data()
{
    QTest::addColumn<bool>("notes");
    QTest::addColumn<bool>("domino");
    QTest::addColumn<QString>("installDir");  // "notes", "domino" or "" for none
    QTest::newRow("neither") << false << false << "";
    QTest::newRow("only Notes") << true << false << "notes";
    QTest::newRow("only Domino") << false << true << "domino";
    QTest::newRow("both: Domino wins") << true << true << "domino";
}

void TestShell::formShow()
{
    QFETCH(bool, notes);
    QFETCH(bool, domino);
    QFETCH(QString, installDir);
    const QString root = dir_->path();
    QDir(root).mkpath(QStringLiteral("notes"));
    QDir(root).mkpath(QStringLiteral("domino"));
    QList<QPair<QString, QStringList>> keys;
    if (notes)
        keys.append({QStringLiteral("SOFTWARE\\Lotus\\Notes"),
                     {apptest::regValue(QStringLiteral("Path"), root + QStringLiteral("/notes"))}});
    if (domino)
        keys.append({QStringLiteral("SOFTWARE\\Lotus\\Domino"),
                     {apptest::regValue(QStringLiteral("Path"), root + QStringLiteral("/domino")),
                      apptest::regValue(QStringLiteral("DataPath"), root)}});
    apptest::writeHive(root, keys);
    // Settings that must be read only when an installation is there.
    const QString app = root + QStringLiteral("/app");
    QDir(root).mkpath(QStringLiteral("app"));
    QVERIFY(platform::WriteProfileString(app + QStringLiteral("/system.ini"), QStringLiteral("domino"),
                                         QStringLiteral("server"), QStringLiteral("SRV1")));
    platform::WriteProfileString(app + QStringLiteral("/system.ini"), QStringLiteral("domino"),
                                 QStringLiteral("username"), QString::fromUtf8("张三"));

    TfrmMain w(app);
    int quits = 0;
    w.QuitApplication = [&] { ++quits; };
    w.show();  // showing runs FormShow, once
    QVERIFY(w.formShown());
    w.hide();
    w.show();
    QCOMPARE(w.AppDir, app + QLatin1Char('/'));

    const QString noInstallation = QString::fromUtf8(TfrmMain::kNoInstallationText);
    if (installDir.isEmpty()) {
        QCOMPARE(prompts().messages(), QStringList({noInstallation}));
        QCOMPARE(quits, 1);
        QVERIFY(w.ServerName.isEmpty());
        QVERIFY(w.UserName.isEmpty());
        QVERIFY(!w.Session);
        QVERIFY(!w.CurrentDb);
        return;
    }
    QCOMPARE(quits, 0);
    QVERIFY(!prompts().messages().contains(noInstallation));
    QCOMPARE(w.ServerName, QStringLiteral("SRV1"));
    QCOMPARE(w.UserName, QString::fromUtf8("张三"));
    QVERIFY(w.Password.isEmpty());
    QCOMPARE(w.installationDirectory(), root + QLatin1Char('/') + installDir);
    QVERIFY(w.Session && !w.Session->IsConnected());
    QVERIFY(w.CurrentDb && !w.CurrentDb->IsConnected());
}

void TestShell::exitAsksAndOnlyOkEnds()
{
    TfrmMain w(dir_->path());
    int quits = 0;
    w.QuitApplication = [&] { ++quits; };
    prompts().answerConfirm(false);
    w.exitsystem->trigger();
    QCOMPARE(quits, 0);
    w.exitsystemExecute();  // no answer left: the box was closed
    QCOMPARE(quits, 0);
    prompts().answerConfirm(true);
    w.ToolButton6->click();
    QCOMPARE(quits, 1);
    QCOMPARE(prompts().asked().size(), 3);
    for (const auto& a : prompts().asked()) {
        QCOMPARE(a.kind, ScriptedPrompts::Asked::Kind::Confirm);
        QCOMPARE(a.text, QString::fromUtf8("您要退出Quillet么?"));
        QCOMPARE(a.caption, QString::fromUtf8("确认"));
    }
}

void TestShell::importOnlyShowsItsMessage()
{
    TfrmMain w(dir_->path());
    w.inportdata->trigger();
    QCOMPARE(prompts().messages(), QStringList({QString::fromUtf8("对不起，该功能暂时尚未提供!")}));
    QCOMPARE(prompts().asked().first().icon, platform::MessageIcon::None);
}

void TestShell::splitterFollowsTheDrag()
{
    TfrmMain w(dir_->path());
    w.resize(825, 606);
    auto move = [&](int x, Qt::MouseButtons buttons) {
        QMouseEvent e(QEvent::MouseMove, QPointF(x, 10), w.Panel4->mapToGlobal(QPointF(x, 10)),
                      Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(w.Panel4, &e);
    };
    move(1, Qt::NoButton);  // without the button: only the position is kept
    QCOMPARE(w.LastMouseX, 1);
    QCOMPARE(w.Panel2->width(), 225);
    move(11, Qt::LeftButton);  // 10 pixels to the right with the button down
    QCOMPARE(w.Panel2->width(), 235);
    QCOMPARE(w.LastMouseX, 11);
    QCOMPARE(w.Panel4->x(), 235);
    QCOMPARE(w.Panel3->x(), 238);
    move(2, Qt::RightButton);  // another button does not drag
    QCOMPARE(w.Panel2->width(), 235);
    QCOMPARE(w.LastMouseX, 2);
    move(-8, Qt::LeftButton | Qt::RightButton);
    QCOMPARE(w.Panel2->width(), 225);
    // No upper limit; a width below zero is none at all.
    move(2000, Qt::LeftButton);
    QCOMPARE(w.Panel2->width(), 225 + 2008);
    QVERIFY(w.width() <= 825);  // the window does not grow with the pane
    move(-5000, Qt::LeftButton);
    QCOMPARE(w.Panel2->width(), 0);
    QCOMPARE(w.LastMouseX, -5000);
}

void TestShell::listViewItemsColumnsAndSelection()
{
    TListView list;
    list.resize(600, 300);
    list.setImages(app::makeImageList2());
    list.addColumn(QStringLiteral("ID"), 150);
    list.addColumn(QString::fromUtf8("主题"), 120);
    list.addColumn(QStringLiteral("Date"), 90);
    QCOMPARE(list.columnCount(), 3);
    QCOMPARE(list.columnCaption(1), QString::fromUtf8("主题"));
    QCOMPARE(list.columnWidth(2), 90);
    QCOMPARE(list.reportView()->columnWidth(1), 120);
    QCOMPARE(list.reportView()->model()->headerData(1, Qt::Horizontal).toString(),
             QString::fromUtf8("主题"));

    const int a = list.addItem(QStringLiteral("2F6"), 3);
    list.addSubItem(a, QString::fromUtf8("会议纪要"));
    list.addSubItem(a, QStringLiteral("2024-01-02"));
    list.addSubItem(a, QStringLiteral("beyond the columns"));
    const int b = list.addItem(QStringLiteral("2FA"));
    QCOMPARE(list.itemCount(), 2);
    QCOMPARE(list.itemImageIndex(a), 3);
    QCOMPARE(list.itemImageIndex(b), -1);
    QCOMPARE(list.subItemText(a, 1), QStringLiteral("2024-01-02"));
    QCOMPARE(list.subItems(a).size(), 3);
    QCOMPARE(list.subItemText(b, 0), QString());
    const QAbstractItemModel* m = list.reportView()->model();
    QCOMPARE(m->columnCount(), 3);  // sub-items past the columns are kept, not shown
    QCOMPARE(m->index(a, 1).data().toString(), QString::fromUtf8("会议纪要"));
    QVERIFY(!m->index(a, 0).data(Qt::DecorationRole).isNull());
    QVERIFY(m->index(b, 0).data(Qt::DecorationRole).isNull());

    // One selection, whichever style is on show.
    QCOMPARE(list.selectedCount(), 0);
    QVERIFY(list.selectedCaption().isEmpty());
    list.setViewStyle(vsReport);
    list.selectItem(b);
    QCOMPARE(list.selectedCount(), 1);
    QCOMPARE(list.selectedCaption(), QStringLiteral("2FA"));
    list.setViewStyle(vsIcon);
    QCOMPARE(list.currentView(), list.iconView());
    QCOMPARE(list.selectedCaption(), QStringLiteral("2FA"));
    list.selectItem(-1);
    QCOMPARE(list.selectedCount(), 0);

    // Clearing the items keeps the columns; clearing the columns keeps the items.
    list.clearItems();
    QCOMPARE(list.itemCount(), 0);
    QCOMPARE(list.columnCount(), 3);
    list.addItem(QStringLiteral("x"));
    list.clearColumns();
    QCOMPARE(list.columnCount(), 0);
    QCOMPARE(list.itemCount(), 1);
    QCOMPARE(m->index(0, 0).data().toString(), QStringLiteral("x"));
}

void TestShell::listViewBatchAndDoubleClick()
{
    TListView list;
    list.resize(600, 300);
    list.setViewStyle(vsReport);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.BeginUpdate();
    list.BeginUpdate();  // nested
    for (int c = 0; c < 10; ++c)
        list.addColumn(QStringLiteral("C%1").arg(c), 60);
    for (int r = 0; r < 100; ++r) {
        const int i = list.addItem(QString::number(r, 16));
        for (int c = 1; c < 10; ++c)
            list.addSubItem(i, QStringLiteral("%1/%2").arg(r).arg(c));
    }
    list.EndUpdate();
    QVERIFY(list.updating());
    QVERIFY(!list.updatesEnabled());
    list.EndUpdate();
    QVERIFY(!list.updating());
    QVERIFY(list.updatesEnabled());
    const QAbstractItemModel* m = list.reportView()->model();
    QCOMPARE(m->rowCount(), 100);
    QCOMPARE(m->columnCount(), 10);
    QCOMPARE(m->index(99, 9).data().toString(), QStringLiteral("99/9"));
    QCOMPARE(list.reportView()->columnWidth(9), 60);

    int dbl = 0;
    connect(&list, &TListView::OnDblClick, this, [&] { ++dbl; });
    QWidget* vp = list.reportView()->viewport();
    const QPoint onRow = list.reportView()->visualRect(m->index(3, 0)).center();
    QTest::mouseClick(vp, Qt::LeftButton, {}, onRow);
    QTest::mouseDClick(vp, Qt::LeftButton, {}, onRow);
    QCOMPARE(dbl, 1);
    QCOMPARE(list.selectedCaption(), QStringLiteral("3"));
    // Whole rows are selected in the report style.
    list.setRowSelect(true);
    QTest::mouseClick(vp, Qt::LeftButton, {}, list.reportView()->visualRect(m->index(5, 4)).center());
    QCOMPARE(list.selectedCaption(), QStringLiteral("5"));
    QCOMPARE(list.reportView()->selectionModel()->selectedIndexes().size(), 10);
}

int main(int argc, char** argv)
{
    app::QuilletApplication application(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    TestShell tests;
    return QTest::qExec(&tests, argc, argv);
}
#include "tst_shell.moc"
