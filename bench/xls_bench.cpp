// The workbook writers. xls_writer: ours against libxlsxwriter
// (constant-memory mode) on the same 65,535 rows of 20 cells of mixed Chinese
// text: time of each, and the peak memory of ours, measured in a child process
// of its own. workbook_export: the view export of 10,000 documents of 20
// items with a 4 KB attachment each into .xls against the same into .xlsx,
// and against a short Python script (lxml + xlwt, bench/xlwt_export.py) that
// reads the same DXL and writes the same cells and attachments, without view
// order or log.
#include "bench.h"
#include "domino/notes.h"
#include "engine/session.h"
#include "export/exportlog.h"
#include "export/viewexport.h"
#include "platform/prompts.h"
#include "xls/excelapplication.h"

#include <QCoreApplication>
#include <QProcess>

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifdef QUILLET_HAVE_XLSXWRITER
#include <xlsxwriter.h>
#endif

namespace {

constexpr int kRows = 65535;
constexpr int kColumns = 20;

// A pool of texts like a view's items: subjects, names, departments, dates,
// mostly Chinese with some Latin; columns 15-19 add the row number, so a
// third of the cells are unique as document IDs and free texts are.
struct Texts {
    std::vector<QString> pool;
    std::vector<std::string> poolUtf8;
    Texts()
    {
        const QStringList words{QStringLiteral("季度"), QStringLiteral("销售报告"), QStringLiteral("客户"), QStringLiteral("合同"),
                                QStringLiteral("审批"), QStringLiteral("张三"), QStringLiteral("李四"), QStringLiteral("市场部"),
                                QStringLiteral("Project"), QStringLiteral("2024-03-15"), QStringLiteral("北京"), QStringLiteral("上海分公司"),
                                QStringLiteral("已完成"), QStringLiteral("待处理"), QStringLiteral("Notes"), QStringLiteral("附件说明")};
        for (int i = 0; i < 997; ++i) {
            QString s;
            for (int k = 0; k < 2 + i % 5; ++k)
                s += words[(i * 7 + k * 3) % words.size()];
            pool.push_back(s);
            poolUtf8.push_back(s.toStdString());
        }
    }
    int pick(int row, int column) const { return (row * 31 + column * 17) % int(pool.size()); }
};

void writeOurs(const Texts& t, const QString& path)
{
    auto excel = xls::CreateExcelApplication();
    excel->AddWorkbook();
    QString cellText;
    cellText.reserve(256);
    for (int r = 1; r <= kRows; ++r) {
        for (int c = 1; c <= kColumns; ++c) {
            cellText = t.pool[std::size_t(t.pick(r, c))];
            if (c > 15)
                cellText += QString::number(r);
            excel->SetValue(r, c, cellText);
        }
    }
    excel->SaveAs(path);
    excel->Quit();
}

#ifdef QUILLET_HAVE_XLSXWRITER
void writeTheirs(const Texts& t, const QString& path)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook* wb = workbook_new_opt(file.constData(), &options);
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    std::string cellText;
    cellText.reserve(256);
    for (int r = 1; r <= kRows; ++r) {
        for (int c = 1; c <= kColumns; ++c) {
            cellText = t.poolUtf8[std::size_t(t.pick(r, c))];
            if (c > 15)
                cellText += std::to_string(r);
            worksheet_write_string(ws, lxw_row_t(r - 1), lxw_col_t(c - 1), cellText.c_str(), nullptr);
        }
    }
    if (workbook_close(wb) != LXW_NO_ERROR)
        std::fprintf(stderr, "libxlsxwriter failed\n");
}
#endif

} // namespace

QUILLET_BENCH(xls_writer)
{
    const Texts texts;
    const QString ours = ctx.workDir() + QStringLiteral("/ours.xls");

    // Ours in a child, so that its peak resident size is its own.
    int fds[2];
    if (pipe(fds) != 0)
        return;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        double figures[2] = {bench::bestMs(3, [&] { writeOurs(texts, ours); }), bench::peakRssMiB()};
        (void)!write(fds[1], figures, sizeof figures);
        _exit(0);
    }
    close(fds[1]);
    double figures[2] = {0, 0};
    (void)!read(fds[0], figures, sizeof figures);
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    const double oursMs = figures[0];

    ctx.note(QStringLiteral("%1 rows x %2 cells of mixed Chinese text, %3 MB written")
                 .arg(kRows)
                 .arg(kColumns)
                 .arg(QFileInfo(ours).size() / 1e6, 0, 'f', 1));
    ctx.report(QStringLiteral("peak memory, ours (child process)"), figures[1], QStringLiteral("MiB"));
