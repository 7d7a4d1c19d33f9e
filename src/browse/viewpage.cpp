// Pages of up to 100 documents of a view, and the four paging buttons.
#include "app/listview.h"
#include "app/mainwindow.h"
#include "app/statusbar.h"
#include "app/waitmsg.h"
#include "browse/commandscope.h"
#include "platform/prompts.h"
#include <algorithm>

namespace {

constexpr int kPageSize = 100;

QString readingText() { return QStringLiteral("正在读入前100条文档数据..."); }

} // namespace

void TfrmMain::LoadViewPage(domino::TNotesDatabase& db, const QString& viewName)
{
    const int listWidth = ListView1->Width();
    QString failure;
    bool failed = false;
    {
        browse::ListBatch batch(*ListView1);
        browse::WaitCloser closer;
        try {
            DocCount = 0;
            ListView1->clearColumns();
            ListView1->clearItems();
            ListView1->setRowSelect(true);
            ListView1->setViewStyle(vsReport);

            domino::TNotesView view;
            browse::attachOrThrow(view, db.ViewByName(viewName),
                                  QStringLiteral("数据库中没有视图") + viewName);
            const int columns = std::max(0, view.ColumnCount());
            const QStringList titles = view.ColumnNames();
            const int width = listWidth / (columns + 1);
            ListView1->addColumn(QStringLiteral("文档ID"), width);
            for (int c = 0; c < columns; ++c)
                ListView1->addColumn(titles.value(c), width);

            ShowWait();
            SetWaitProgress(100, 1);
            SetWaitText(readingText());

            domino::TNotesDocument doc;
            try {
                doc.ConnectTo(view.NthDocument(DocPos + 1));
            } catch (const std::exception&) {
                return;  // no page: the new columns stay, without rows or message
            }
            DocCount = view.DocumentCount();
            StatusBar1->setPanelText(1, QStringLiteral("视图：") + view.Name() + u'(' + view.Name() +
                                            QStringLiteral(") 共有文档:") + QString::number(DocCount));

            int i = 1;
            if (view.DocumentCount() > 0) {
                while (i <= kPageSize && view.DocumentCount() > DocPos) {
                    ++i;
                    ++DocPos;
                    const int row = ListView1->addItem(doc.DocumentId(), -1);
                    try {
                        const domino::NotesValueList values = doc.ColumnValues();
                        QStringList texts;
                        texts.reserve(columns);
                        for (int c = 0; c < columns; ++c)
                            texts << (c < values.size() ? values[c].toText() : QString());
                        for (const QString& t : texts)
                            ListView1->addSubItem(row, t);
                    } catch (const std::exception&) {
                        // The row keeps its document ID; the page goes on.
                    }
                    doc.ConnectTo(view.NextDocument(doc.DefaultInterface()));
                    const int count = view.DocumentCount();
                    SetWaitText(readingText() + QString::number(i) + u'/' + QString::number(count));
                    SetWaitProgress(count, i);
                }
            }
        } catch (const std::exception& e) {
            failed = true;
            failure = browse::errorText(e);
        }
    }
    // After the progress window has closed, so that nothing covers the message.
    if (failed)
        platform::prompts().message(QStringLiteral("读取数据出错:") + failure);
}

namespace {

// The first position of the page on screen: pages start at multiples of the
// page size, and DocPos points past the last document shown.
int shownPageStart(int docPos) { return docPos > 0 ? (docPos - 1) / kPageSize * kPageSize : 0; }

} // namespace

void TfrmMain::ToolButton7Click()
{
    if (DocCount == 0 || ListView1->ViewStyle() == vsIcon)
        return;
    DocPos = 0;
    LoadViewPage(*CurrentDb, ViewName);
}

void TfrmMain::ToolButton8Click()
{
    if (DocCount == 0 || ListView1->ViewStyle() == vsIcon)
        return;
    DocPos = std::clamp(shownPageStart(DocPos) - kPageSize, 0, std::max(0, DocCount - 1));
    LoadViewPage(*CurrentDb, ViewName);
}

void TfrmMain::ToolButton9Click()
{
    if (DocCount == 0 || ListView1->ViewStyle() == vsIcon || DocCount <= DocPos)
        return;
    LoadViewPage(*CurrentDb, ViewName);
}

void TfrmMain::ToolButton10Click()
{
    if (DocCount == 0 || ListView1->ViewStyle() == vsIcon || DocCount <= DocPos)
        return;
    DocPos = (DocCount - 1) / kPageSize * kPageSize;
    LoadViewPage(*CurrentDb, ViewName);
}
