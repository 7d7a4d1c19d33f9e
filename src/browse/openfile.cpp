// Opening one database file straight from the file system.
#include "app/mainwindow.h"
#include "app/selserver.h"
#include "app/statusbar.h"
#include "app/treeview.h"
#include "browse/commandscope.h"
#include "browse/core/texts.h"
#include "browse/standalonefile.h"
#include "browse/treenodes.h"
#include "platform/prompts.h"

void TfrmMain::openfileExecute()
{
    const std::optional<QString> chosen =
        platform::prompts().openFile(QString::fromUtf8(OpenDialog1Filter));
    if (!chosen)
        return;
    const QString file = *chosen;
    if (IsFileLocked(file)) {
        platform::prompts().message(QStringLiteral("文件") + file +
                                    QStringLiteral("正在被其它程序锁定，无法打开!"));
        return;
    }
    domino::TNotesDatabase db;
    Session->Disconnect();
    Session->StartSession(QString());
    browse::attachOrThrow(db, Session->OpenDatabase(QString(), file, false),
                          browse::databaseMissingText(file));
    DbFile = file;
    TreeView1->clear();
    TreeView1->Tag = 2;
    forgetShownView();
    QTreeWidgetItem* root =
        TreeView1->addNode(nullptr, file, browse::ImageDatabase, browse::ImageDatabase);
    const QStringList views = db.Views();
    for (const QString& name : views) {
        const QString trimmed = app::TrimControls(name);
        QTreeWidgetItem* node = TreeView1->addNode(root, browse::viewLabel(trimmed), browse::ImageView,
                                                   browse::ImageView);
        TTreeView::setNodeName(node, trimmed);
    }
    // The root shows the path clipped at the pane's width; the tip tells it whole.
    root->setToolTip(0, browse::databaseTip(db, file));
    StatusBar1->setPanelText(2, browse::viewCountText(views.size()));
}