#ifdef QUILLET_HAVE_XLSXWRITER
    const QString theirs = ctx.workDir() + QStringLiteral("/theirs.xlsx");
    const double theirsMs = bench::bestMs(3, [&] { writeTheirs(texts, theirs); });
    ctx.report(QStringLiteral("libxlsxwriter constant memory"), theirsMs, QStringLiteral("ms"));
    ctx.ratio(QStringLiteral("ours against libxlsxwriter"), oursMs, theirsMs, QStringLiteral("ms"));
#else
    ctx.report(QStringLiteral("ours"), oursMs, QStringLiteral("ms"));
    ctx.note(QStringLiteral("libxlsxwriter not found: no comparison"));
#endif
}

namespace {

class SilentHost : public exporting::ExportHost {
public:
    void ShowWait() override {}
    void SetWaitText(const QString&) override {}
    void SetWaitProgress(int, int) override {}
    void CloseWait() override {}
    void ProcessEvents() override { QCoreApplication::processEvents(); }
};

class SilentPrompts : public platform::Prompts {
public:
    void message(const QString&, platform::MessageIcon) override {}
    bool confirm(const QString&, const QString&) override { return false; }
    std::optional<QString> input(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> openFile(const QString&) override { return {}; }
    std::optional<QString> saveFile(const QString&) override { return {}; }
};

} // namespace

QUILLET_BENCH(workbook_export)
{
    const QString dxl = ctx.workDir() + QStringLiteral("/export.dxl");
    bench::generateDatabase(ctx, dxl, {"--docs", "10000", "--items", "20", "--attachment-bytes", "4096"});
    const QString script = QStringLiteral(QUILLET_SOURCE_DIR "/bench/xlwt_export.py");
    const bool havePython =
        QProcess::execute(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import lxml, xlwt")}) == 0;

    SilentPrompts prompts;
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
    view.ConnectTo(db.ViewByName(QStringLiteral("全部文档")));
    const int docCount = view.DocumentCount();

    SilentHost host;
    int run = 0;
    auto exportOnce = [&](xls::WorkbookFormat format) {
        const QString dir = ctx.workDir() + QStringLiteral("/run%1").arg(++run);
        QDir().mkpath(dir);
        exporting::ExportRequest r;
        r.session = &session;
        r.database = &db;
        r.viewName = QStringLiteral("全部文档");
        r.docCount = docCount;
        r.exportStart = QStringLiteral("1");
        r.appDir = ctx.workDir() + u'/';
        r.fileName = dir + QStringLiteral("/bench");
        r.format = format;
        if (exporting::ViewExport(host).run(r) != exporting::ExportOutcome::Completed)
            std::fprintf(stderr, "the export did not complete\n");
        QDir(dir).removeRecursively();
        QDir(logs).removeRecursively();
        QDir().mkpath(logs);
    };
    auto python = [&] {
        const QString dir = ctx.workDir() + QStringLiteral("/py%1").arg(++run);
        QDir().mkpath(dir);
        if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                              {script, dxl, dir + QStringLiteral("/bench.xls"), dir + QStringLiteral("/附件")}) != 0)
            std::fprintf(stderr, "%s failed\n", qPrintable(script));
        QDir(dir).removeRecursively();
    };

    exportOnce(xls::WorkbookFormat::Xls); // warms the database cache and the file
    // Taken in turns, so that other work on the machine weighs on each alike.
    double xlsMs = 1e300, xlsxMs = 1e300, pythonMs = 1e300;
    for (int i = 0; i < 3; ++i) {
        xlsMs = std::min(xlsMs, bench::bestMs(1, [&] { exportOnce(xls::WorkbookFormat::Xls); }));
        xlsxMs = std::min(xlsxMs, bench::bestMs(1, [&] { exportOnce(xls::WorkbookFormat::Xlsx); }));
        if (havePython)
            pythonMs = std::min(pythonMs, bench::bestMs(1, python));
    }
    ctx.report(QStringLiteral("documents"), docCount, QStringLiteral("docs"));
    ctx.ratio(QStringLiteral(".xlsx export against the .xls export"), xlsxMs, xlsMs, QStringLiteral("ms"));
    if (havePython)
        ctx.ratio(QStringLiteral(".xls export against lxml + xlwt script"), xlsMs, pythonMs, QStringLiteral("ms"));
    else
        ctx.note(QStringLiteral("python3-lxml or python3-xlwt missing: no comparison with the script"));

    exporting::setLogFolder({});
    platform::setPrompts(nullptr);
}
