// Clicks in the tree: list a database's views, or open a view's first page.
#include "app/listview.h"
#include "app/mainwindow.h"
#include "app/treeview.h"
#include "browse/commandscope.h"
#include "browse/treenodes.h"
#include "platform/error.h"
#include "platform/prompts.h"

using browse::attachOrThrow;
using browse::databaseMissingText;

void TfrmMain::TreeView1Click()
{
    if (TreeView1->topLevelItemCount() == 0)
        return;
    QTreeWidgetItem* const node = TreeView1->Selected();
    if (!node)
        return;
    DocCount = 0;
    if (node->childCount() > 0)
        return;

    if (TreeView1->Tag == 1 && node->parent()) {
        if (browse::isDatabaseNodeText(node->text(0))) {
            // Listing the views of a database of the server tree.
            const QString path = GetNodePath(node);
            domino::TNotesDatabase db;
            try {
                attachOrThrow(db, Session->OpenDatabase(ServerName, path, false), databaseMissingText(path));
            } catch (const std::exception& e) {
                platform::prompts().message(QStringLiteral("访问数据库出错：") + browse::errorText(e));
                return;
            }
            DbFile = path;
            const QStringList views = db.Views();
            browse::ListBatch batch(*ListView1);
            ListView1->setViewStyle(vsIcon);
            ListView1->clearItems();
            for (const QString& name : views) {
                TreeView1->addNode(node, name, browse::ImageView, browse::ImageView);
                ListView1->addItem(name, browse::ImageView);
            }
            node->setExpanded(true);
            return;
        }
        QTreeWidgetItem* const database = node->parent();
        if (!browse::isDatabaseNodeText(database->text(0)))
            return;  // an empty folder, or a file that is no database
        // Opening a view of the server tree. The database node has children
        // (this view among them), so its path ends in "/".
        QString path = GetNodePath(database);
        if (path.endsWith(u'/'))
            path.chop(1);
        domino::TNotesDatabase db;
        attachOrThrow(db, Session->OpenDatabase(ServerName, path, false), databaseMissingText(path));
        DbFile = path;
        DocPos = 0;
        CurrentDb->ConnectTo(db.DefaultInterface());
        ViewName = node->text(0);
        LoadViewPage(db, node->text(0));
        return;
    }

    if (!node->parent())
        return;
    // Opening a view of the file tree: the root's text is the file's full path.
    const QString file = node->parent()->text(0);
    domino::TNotesDatabase db;
    attachOrThrow(db, Session->OpenDatabase(QString(), file, false), databaseMissingText(file));
    DocPos = 0;
    CurrentDb->ConnectTo(db.DefaultInterface());
    ViewName = node->text(0);
    LoadViewPage(db, node->text(0));
}
