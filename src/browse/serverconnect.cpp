// Connecting to a server and building the server tree.
#include "app/mainwindow.h"
#include "app/selserver.h"
#include "app/treeview.h"
#include "app/listview.h"
#include "app/waitmsg.h"
#include "browse/commandscope.h"
#include "browse/treenodes.h"
#include "domino/dominointerface.h"
#include "domino/settings.h"
#include "platform/prompts.h"

void TfrmMain::openserverExecute()
{
    // What the tree holds is known only once the dialog is confirmed: a
    // cancelled dialog leaves the tree as it was, so its mode stays too (else
    // a file tree left on screen would be read as a server tree).
    const int previousTag = TreeView1->Tag;
    TreeView1->Tag = 1;
    Tfrmselserver dialog(this);
    dialog.exec();
    if (dialog.Cancelled) {
        TreeView1->Tag = previousTag;
        return;
    }
    ShowWaitText(QStringLiteral("正在连接Domino服务器"));
    SetWaitProgress(100, 10);
    Session->Disconnect();
    TreeView1->clear();
    // Whether or not the new session starts, nothing of the old one stays on
    // show or in reach of the paging buttons.
    forgetShownView();
    ConnectServer();
}

void TfrmMain::ConnectServer()
{
    bool settingsSaved = true;
    {
        browse::WaitCloser closer;
        try {
            Session->StartSessionAs(UserName, Password);
        } catch (...) {
            // The component's own text is not shown: it may name what the user
            // got wrong in more detail than a login screen should.
            CloseWait();
            platform::prompts().message(QStringLiteral("连接服务器失败!"));
            return;
        }
        settingsSaved = SaveSettings();
        DataPath = domino::DominoDataPath();
        QTreeWidgetItem* root = TreeView1->addNode(
            nullptr, ServerName + u'(' + DataPath + u')', browse::ImageServer, browse::ImageServer);
        // The pane clips the root at its width; the tip tells it whole.
        root->setToolTip(0, root->text(0));
        ScanDirectory(*TreeView1, DataPath, root, true);
    }
    // Told after the progress window has gone, so nothing covers the message.
    if (!settingsSaved)
        platform::prompts().message(
            QStringLiteral("已连接到服务器，但连接设置无法写入文件") +
            domino::settingsFilePath(AppDir) +
            QStringLiteral("（文件或其所在目录不可写），下次启动时需要重新输入服务器名、登录名和密码。"));
}
