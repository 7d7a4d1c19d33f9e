#pragma once
// The export of a view to a workbook: one row per document (its ID first, then
// one column per item of the start document), the documents' attachments and
// rich-text objects in a folder beside the workbook, every step in the day's
// log. One class serves the main window, quillet-cli and the tests; what
// differs between them goes through ExportHost, messages through
// platform::prompts(), and the workbook object comes from an ExcelFactory.
#include "xls/excelapplication.h"
#include <QString>

namespace domino {
class TNotesSession;
class TNotesDatabase;
} // namespace domino

namespace exporting {

class ExportHost {
public:
    virtual ~ExportHost() = default;
    // The progress window.
    virtual void ShowWait() = 0;
    virtual void SetWaitText(const QString& text) = 0;
    virtual void SetWaitProgress(int max, int position) = 0;
    virtual void CloseWait() = 0;
    // Lets pending events through (the window repaints and stays responsive).
    virtual void ProcessEvents() = 0;
    // true when a run begins (after the checks), false when it ends, whichever way.
    virtual void RunningChanged(bool running) {}
};

struct ExportRequest {
    domino::TNotesSession* session = nullptr;    // for the attachment names
    domino::TNotesDatabase* database = nullptr;  // the database of the view on show
    QString viewName;       // a view's name may be empty
    bool viewShown = true;  // false: no view on show, nothing to export
    int docCount = 0;       // documents of the view on show
    QString exportStart;    // the start number as typed
    QString appDir;         // the log path handed to WriteLog starts with it
    QString fileName;       // as chosen in the save dialog
    xls::WorkbookFormat format = xls::WorkbookFormat::Xls;  // the save dialog's filter
};

enum class ExportOutcome {
    Stopped,    // refused by a check, or no workbook object: nothing exported
    Failed,     // a handled failure, shown with its message; the workbook is saved
    Completed,  // the closing message was shown
};

// The texts the user sees.
inline constexpr const char* kExistsText = "文件已存在!";
inline constexpr const char* kNothingToExportText = "当前没有可导出的内容";
inline constexpr const char* kStartBelowOneText = "起始文档序号必须从1开始";
inline constexpr const char* kNoExcelText = "请确认您电脑上是否安装了EXCEL！";
inline constexpr const char* kViewErrorPrefix = "连接视图出错:";
inline constexpr const char* kDocumentErrorPrefix = "连接文档出错:";
inline constexpr const char* kFailedCellText = "*********************************************";
inline constexpr const char* kDoneText =
    "您好，数据导出完成，导出的附件文档存放在Excel文件的同一目录下，文件夹名为：";
// Follows the closing message when files could not be saved: their number, the log's path.
inline constexpr const char* kFilesNotSavedText = "\n有%1个附件或对象未能保存，原因见日志：%2";
// Ends a cell cut at the format's limit.
inline constexpr const char* kCutMarker = "…[已截断]";

// The chosen name less a final ".xls" (any case) + "_开始为第" + start + "个文档.xls";
// for .xlsx the same with ".xlsx".
QString workbookPath(const QString& fileName, const QString& exportStart,
                     xls::WorkbookFormat format = xls::WorkbookFormat::Xls);
// The folder part of the workbook path, ending in "/" ("./" when it has none).
QString workbookFolder(const QString& workbookPath);
// workbook folder + CleanFileName(view name) + "附件".
QString attachmentFolder(const QString& workbookFolder, const QString& viewName);

// True while an export runs anywhere in the program.
bool exportRunning();

class ViewExport {
public:
    explicit ViewExport(ExportHost& host, xls::ExcelFactory factory = {});

    // Runs the export. Returns how it ended after a check, a handled failure
    // or the closing message. A failure that no handler covers is thrown (as
    // platform::Error) for the central error report, after what was written
    // has been saved, the workbook object has quit and the progress window has
    // closed; once the rows have begun, its text goes on with where the export
    // stopped and the start number that continues it. A second run while one
    // is going is refused (Stopped). The workbook's name is taken (an empty
    // file made exclusively) at the exists check and given up again unless a
    // workbook was saved there.
    ExportOutcome run(const ExportRequest& request);

private:
    ExportHost& host_;
    xls::ExcelFactory factory_;
};

} // namespace exporting
