#include "export/viewexport.h"
#include "domino/notes.h"
#include "export/documentfiles.h"
#include "export/documentstages.h"
#include "export/exportlog.h"
#include "export/safefiles.h"
#include "export/textrules.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/prompts.h"
#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <exception>

namespace exporting {

namespace {

int runningCount = 0;

constexpr int kIdColumnWidth = 40;
constexpr int kMaxColumnWidth = 255;
// Pending events are let through after each cell at most this often.
constexpr qint64 kEventIntervalMs = 10;

QString errorText(const std::exception& e)
{
    if (const auto* pe = dynamic_cast<const platform::Error*>(&e))
        return pe->text();
    return QString::fromUtf8(e.what());
}

// Blanks and control characters at both ends, as the file-name check strips them.
bool blankName(const QString& name)
{
    return std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() <= 0x20; });
}

QString fileNamePart(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

void message(const QString& text) { platform::prompts().message(text); }

class RunningScope {
public:
    explicit RunningScope(ExportHost& host) : host_(host)
    {
        ++runningCount;
        host_.RunningChanged(true);
    }
    ~RunningScope()
    {
        --runningCount;
        try {
            host_.RunningChanged(false);
        } catch (...) {
        }
    }

private:
    ExportHost& host_;
};

// One run, from the first log line to the last message.
class ExportRun {
public:
    ExportRun(ExportHost& host, const ExportRequest& request, QString book, qint32 start,
              WorkbookReservation& reservation)
        : host_(host), r_(request), book_(std::move(book)), start_(start), reservation_(reservation),
          log_(request.appDir), attachments_(attachmentFolder(workbookFolder(book_), request.viewName)),
          folders_(attachments_), resume_(start)
    {
    }

    ExportOutcome exec(const xls::ExcelFactory& factory);

private:
    ExportOutcome walk();
    ExportOutcome handled(const QString& text);
    void saveAndQuit();
    void closeWait();
    void activate(int sheet);
    void writeHeader(int band);
    void writeItem(int i, int row, int band, int number, int j, DocumentFiles& files);
    void cellEvents();
    QString stopText() const;
    QString stopped(const QString& text);

    ExportHost& host_;
    const ExportRequest& r_;
    const QString book_;
    const qint32 start_;
    WorkbookReservation& reservation_;
    ExportLog log_;
    const QString attachments_;  // the attachment folder, no trailing "/"
    DocumentFolders folders_;
    std::unique_ptr<xls::ExcelApplication> excel_;
    bool waitOpen_ = false;
    int activeSheet_ = 1;
    // Documents one sheet takes below its header row, item columns beside
    // the ID column and characters a cell, as the writer states them.
    int docsPerSheet_ = 0;
    int itemsPerSheet_ = 0;
    int cellChars_ = 0;
    QStringList items_;
    int groups_ = 1;
    domino::TNotesView view_;
    domino::TNotesDocument document_;
    QElapsedTimer sinceEvents_;
    bool walking_ = false;   // the documents' rows have begun
    qint64 resume_;          // the first document whose row is not complete
    QString lastId_;         // the ID of the document before it
    int failedFiles_ = 0;    // attachments and objects that could not be saved
};

ExportOutcome ExportRun::exec(const xls::ExcelFactory& factory)
{
    log_.write(QStringLiteral("开始导出视图") + r_.viewName + QStringLiteral("到文件") + book_ + u';');

    try {
        excel_ = factory ? factory() : xls::excelFactory(r_.format)();
        if (!excel_)
            throw platform::Error(QStringLiteral("Excel.Application"));
        excel_->AddWorkbook();
        const xls::SheetLimits limits = excel_->Limits();
        docsPerSheet_ = limits.rows - 1;
        itemsPerSheet_ = limits.columns - 1;
        cellChars_ = limits.cellChars;
    } catch (const std::exception&) {
        if (excel_) {
            try {
                excel_->Quit();
            } catch (...) {
            }
            excel_.reset();
        }
        message(QString::fromUtf8(kNoExcelText));
        return ExportOutcome::Stopped;
    }

    try {
        return walk();
    } catch (const std::exception& e) {
        // No handler covers this failure: keep what was written, then report
        // it with where the export stopped.
        try {
            saveAndQuit();
        } catch (...) {
        }
        if (!walking_)
            throw;
        throw platform::Error(stopped(errorText(e)));
    } catch (...) {
        try {
            saveAndQuit();
        } catch (...) {
        }
        throw;
    }
}

// Where an export that ends early stopped, and the start number that goes on
// from there (the start-number prompt exists for exactly that).
QString ExportRun::stopText() const
{
    const QString next = QString::number(resume_);
    if (resume_ == start_)
        return QStringLiteral("导出在第%1个文档处中断，没有完整写入任何文档；从第%1个文档开始导出可以继续。").arg(next);
    return QStringLiteral("导出在第%1个文档处中断，最后完整写入的是第%2个文档（%3）；从第%1个文档开始导出可以继续。")
        .arg(next, QString::number(resume_ - 1), lastId_);
}

// The failure's text and where the export stopped, also in the log where it can be written.
QString ExportRun::stopped(const QString& text)
{
    const QString where = stopText();
    try {
        log_.write(where);
    } catch (const std::exception&) {
    }
    return text + u'\n' + where;
}

void ExportRun::saveAndQuit()
{
    std::exception_ptr failure;
    if (auto excel = std::move(excel_)) {
        try {
            // The writer replaces the file we reserved, never a link put there since.
            reservation_.checkStillOurs();
            excel->SaveAs(book_);
            reservation_.keep();
        } catch (...) {
            failure = std::current_exception();
        }
        try {
            excel->Quit();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    closeWait();
    if (failure)
        std::rethrow_exception(failure);
}

void ExportRun::closeWait()
{
    if (waitOpen_) {
        waitOpen_ = false;
        host_.CloseWait();
    }
}

ExportOutcome ExportRun::handled(const QString& text)
{
    message(text);
    saveAndQuit();
    return ExportOutcome::Failed;
}

void ExportRun::activate(int sheet)
{
    if (sheet != activeSheet_) {
        excel_->ActivateSheet(sheet);
        activeSheet_ = sheet;
    }
}

// Row 1 of each sheet of a band of documents: more than 255 items continue on
// further sheets that repeat the ID column.
void ExportRun::writeHeader(int band)
{
    if (items_.isEmpty())
        return;
    for (int g = 0; g < groups_; ++g) {
        activate(band * groups_ + g + 1);
        excel_->SetColumnWidth(1, kIdColumnWidth);
        const int end = std::min<int>(items_.size(), (g + 1) * itemsPerSheet_);
        for (int j = g * itemsPerSheet_; j < end; ++j) {
            const QString& name = items_.at(j);
            const int column = j % itemsPerSheet_ + 2;
            if (IsInteger(name))
                excel_->SetNumberFormatLocal(1, column, QStringLiteral("@"));
            excel_->SetValue(1, column, name);
            const int width = int(platform::toCp936(name).size()) + 10;
            excel_->SetColumnWidth(column, std::min(width, kMaxColumnWidth));
        }
        excel_->SetValue(1, 1, QStringLiteral("文档ID"));
    }
}

void ExportRun::cellEvents()
{
    if (sinceEvents_.elapsed() >= kEventIntervalMs) {
        host_.ProcessEvents();
        sinceEvents_.start();
    }
}

void ExportRun::writeItem(int i, int row, int band, int number, int j, DocumentFiles& files)
{
    const QString& name = items_.at(j);
    ItemStart start = richTextStage(log_, document_, name, number, files);
    failedFiles_ += start.failedFiles;
    QString& cell = start.text;

    // Only the first value counts; the step ends at its first failure. A
    // rich-text item's value is its plain text, which has started the cell
    // already: it is logged, not added a second time.
    try {
        const domino::NotesValueList values = document_.ItemValue(name);
        if (!values.isEmpty()) {  // an empty list ends the step (no line, nothing added)
            const QString value = values.first().toText();
            log_.write(QStringLiteral("  s=s+") + value + u';');
            if (!start.richText)
                cell += value;
        }
    } catch (const std::exception&) {
    }

    if (groups_ > 1)
        activate(band * groups_ + j / itemsPerSheet_ + 1);
    const int column = j % itemsPerSheet_ + 2;
    try {
        if (cell.size() > cellChars_) {
            // Cut at the format's limit, never inside a surrogate pair, and say so.
            const QString marker = QString::fromUtf8(kCutMarker);
            qsizetype keep = cellChars_ - marker.size();
            if (cell.at(keep - 1).isHighSurrogate())
                --keep;
            excel_->SetValue(row, column, cell.left(keep) + marker);
            log_.write(u'第' + QString::number(number) + QStringLiteral("个文档域") + name +
                       QStringLiteral("的内容超过32767个字符，已截断;"));
        } else {
            excel_->SetValue(row, column, cell);
        }
        log_.write(QStringLiteral(" s值写入excel表 ;"));
    } catch (const std::exception&) {
        excel_->SetValue(row, column, QString::fromLatin1(kFailedCellText));
    }
    Q_UNUSED(i);
}

ExportOutcome ExportRun::walk()
{
    host_.ShowWait();
    waitOpen_ = true;
    const QString progress = QStringLiteral("正在导出数据到") + fileNamePart(book_) + QStringLiteral("...");
    host_.SetWaitText(progress);
    host_.SetWaitProgress(r_.docCount, 0);

    try {
        view_.ConnectTo(r_.database->ViewByName(r_.viewName));
    } catch (const std::exception& e) {
        return handled(QString::fromUtf8(kViewErrorPrefix) + errorText(e));
    }
    try {
        document_.ConnectTo(view_.NthDocument(start_));
        items_ = document_.Items();
    } catch (const std::exception& e) {
        return handled(QString::fromUtf8(kDocumentErrorPrefix) + errorText(e));
    }

    groups_ = std::max<int>(1, (items_.size() + itemsPerSheet_ - 1) / itemsPerSheet_);
    writeHeader(0);
    sinceEvents_.start();
    walking_ = true;

    const qint64 last = qint64(r_.docCount) - start_;
    const QString ofCount = u'/' + QString::number(r_.docCount);
    for (qint64 i = 0; i <= last; ++i) {
        const int number = int(start_ + i);
        const int band = int(i / docsPerSheet_);
        const int row = int(i % docsPerSheet_) + 2;
        if (band > 0 && row == 2)
            writeHeader(band);  // a further sheet starts with the header row again

        const int logFailures = log_.failures();
        log_.write(QStringLiteral("完成向excel写入第") + QString::number(number) + QStringLiteral("个文档;"));
        const QString id = document_.DocumentId();
        for (int g = 0; g < groups_; ++g) {
            activate(band * groups_ + g + 1);
            excel_->SetValue(row, 1, id);
        }
        DocumentFiles files(folders_.take(id, document_.UniversalID(), number));
        if (files.sharedWith() > 0)
            log_.write(u'第' + QString::number(number) + QStringLiteral("个文档与第") + QString::number(files.sharedWith()) +
                       QStringLiteral("个文档的文档ID同为") + id + QStringLiteral("，其文件另存到:") + files.folder() + u';');
        failedFiles_ += attachmentStage(log_, *r_.session, document_, number, files);

        host_.SetWaitText(progress + QString::number(i + 1) + ofCount);
        host_.SetWaitProgress(r_.docCount, int(i + 1));
        host_.ProcessEvents();
        sinceEvents_.start();

        pictureLines(log_, files);

        try {
            for (int j = 0; j < items_.size(); ++j) {
                writeItem(int(i), row, band, number, j, files);
                cellEvents();
            }
            // Complete when every earlier row is and none of its lines was lost.
            if (resume_ == number && log_.failures() == logFailures) {
                resume_ = number + 1;
                lastId_ = id;
            }
            try {
                document_.ConnectTo(view_.NextDocument(document_.DefaultInterface()));
            } catch (const std::exception&) {
                // The handle keeps its document: the next row repeats it.
                log_.write(QStringLiteral("链接第") + QString::number(number) + QStringLiteral("个文档出错;"));
            }
        } catch (const std::exception& e) {
            return handled(stopped(QString::fromUtf8(kDocumentErrorPrefix) + errorText(e)));
        }
    }

    walking_ = false;  // every row is written: a failed save is only that
    saveAndQuit();
    QString done = QString::fromUtf8(kDoneText) + attachments_;
    if (failedFiles_ > 0)
        done += QString::fromUtf8(kFilesNotSavedText).arg(failedFiles_).arg(log_.filePath());
    message(done);
    return ExportOutcome::Completed;
}

} // namespace

QString workbookPath(const QString& fileName, const QString& exportStart, xls::WorkbookFormat format)
{
    const QString extension = xls::workbookExtension(format);
    QString base = fileName;
    if (base.endsWith(extension, Qt::CaseInsensitive))
        base.chop(extension.size());
    return base + QStringLiteral("_开始为第") + exportStart + QStringLiteral("个文档") + extension;
}

QString workbookFolder(const QString& workbookPath)
{
    const qsizetype slash = workbookPath.lastIndexOf(u'/');
    return slash < 0 ? QStringLiteral("./") : workbookPath.left(slash + 1);
}

QString attachmentFolder(const QString& workbookFolder, const QString& viewName)
{
    return workbookFolder + CleanFileName(viewName) + QStringLiteral("附件");
}

bool exportRunning() { return runningCount > 0; }

ViewExport::ViewExport(ExportHost& host, xls::ExcelFactory factory) : host_(host), factory_(std::move(factory)) {}

ExportOutcome ViewExport::run(const ExportRequest& request)
{
    // The checks, in order; none of them writes a log line.
    if (blankName(request.fileName))
        return ExportOutcome::Stopped;
    const QString book = workbookPath(request.fileName, request.exportStart, request.format);
    // The check takes the name: a second export of it, here or in another
    // process, is refused until this one has ended. Refused later, the
    // reservation goes again.
    WorkbookReservation reservation;
    switch (reservation.reserve(book)) {
    case WorkbookReservation::Result::Reserved:
        break;
    case WorkbookReservation::Result::Exists:
        message(book + QString::fromUtf8(kExistsText));
        return ExportOutcome::Stopped;
    case WorkbookReservation::Result::Link:
        message(book + linkRefusalText());
        return ExportOutcome::Stopped;
    }
    // After the name check, so that an export of a name another one is
    // writing hears why.
    if (exportRunning())
        return ExportOutcome::Stopped;
    const qint32 start = StrToInt(request.exportStart);
    if (qint64(request.docCount) - start < 0) {
        message(QString::fromUtf8(kNothingToExportText));
        return ExportOutcome::Stopped;
    }
    // Position 0 or below names no document; the walk would only fail later.
    if (start < 1) {
        message(QString::fromUtf8(request.docCount < 1 ? kNothingToExportText : kStartBelowOneText));
        return ExportOutcome::Stopped;
    }
    // Asked of the request, not of the name: a view's name may be empty.
    if (!request.viewShown)
        return ExportOutcome::Stopped;
    if (!request.session || !request.database)
        throw platform::Error(QStringLiteral("导出需要Domino会话和数据库"));

    RunningScope running(host_);
    ExportRun run(host_, request, book, start, reservation);
    return run.exec(factory_);
}

} // namespace exporting
