// Clicks in the tree: list a database's views, or open a view's first page.
#include "app/listview.h"
#include "app/mainwindow.h"
#include "app/statusbar.h"
#include "app/treeview.h"
#include "browse/commandscope.h"
#include "browse/core/texts.h"
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
            {
                browse::ListBatch batch(*ListView1);
                ListView1->setViewStyle(vsIcon);
                ListView1->clearItems();
                for (const QString& name : views) {
                    const QString label = browse::viewLabel(name);
                    QTreeWidgetItem* viewNode =
                        TreeView1->addNode(node, label, browse::ImageView, browse::ImageView);
                    TTreeView::setNodeName(viewNode, name);
                    const int item = ListView1->addItem(label, browse::ImageView);
                    ListView1->setItemName(item, name);
                }
            }
            ListView1->scrollToFirst();
            listedDatabase_ = TreeView1->persistentIndex(node);
            node->setToolTip(0, browse::databaseTip(db, DataPath.isEmpty() ? path : DataPath + u'/' + path));
            node->setExpanded(true);
            // The list no longer shows a page of any view.
            StatusBar1->setPanelText(1, QString());
            StatusBar1->setPanelText(2, browse::viewCountText(views.size()));
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
        ViewName = TTreeView::nodeName(node);
        LoadViewPage(db, ViewName);
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
    ViewName = TTreeView::nodeName(node);
    LoadViewPage(db, ViewName);
}

void TfrmMain::openListedView(int item)
{
    QTreeWidgetItem* const database = TreeView1->nodeAt(listedDatabase_);
    if (!database || item < 0 || item >= database->childCount())
        return;
    QTreeWidgetItem* const view = database->child(item);
    // The list and the tree were filled together; a list that no longer
    // matches the node opens nothing rather than another view.
    if (TTreeView::nodeName(view) != ListView1->itemName(item))
        return;
    TreeView1->setSelected(view);
    TreeView1Click();
}

void TfrmMain::forgetShownView()
{
    // The paging buttons and the export would otherwise go on with the view
    // of the database (or session) that is no longer shown.
    DocCount = 0;
    listedDatabase_ = QPersistentModelIndex();
    ListView1->clearItems();
    ListView1->clearColumns();
    ListView1->setViewStyle(vsIcon);
    StatusBar1->setPanelText(1, QString());
    StatusBar1->setPanelText(2, QString());
}
