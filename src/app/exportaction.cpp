// The export command of the main window: the file and start-number prompts,
// then the view export with the progress window as its host. While it runs,
// the commands that would change the view, its document count, the database
// or the start number are disabled, and the window does not close: the export
// reads them and the window's handles to the end.
#include "app/mainwindow.h"
#include "app/treeview.h"
#include "app/waitmsg.h"
#include "export/viewexport.h"
#include "platform/prompts.h"
#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QToolButton>
#include <vector>

namespace {

class WindowExportHost : public QObject, public exporting::ExportHost {
public:
    explicit WindowExportHost(TfrmMain* window) : window_(window) {}
    ~WindowExportHost() override { restore(); }

    void ShowWait() override { ::ShowWait(); }
    void SetWaitText(const QString& text) override { ::SetWaitText(text); }
    void SetWaitProgress(int max, int position) override { ::SetWaitProgress(max, position); }
    // The progress window closes when the run is over but for its closing
    // message: the commands come back first, so the message does not sit
    // over a window that still looks busy.
    void CloseWait() override
    {
        ::CloseWait();
        restore();
    }
    void ProcessEvents() override { QCoreApplication::processEvents(); }

    void RunningChanged(bool running) override
    {
        if (running)
            block();
        else
            restore();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void block()
    {
        if (blocked_ || !window_)
            return;
        blocked_ = true;
        const QList<QObject*> objects = {window_->openserver,  window_->openfile,    window_->export_,
                                         window_->ToolButton7, window_->ToolButton8, window_->ToolButton9,
                                         window_->ToolButton10, window_->TreeView1};
        for (QObject* o : objects) {
            if (auto* a = qobject_cast<QAction*>(o)) {
                saved_.push_back({a, a->isEnabled()});
                a->setEnabled(false);
            } else if (auto* w = qobject_cast<QWidget*>(o)) {
                saved_.push_back({w, w->isEnabled()});
                w->setEnabled(false);
            }
        }
        window_->installEventFilter(this);
    }

    void restore()
    {
        if (!blocked_)
            return;
        blocked_ = false;
        for (const auto& [object, enabled] : saved_) {
            if (auto* a = qobject_cast<QAction*>(object.data()))
                a->setEnabled(enabled);
            else if (auto* w = qobject_cast<QWidget*>(object.data()))
                w->setEnabled(enabled);
        }
        saved_.clear();
        if (window_)
            window_->removeEventFilter(this);
    }

    QPointer<TfrmMain> window_;
    bool blocked_ = false;
    std::vector<std::pair<QPointer<QObject>, bool>> saved_;
};

} // namespace

void TfrmMain::exportExecute()
{
    // The first filter writes an Excel 97-2003 workbook, the second an .xlsx one.
    const auto choice = platform::prompts().saveFileChoice(QString::fromUtf8(SaveDialog1Filter));
    if (!choice)
        return;
    ExportStart = QStringLiteral("1");
    // Cancel keeps "1": the export then starts with the first document.
    if (const std::optional<QString> typed = platform::prompts().input(
            QStringLiteral("请输入从第几个文档开始导出!"), QStringLiteral("从第几个文档开始导："), ExportStart))
        ExportStart = *typed;
    ExportToExcel(choice->path, choice->filter == 1 ? xls::WorkbookFormat::Xlsx : xls::WorkbookFormat::Xls);
}

void TfrmMain::ExportToExcel(const QString& fileName, xls::WorkbookFormat format)
{
    WindowExportHost host(this);
    exporting::ExportRequest request;
    request.session = Session.get();
    request.database = CurrentDb.get();
    request.viewName = ViewName;
    request.docCount = DocCount;
    request.exportStart = ExportStart;
    request.appDir = AppDir;
    request.fileName = fileName;
    request.format = format;
    // A failure no handler covers goes on to the central error report.
    exporting::ViewExport(host).run(request);
}
