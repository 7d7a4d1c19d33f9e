#pragma once
// The main window: layout, commands and the state every command shares. It
// lives from program start to program end and is reachable as frmMain.
// Handlers of browsing, connecting and the export live in files of their own
// (src/browse, src/app/exportaction.cpp); this header declares them all.
#include "browse/core/pager.h"
#include "domino/notes.h"
#include "xls/excelapplication.h"
#include <QMainWindow>
#include <QPersistentModelIndex>
#include <functional>
#include <memory>

class QAction;
class QFrame;
class QMenu;
class QToolBar;
class QToolButton;
class TListView;
class TStatusBar;
class TTreeView;
class TSplitterBar;
class TMiddleArea;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    // appDir: the folder taken as the executable's (system.ini lives there);
    // empty means the executable's own folder. Tests pass a folder of their own.
    explicit TfrmMain(const QString& appDir, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Texts of the window.
    static constexpr const char* kCaption = "QuilletV3.5";
    static constexpr const char* kNoInstallationText =
        "对不起，Quillet要求运行的电脑上已经安装过Domino客户端或服务器端软件!请安装Domino环境后再运行本系统!";
    static constexpr const char* kExitQuestion = "您要退出Quillet么?";
    static constexpr const char* kExitCaption = "确认";
    static constexpr const char* kImportText = "对不起，该功能暂时尚未提供!";
    // Filters of the open and save dialogs (platform::prompts().openFile / saveFile).
    // Both kinds of database the engine reads, under the one caption users know.
    static constexpr const char* OpenDialog1Filter = "NSF文件|*.nsf;*.dxl";
    static constexpr const char* SaveDialog1Filter = "Excel文件|*.xls|Excel 2007文件|*.xlsx";

    // ---- Controls, named as the window is described. -----------------------
    QFrame* Panel1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton1 = nullptr;   // openserver
    QToolButton* ToolButton2 = nullptr;   // openfile
    QToolButton* ToolButton4 = nullptr;   // export
    QToolButton* ToolButton11 = nullptr;  // document detail
    QToolButton* ToolButton7 = nullptr;   // first page
    QToolButton* ToolButton8 = nullptr;   // previous page
    QToolButton* ToolButton9 = nullptr;   // next page
    QToolButton* ToolButton10 = nullptr;  // last page
    QToolButton* ToolButton5 = nullptr;   // about
    QToolButton* ToolButton6 = nullptr;   // exitsystem
    QFrame* Panel2 = nullptr;
    TTreeView* TreeView1 = nullptr;
    TSplitterBar* Panel4 = nullptr;
    QFrame* Panel3 = nullptr;
    TListView* ListView1 = nullptr;
    QFrame* Panel5 = nullptr;
    TStatusBar* StatusBar1 = nullptr;

    // ActionList1. Menu items bound to an action are the action itself.
    QAction* exitsystem = nullptr;
    QAction* openserver = nullptr;
    QAction* openfile = nullptr;
    QAction* export_ = nullptr;  // "export" is a C++ keyword
    QAction* inportdata = nullptr;
    QAction* about = nullptr;
    // MainMenu1.
    QMenu* N1 = nullptr;  // 文件: N2 openfile, N3 openserver, N6 exitsystem
    QMenu* N4 = nullptr;  // 工具: ACCESS1 export, ACCESS2 inportdata
    QMenu* N5 = nullptr;  // 关于: N7 about

    // ImageList1 (toolbar and menu, 11 images) and ImageList2 (tree and list, 4 images).
    QList<QIcon> ImageList1;
    QList<QIcon> ImageList2;

    // ---- Main window state. -----------------------------------------------
    int LastMouseX = 0;
    std::unique_ptr<domino::TNotesSession> Session;
    int DocPos = 0;
    std::unique_ptr<domino::TNotesDatabase> CurrentDb;
    QString ViewName;
    int DocCount = 0;
    QString AppDir;  // ends in "/"
    QString ExportStart;
    QString ServerName;
    QString UserName;
    QString Password;
    QString DataPath;
    QString DbFile;
    // Where the page on show started (DocPos before its load): 上一页 steps
    // back from here, and the status bar tells the rows from here to DocPos.
    int ShownFrom = 0;

    // ---- Start-up and shut-down. ------------------------------------------
    void FormCreate();
    // Runs once, when the window is first shown; tests may call it directly.
    void FormShow();
    void FormDestroy();
    bool formShown() const { return formShown_; }
    // The installation directory the start-up registration check was given.
    const QString& installationDirectory() const { return installDir_; }
    // How the window tells the application to end: after the running handler
    // returns, the event loop stops. Tests replace it to watch for it.
    std::function<void()> QuitApplication;

    void ReadSettings();
    // false when system.ini could not be written.
    bool SaveSettings();

    // ---- Commands of this window. -----------------------------------------
    void exitsystemExecute();
    void inportdataExecute();
    void aboutExecute();
    // X: pointer position relative to the bar's left edge; buttons: as at the event.
    void Panel4MouseMove(Qt::MouseButtons buttons, int X);

    // ---- Commands of browsing (src/browse). -------------------------------
    void openserverExecute();                 // serverconnect.cpp
    void ConnectServer();                     // serverconnect.cpp
    void TreeView1Click();                    // treeclick.cpp
    void LoadViewPage(domino::TNotesDatabase& db, const QString& viewName);  // viewpage.cpp
    void ToolButton7Click();                  // viewpage.cpp, first page
    void ToolButton8Click();                  // viewpage.cpp, previous page
    void ToolButton9Click();                  // viewpage.cpp, next page
    void ToolButton10Click();                 // viewpage.cpp, last page
    void openfileExecute();                   // openfile.cpp
    void ListView1DblClick();                 // docdetailcommand.cpp
    void ToolButton11Click();                 // docdetailcommand.cpp

    // ---- The export (src/app/exportaction.cpp). ---------------------------
    void exportExecute();
    void ExportToExcel(const QString& fileName, xls::WorkbookFormat format = xls::WorkbookFormat::Xls);

    // Sets the tree pane's width (the bar and the list follow); never below 0.
    void setPanel2Width(int width);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void pageTo(browse::PageMove move);
    // Opens the view the list shows as an icon (list item index), as a click
    // on its node in the tree does.
    void openListedView(int item);
    // The tree is rebuilt: nothing of what was open before stays on show.
    void forgetShownView();
    void buildActions();
    void buildMenu();
    void buildToolBar();
    void buildPanels();
    QToolButton* addToolButton(const QString& name, const QString& caption, int image,
                               const QString& hint, std::function<void()> handler);

    // The database node whose views the list shows as icons.
    QPersistentModelIndex listedDatabase_;
    QString appDirOverride_;
    QString installDir_;
    TMiddleArea* middle_ = nullptr;
    bool formShown_ = false;
};

// The main window, program-wide; set while a TfrmMain exists.
extern TfrmMain* frmMain;
