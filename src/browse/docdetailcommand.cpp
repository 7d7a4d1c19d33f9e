// The document detail of the selected row of a page; in the list of a
// database's views, a double click opens the view instead.
#include "app/listview.h"
#include "app/mainwindow.h"
#include "app/treeview.h"
#include "browse/docdetail.h"

void TfrmMain::ListView1DblClick()
{
    if (ListView1->selectedCount() != 1)
        return;
    if (ListView1->ViewStyle() == vsIcon) {
        openListedView(ListView1->selectedIndex());
        return;
    }
    // The server tree opens databases on the server, the file tree locally.
    const QString server = TreeView1->Tag == 1 ? ServerName : QString();
    ShowDocDetail(*Session, server, DbFile, ListView1->selectedCaption(), this);
}

void TfrmMain::ToolButton11Click()
{
    // The detail command is for documents only.
    if (ListView1->ViewStyle() == vsReport)
        ListView1DblClick();
}
