// Opening one database file straight from the file system.
#include "app/listview.h"
#include "app/mainwindow.h"
#include "app/selserver.h"
#include "app/treeview.h"
#include "browse/commandscope.h"
#include "browse/standalonefile.h"
#include "browse/treenodes.h"
#include "platform/prompts.h"

namespace browse {
// Both kinds of database file the engine reads; the first entry is the one
// the dialog starts with.
inline constexpr const char* kOpenFileFilter = "NSF文件|*.nsf|DXL文件|*.dxl";
} // namespace browse

void TfrmMain::openfileExecute()
{
    const std::optional<QString> chosen =
        platform::prompts().openFile(QString::fromUtf8(browse::kOpenFileFilter));
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
    QTreeWidgetItem* root =
        TreeView1->addNode(nullptr, file, browse::ImageDatabase, browse::ImageDatabase);
    for (const QString& name : db.Views())
        TreeView1->addNode(root, app::TrimControls(name), browse::ImageView, browse::ImageView);
    ListView1->clearItems();
}
