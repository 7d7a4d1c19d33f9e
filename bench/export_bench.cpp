// The whole view export of 10,000 documents of 20 items with one attachment
// each, against a baseline that does only what no export can avoid: the same
// log lines, each one write to the day's file kept open for appending (the
// bytes on disk after every line are the export's), the same cells written to
// the workbook writer, the same attachment bytes written.
#include "bench.h"
#include "domino/notes.h"
#include "engine/session.h"
#include "export/exportlog.h"
#include "export/viewexport.h"
#include "platform/prompts.h"
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kDocuments = 10000;
constexpr int kItems = 20;
constexpr int kAttachmentBytes = 4096;
const QString kView = QStringLiteral("全部文档");

class QuietHost : public exporting::ExportHost {
public:
    void ShowWait() override {}
    void SetWaitText(const QString&) override {}
    void SetWaitProgress(int, int) override {}
    void CloseWait() override {}
    void ProcessEvents() override { QCoreApplication::processEvents(); }
};

class QuietPrompts : public platform::Prompts {
public:
    void message(const QString&, platform::MessageIcon) override {}
    bool confirm(const QString&, const QString&) override { return false; }
    std::optional<QString> input(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> openFile(const QString&) override { return {}; }
    std::optional<QString> saveFile(const QString&) override { return {}; }
};

// Passes every call on to the writer and keeps what was asked, for the baseline.
struct Cell {
    enum Kind { Width, Format, Value, Sheet } kind;
    int row, column;
    QString text;
};
class Recorder : public xls::ExcelApplication {
public:
    Recorder(std::unique_ptr<xls::ExcelApplication> inner, std::vector<Cell>& cells)
        : inner_(std::move(inner)), cells_(cells) {}
    void AddWorkbook() override { inner_->AddWorkbook(); }
    int SheetCount() override { return inner_->SheetCount(); }
    void ActivateSheet(int index) override
    {
        cells_.push_back({Cell::Sheet, index, 0, {}});
        inner_->ActivateSheet(index);
    }
    void SetColumnWidth(int column, int width) override
    {
        cells_.push_back({Cell::Width, column, width, {}});
        inner_->SetColumnWidth(column, width);
    }
    void SetNumberFormatLocal(int row, int column, const QString& format) override
    {
        cells_.push_back({Cell::Format, row, column, format});
        inner_->SetNumberFormatLocal(row, column, format);
    }
    void SetValue(int row, int column, const QString& text) override
    {
        cells_.push_back({Cell::Value, row, column, text});
        inner_->SetValue(row, column, text);
    }
    void SaveAs(const QString& path) override { inner_->SaveAs(path); }
    void Quit() override { inner_->Quit(); }

private:
    std::unique_ptr<xls::ExcelApplication> inner_;
    std::vector<Cell>& cells_;
};


struct Output {
    QString book;
    QString folder;
};

} // namespace

