#include "app/mainwindow.h"
#include "app/about.h"
#include "app/guard.h"
#include "app/icons.h"
#include "app/listview.h"
#include "app/panels.h"
#include "app/statusbar.h"
#include "app/treeview.h"
#include "domino/dominointerface.h"
#include "domino/settings.h"
#include "platform/prompts.h"
#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

TfrmMain* frmMain = nullptr;

namespace {
QString u8(const char* text) { return QString::fromUtf8(text); }
} // namespace

TfrmMain::TfrmMain(QWidget* parent) : TfrmMain(QString(), parent) {}

TfrmMain::TfrmMain(const QString& appDir, QWidget* parent)
    : QMainWindow(parent), appDirOverride_(appDir)
{
    if (!frmMain)
        frmMain = this;
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(u8(kCaption));
    QuitApplication = [] {
        // Queued: the running handler finishes first, then the loop stops.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    };

    ImageList1 = app::makeImageList1();
    ImageList2 = app::makeImageList2();
    buildActions();
    buildMenu();
    buildPanels();
    buildToolBar();

    resize(825, 606);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    FormDestroy();
    if (frmMain == this)
        frmMain = nullptr;
}

void TfrmMain::buildActions()
{
    auto make = [this](const char* name, const char* caption, int image,
                       std::function<void()> handler) {
        auto* a = new QAction(ImageList1.value(image), u8(caption), this);
        a->setObjectName(QString::fromLatin1(name));
        a->setIconVisibleInMenu(true);
        connect(a, &QAction::triggered, this, app::guarded(std::move(handler)));
        return a;
    };
    exitsystem = make("exitsystem", "退出系统", 1, [this] { exitsystemExecute(); });
    openserver = make("openserver", "连接服务器", 4, [this] { openserverExecute(); });
    openfile = make("openfile", "打开文件", 3, [this] { openfileExecute(); });
    export_ = make("export", "导出数据", 2, [this] { exportExecute(); });
    inportdata = make("inportdata", "导入数据", 0, [this] { inportdataExecute(); });
    about = make("about", "关于", 5, [this] { aboutExecute(); });
}

void TfrmMain::buildMenu()
{
    QMenuBar* bar = menuBar();
    N1 = bar->addMenu(u8("文   件"));
    N1->setObjectName(QStringLiteral("N1"));
    N1->addAction(openfile);    // N2
    N1->addAction(openserver);  // N3
    N1->addAction(exitsystem);  // N6
    N4 = bar->addMenu(u8("工   具"));
    N4->setObjectName(QStringLiteral("N4"));
    N4->addAction(export_);     // ACCESS1
    N4->addAction(inportdata);  // ACCESS2
    N5 = bar->addMenu(u8("关  于"));
    N5->setObjectName(QStringLiteral("N5"));
    N5->addAction(about);  // N7
}

QToolButton* TfrmMain::addToolButton(const QString& name, const QString& caption, int image,
                                     const QString& hint, std::function<void()> handler)
{
    // Not bound through setDefaultAction: a button's hint is its own, and
    // buttons without one show no tool tip at all.
    auto* b = new QToolButton(ToolBar1);
    b->setObjectName(name);
    b->setText(caption);
    b->setIcon(ImageList1.value(image));
    b->setToolTip(hint);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setIconSize(QSize(16, 16));
    b->setFixedSize(67, 36);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QToolButton::clicked, this, app::guarded(std::move(handler)));
    ToolBar1->addWidget(b);
    return b;
}

void TfrmMain::buildToolBar()
{
    ToolBar1 = new QToolBar(Panel1);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->setCursor(Qt::PointingHandCursor);
    ToolBar1->setContentsMargins(0, 0, 0, 0);
    ToolBar1->layout()->setSpacing(0);
    auto* layout = new QVBoxLayout(Panel1);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(ToolBar1);
    layout->addStretch();

    auto viaAction = [](QAction* a) { return [a] { a->trigger(); }; };
    // A button that runs an action is enabled exactly when the action is, so
    // that a command refused for the moment also looks it.
    auto follow = [this](QToolButton* b, QAction* a) {
        b->setEnabled(a->isEnabled());
        connect(a, &QAction::enabledChanged, b, &QWidget::setEnabled);
        return b;
    };
    ToolButton1 = follow(addToolButton(QStringLiteral("ToolButton1"), openserver->text(), 4,
                                       u8("连接到Domino服务器"), viaAction(openserver)),
                         openserver);
    ToolButton2 = follow(addToolButton(QStringLiteral("ToolButton2"), openfile->text(), 3,
                                       u8("打开独立的NSF库文件"), viaAction(openfile)),
                         openfile);
    ToolButton4 = follow(addToolButton(QStringLiteral("ToolButton4"), export_->text(), 2,
                                       u8("导出所选视图的文档数据到EXCEL文件中，并与附件RTF域图片等一并导出"),
                                       viaAction(export_)),
                         export_);
    ToolButton11 = addToolButton(QStringLiteral("ToolButton11"), u8("文档详情"), 10,
                                 u8("查看所选中文档的所有域和值"), [this] { ToolButton11Click(); });
    ToolButton7 = addToolButton(QStringLiteral("ToolButton7"), u8("首页"), 8, {},
                                [this] { ToolButton7Click(); });
    ToolButton8 = addToolButton(QStringLiteral("ToolButton8"), u8("上一页"), 6, {},
                                [this] { ToolButton8Click(); });
    ToolButton9 = addToolButton(QStringLiteral("ToolButton9"), u8("下一页"), 7, {},
                                [this] { ToolButton9Click(); });
    ToolButton10 = addToolButton(QStringLiteral("ToolButton10"), u8("尾页"), 9, {},
                                 [this] { ToolButton10Click(); });
    ToolButton5 = follow(addToolButton(QStringLiteral("ToolButton5"), about->text(), 5, {},
                                       viaAction(about)),
                         about);
    ToolButton6 = follow(addToolButton(QStringLiteral("ToolButton6"), exitsystem->text(), 1, {},
                                       viaAction(exitsystem)),
                         exitsystem);
}

