// Pages of up to 100 documents of a view, and the four paging buttons. The
// reading and the paging arithmetic are browse::PageReader's and
// browse::pageStart's; this file paints.
#include "app/listview.h"
#include "app/mainwindow.h"
#include "app/statusbar.h"
#include "app/waitmsg.h"
#include "browse/commandscope.h"
#include "browse/core/pager.h"
#include "browse/core/pagereader.h"
#include "browse/core/texts.h"
#include "platform/prompts.h"

namespace {

QString readingText() { return QStringLiteral("正在读入前100条文档数据..."); }

} // namespace

void TfrmMain::LoadViewPage(domino::TNotesDatabase& db, const QString& viewName)
{
    const int listWidth = ListView1->Width();
    QString failure;
    bool failed = false;
    bool started = false;
    ShownFrom = DocPos;
    StatusBar1->setPanelText(2, QString());
    {
        browse::ListBatch batch(*ListView1);
        browse::WaitCloser closer;
        try {
            DocCount = 0;
            ListView1->clearColumns();
            ListView1->clearItems();
            ListView1->setRowSelect(true);
            ListView1->setViewStyle(vsReport);

            browse::PageReader reader(db, viewName);
            const int columns = reader.columnCount();
            const int width = listWidth / (columns + 1);
            ListView1->addColumn(QStringLiteral("文档ID"), width);
            for (const QString& title : reader.titles())
                ListView1->addColumn(title, width);

            ShowWait();
            SetWaitProgress(100, 1);
            SetWaitText(readingText());

            try {
                reader.seek(DocPos);
                started = true;
            } catch (const std::exception&) {
                // No page: the new columns stay, without rows or message.
            }
            if (started) {
                DocCount = reader.documentCount();
                const QString name = browse::viewLabel(reader.name());
                StatusBar1->setPanelText(1, QStringLiteral("视图：") + name + u'(' + name +
                                                QStringLiteral(") 共有文档:") + QString::number(DocCount));
            }

            int i = 1;
            if (started && reader.documentCount() > 0) {
                while (i <= browse::kPageSize && reader.hasMore()) {
                    ++i;
                    const browse::PageRow row = reader.readRow();
                    DocPos = reader.position();
                    const int item = ListView1->addItem(row.documentId, -1);
                    // A row whose values cannot be read keeps its document ID.
                    for (const QString& t : row.values)
                        ListView1->addSubItem(item, t);
                    reader.advance();
                    const int count = reader.documentCount();
                    SetWaitText(readingText() + QString::number(i) + u'/' + QString::number(count));
                    SetWaitProgress(count, i);
                }
            }
        } catch (const std::exception& e) {
            failed = true;
            failure = browse::errorText(e);
        }
    }
    // A new page starts at its first row, whatever was scrolled or selected before.
    ListView1->scrollToFirst();
    if (started)
        StatusBar1->setPanelText(2, browse::shownRowsText(ShownFrom, DocPos));
    else if (failed)
        StatusBar1->setPanelText(1, QString());  // no view is on show
    // After the progress window has closed, so that nothing covers the message.
    if (failed)
        platform::prompts().message(QStringLiteral("读取数据出错:") + failure);
}

void TfrmMain::pageTo(browse::PageMove move)
{
    if (ListView1->ViewStyle() == vsIcon)
        return;
    const std::optional<int> start = browse::pageStart(move, ShownFrom, DocPos, DocCount);
    if (!start)
        return;
    DocPos = *start;
    LoadViewPage(*CurrentDb, ViewName);
}

void TfrmMain::ToolButton7Click() { pageTo(browse::PageMove::First); }
void TfrmMain::ToolButton8Click() { pageTo(browse::PageMove::Previous); }
void TfrmMain::ToolButton9Click() { pageTo(browse::PageMove::Next); }
void TfrmMain::ToolButton10Click() { pageTo(browse::PageMove::Last); }