QUILLET_BENCH(export)
{
    const QString dxl = ctx.workDir() + QStringLiteral("/export.dxl");
    bench::generateDatabase(ctx, dxl, {"--docs", QString::number(kDocuments), "--items", QString::number(kItems),
                                       "--attachment-bytes", QString::number(kAttachmentBytes)});

    QuietPrompts prompts;
    platform::setPrompts(&prompts);
    const QString logs = ctx.workDir() + QStringLiteral("/log");
    QDir().mkpath(logs);
    exporting::setLogFolder(logs);

    domino::TNotesSession session;
    session.ConnectTo(engine::newSession());
    session.StartSession(QString());
    domino::TNotesDatabase db;
    db.ConnectTo(session.OpenDatabase(QString(), dxl, false));
    domino::TNotesView view;
    view.ConnectTo(db.ViewByName(kView));
    const int docCount = view.DocumentCount();
    ctx.report(QStringLiteral("documents"), docCount, QStringLiteral("docs"));

    QuietHost host;
    int run = 0;
    std::vector<Cell> cells;
    auto exportOnce = [&](bool record) {
        const QString dir = ctx.workDir() + QStringLiteral("/run%1").arg(++run);
        QDir().mkpath(dir);
        exporting::ExportRequest r;
        r.session = &session;
        r.database = &db;
        r.viewName = kView;
        r.docCount = docCount;
        r.exportStart = QStringLiteral("1");
        r.appDir = ctx.workDir() + u'/';
        r.fileName = dir + QStringLiteral("/bench.xls");
        xls::ExcelFactory factory;
        if (record)
            factory = [&cells] { return std::make_unique<Recorder>(xls::CreateExcelApplication(), cells); };
        exporting::ViewExport(host, factory).run(r);
        return Output{exporting::workbookPath(r.fileName, r.exportStart), dir + u'/' + kView + QStringLiteral("附件")};
    };

    // The warm-up run records what the baseline then does again.
    const QString logFile = logs + u'/' + exporting::logFileName(QDate::currentDate());
    const Output warm = exportOnce(true);
    QFile lf(logFile);
    lf.open(QIODevice::ReadOnly);
    const QByteArray logBytes = lf.readAll();
    lf.close();
    std::vector<std::pair<qsizetype, qsizetype>> lines;  // offset, length with CR LF
    for (qsizetype at = 0; at < logBytes.size();) {
        qsizetype end = logBytes.indexOf("\r\n", at);
        end = end < 0 ? logBytes.size() : end + 2;
        lines.emplace_back(at, end - at);
        at = end;
    }
    struct Attachment {
        QString relative;
        QByteArray bytes;
    };
    std::vector<Attachment> attachments;
    for (QDirIterator it(warm.folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        attachments.push_back({path.mid(warm.folder.size()), f.readAll()});
    }
    ctx.report(QStringLiteral("letting events through 10,000 times"), bench::bestMs(1, [] {
                   for (int i = 0; i < 10000; ++i)
                       QCoreApplication::processEvents();
               }),
               QStringLiteral("ms"));
    ctx.report(QStringLiteral("log lines per export"), double(lines.size()), QStringLiteral("lines"));
    ctx.report(QStringLiteral("workbook calls per export"), double(cells.size()), QStringLiteral("calls"));
    ctx.report(QStringLiteral("attachments per export"), double(attachments.size()), QStringLiteral("files"));
    QFile::remove(logFile);

    int baselineRun = 0;
    auto baseline = [&] {
        const QString dir = ctx.workDir() + QStringLiteral("/base%1").arg(++baselineRun);
        QDir().mkpath(dir);
        const QByteArray file = QFile::encodeName(logs + QStringLiteral("/base.txt"));
        const int fd = ::open(file.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        for (const auto& [at, size] : lines)
            (void)!::write(fd, logBytes.constData() + at, size_t(size));
        if (fd >= 0)
            ::close(fd);
        auto excel = xls::CreateExcelApplication();
        excel->AddWorkbook();
        for (const Cell& c : cells) {
            switch (c.kind) {
            case Cell::Sheet: excel->ActivateSheet(c.row); break;
            case Cell::Width: excel->SetColumnWidth(c.row, c.column); break;
            case Cell::Format: excel->SetNumberFormatLocal(c.row, c.column, c.text); break;
            case Cell::Value: excel->SetValue(c.row, c.column, c.text); break;
            }
        }
        excel->SaveAs(dir + QStringLiteral("/base.xls"));
        excel->Quit();
        for (const Attachment& a : attachments) {
            const QString path = dir + a.relative;
            QDir().mkpath(QFileInfo(path).path());
            QFile f(path);
            if (f.open(QIODevice::WriteOnly))
                f.write(a.bytes);
        }
    };
    // Taken in turns, so that other work on the machine weighs on both alike.
    double exportMs = 1e300, baselineMs = 1e300;
    for (int i = 0; i < 3; ++i) {
        rusage a, b, c;
        getrusage(RUSAGE_SELF, &a);
        exportMs = std::min(exportMs, bench::bestMs(1, [&] { exportOnce(false); }));
        getrusage(RUSAGE_SELF, &b);
        baselineMs = std::min(baselineMs, bench::bestMs(1, baseline));
        getrusage(RUSAGE_SELF, &c);
        // Where the time goes: the log lines and files are system time for both.
        auto ms = [](const timeval& x, const timeval& y) {
            return int((y.tv_sec - x.tv_sec) * 1000 + (y.tv_usec - x.tv_usec) / 1000);
        };
        ctx.note(QStringLiteral("export: user %1 ms, system %2 ms; baseline: user %3 ms, system %4 ms")
                     .arg(ms(a.ru_utime, b.ru_utime))
                     .arg(ms(a.ru_stime, b.ru_stime))
                     .arg(ms(b.ru_utime, c.ru_utime))
                     .arg(ms(b.ru_stime, c.ru_stime)));
    }
    ctx.ratio(QStringLiteral("export of 10,000 documents"), exportMs, baselineMs, QStringLiteral("ms"));

    exporting::setLogFolder({});
    platform::setPrompts(nullptr);
}