void TfrmMain::buildPanels()
{
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    Panel1 = new QFrame(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(49);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);

    auto lowered = [](QFrame* f) {
        f->setFrameShape(QFrame::Panel);
        f->setFrameShadow(QFrame::Sunken);
        f->setLineWidth(1);
    };
    Panel2 = new QFrame;
    Panel2->setObjectName(QStringLiteral("Panel2"));
    lowered(Panel2);
    Panel2->resize(225, 100);
    TreeView1 = new TTreeView(Panel2);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setImages(ImageList2);
    auto* treeLayout = new QVBoxLayout(Panel2);
    treeLayout->setContentsMargins(1, 1, 1, 1);
    treeLayout->addWidget(TreeView1);

    Panel4 = new TSplitterBar;
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->resize(3, 100);
    Panel4->onMouseMove = [this](Qt::MouseButtons buttons, int x) { Panel4MouseMove(buttons, x); };

    Panel3 = new QFrame;
    Panel3->setObjectName(QStringLiteral("Panel3"));
    lowered(Panel3);
    ListView1 = new TListView(Panel3);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setImages(ImageList2);
    ListView1->setGridLines(true);
    ListView1->setRowSelect(true);
    auto* listLayout = new QVBoxLayout(Panel3);
    listLayout->setContentsMargins(1, 1, 1, 1);
    listLayout->addWidget(ListView1);

    middle_ = new TMiddleArea(Panel2, Panel4, Panel3, central);
    middle_->setObjectName(QStringLiteral("PanelArea"));

    Panel5 = new QFrame(central);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setFixedHeight(32);
    lowered(Panel5);
    StatusBar1 = new TStatusBar(Panel5);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->addPanel(250, app::supportContactLine());
    StatusBar1->addPanel(250);
    // Where the user is: the rows on show, or what the database holds.
    StatusBar1->addPanel(250);
    auto* statusLayout = new QVBoxLayout(Panel5);
    statusLayout->setContentsMargins(1, 1, 1, 1);
    statusLayout->addWidget(StatusBar1);

    column->addWidget(Panel1);
    column->addWidget(middle_, 1);
    column->addWidget(Panel5);
    setCentralWidget(central);

    connect(TreeView1, &TTreeView::OnClick, this, app::guarded([this] { TreeView1Click(); }));
    connect(ListView1, &TListView::OnDblClick, this, app::guarded([this] { ListView1DblClick(); }));
}

void TfrmMain::setPanel2Width(int width) { middle_->setLeftWidth(width); }

void TfrmMain::FormCreate()
{
    LastMouseX = 0;
    DocCount = 0;
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!formShown_)
        app::runGuarded([this] { FormShow(); });
}

void TfrmMain::FormShow()
{
    formShown_ = true;
    // 1. The folder of the executable (system.ini lives there).
    QString dir = appDirOverride_.isEmpty() ? QCoreApplication::applicationDirPath()
                                            : appDirOverride_;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    AppDir = dir;

    // 2. Without Notes or Domino there is nothing to work with.
    if (!domino::NotesInstalled() && !domino::DominoInstalled()) {
        platform::prompts().message(u8(kNoInstallationText));
        if (QuitApplication)
            QuitApplication();
        return;
    }

    // 3. The connection settings.
    ReadSettings();

    // 4. The installation directory: Domino's wins where both are installed.
    QString installDir;
    if (domino::NotesInstalled())
        installDir = domino::NotesPath();
    if (domino::DominoInstalled())
        installDir = domino::DominoPath();
    installDir_ = installDir;

    // 5. Keep the component registration pointing into the installation.
    domino::CheckComponentRegistration(installDir);

    // 6. The two long-lived handles, not connected yet.
    Session = std::make_unique<domino::TNotesSession>();
    CurrentDb = std::make_unique<domino::TNotesDatabase>();
}

void TfrmMain::FormDestroy()
{
    Session.reset();
    CurrentDb.reset();
}

void TfrmMain::ReadSettings()
{
    const domino::ConnectionSettings s = domino::ReadSettings(AppDir);
    ServerName = s.serverName;
    UserName = s.userName;
    Password = s.password;
}

bool TfrmMain::SaveSettings()
{
    return domino::SaveSettings(AppDir, {ServerName, UserName, Password});
}

void TfrmMain::exitsystemExecute()
{
    if (platform::prompts().confirm(u8(kExitQuestion), u8(kExitCaption)) && QuitApplication)
        QuitApplication();
}

void TfrmMain::inportdataExecute() { platform::prompts().message(u8(kImportText)); }

void TfrmMain::Panel4MouseMove(Qt::MouseButtons buttons, int X)
{
    if (buttons & Qt::LeftButton)
        setPanel2Width(middle_->leftWidth() + X - LastMouseX);
    LastMouseX = X;
}
