// quillet-cli export DB VIEW FILE [--start N] [--log-folder DIR] [--format xls|xlsx]:
// the view export of the main window, without windows; --format xlsx writes
// an Office Open XML workbook as the save dialog's second filter does. The
// workbook, the attachment folders and the log lines are the same; messages go to standard output,
// errors and the reason of an export that did not complete to standard
// error. Exit status 0 once the closing message is reached, 1 otherwise.
#include "cli/commands.h"
#include "export/exportlog.h"
#include "export/viewexport.h"
#include "platform/error.h"
#include "platform/prompts.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

// Messages on standard output, errors on standard error; nothing can be
// asked in a script. A plain message is held until the next one or the end of
// the run: when the export does not complete, the last one is why, and it
// goes to standard error with the failures.
class TerminalPrompts : public platform::Prompts {
public:
    void message(const QString& text, platform::MessageIcon icon) override
    {
        if (icon == platform::MessageIcon::Error) {
            writeError(text);
            errors_ = true;
            return;
        }
        flush();
        held_ = text;
    }
    bool confirm(const QString&, const QString&) override { return false; }
    std::optional<QString> input(const QString&, const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> openFile(const QString&) override { return std::nullopt; }
    std::optional<QString> saveFile(const QString&) override { return std::nullopt; }

    // Writes what is held: to standard output after a completed export, else
    // to standard error, with a reason of its own when nothing says why.
    void finish(bool completed, bool failureFollows = false)
    {
        if (completed) {
            flush();
            return;
        }
        if (held_) {
            writeError(*held_);
            held_.reset();
        } else if (!errors_ && !failureFollows) {
            writeError(QStringLiteral("导出没有完成"));
        }
    }

private:
    void flush()
    {
        if (!held_)
            return;
        const QByteArray line = (*held_ + u'\n').toUtf8();
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
        held_.reset();
    }

    std::optional<QString> held_;
    bool errors_ = false;
};

// Progress on a terminal as one line rewritten in place; nothing when
// standard error is not a terminal.
class TerminalHost : public exporting::ExportHost {
public:
    TerminalHost() : tty_(::isatty(2) == 1) {}
    void ShowWait() override {}
    void SetWaitText(const QString& text) override
    {
        if (tty_)
            text_ = text;
    }
    void SetWaitProgress(int, int position) override
    {
        if (!tty_ || position == shown_)
            return;
        shown_ = position;
        const QByteArray line = (u'\r' + text_ + QStringLiteral("\x1b[K")).toUtf8();
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    }
    void CloseWait() override
    {
        if (tty_ && shown_ >= 0)
            std::fputs("\r\x1b[K", stderr);
    }
    void ProcessEvents() override { QCoreApplication::processEvents(); }

private:
    bool tty_;
    QString text_;
    int shown_ = -1;
};

class PromptsScope {
public:
    explicit PromptsScope(platform::Prompts* p) { platform::setPrompts(p); }
    ~PromptsScope() { platform::setPrompts(nullptr); }
};

// Makes the folder and the missing ones above it, private to the user (the
// log holds the documents' values); an existing folder is left as it is.
void makeLogFolder(const QString& folder)
{
    const QString absolute = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    QString path;
    for (const QString& part : absolute.split(u'/', Qt::SkipEmptyParts)) {
        path += u'/' + part;
        if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
            throw platform::Error(QStringLiteral("无法创建日志文件夹%1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (!QFileInfo(absolute).isDir())
        throw platform::Error(QStringLiteral("日志文件夹%1不是文件夹").arg(absolute));
}

} // namespace

int exportCommand(const QStringList& argv)
{
    CommandLine cl(QStringLiteral("export"), QStringLiteral("DB VIEW FILE"),
                   QStringLiteral("Exports the view's documents to a workbook named after FILE and the start number,\n"
                                  "their attachments and objects into a folder beside it, every step into the log."));
    cl.addOption(QStringLiteral("start"), QStringLiteral("N"),
                 QStringLiteral("the first document, counted from 1 (default 1); the workbook's name holds it as typed"));
    cl.addOption(QStringLiteral("log-folder"), QStringLiteral("DIR"),
                 QStringLiteral("write the day's log into DIR (made if missing) instead of ") +
                     exporting::defaultLogFolder());
    cl.addOption(QStringLiteral("format"), QStringLiteral("xls|xlsx"),
                 QStringLiteral("the workbook's format: xls (Excel 97-2003, the default) or xlsx (Office Open XML)"));
    cl.addNote(namesNote());
    cl.addNote(QStringLiteral("Exit status 0 once the export completed, 1 when it stopped or failed (the reason on\n"
                              "standard error), 2 for a usage error."));
    if (!cl.parse(argv))
        return 0;
    const QStringList args = cl.positional(3);
    cl.number(QStringLiteral("start"), 1);  // checked here, read by the export as typed ("007" stays "007")
    const QString start = cl.isSet(QStringLiteral("start")) ? cl.value(QStringLiteral("start")) : QStringLiteral("1");
    if (cl.isSet(QStringLiteral("log-folder"))) {
        const QString folder = cl.value(QStringLiteral("log-folder"));
        if (folder.isEmpty())
            cl.usageError(QStringLiteral("--log-folder needs a folder"));
        makeLogFolder(folder);
        exporting::setLogFolder(QFileInfo(folder).absoluteFilePath());
    }
    xls::WorkbookFormat format = xls::WorkbookFormat::Xls;
    if (cl.isSet(QStringLiteral("format"))) {
        const QString name = cl.value(QStringLiteral("format"));
        if (name == QLatin1String("xlsx"))
            format = xls::WorkbookFormat::Xlsx;
        else if (name != QLatin1String("xls"))
            cl.usageError(QStringLiteral("--format is xls or xlsx, not \"%1\"").arg(name));
    }
    const QString viewName = unescapeField(args[1]);

    domino::TNotesSession session;
    startSession(session, cl);
    domino::TNotesDatabase db;
    db.ConnectTo(openDatabase(session, args[0]));
    domino::TNotesView view;
    view.ConnectTo(requireView(db, viewName));

    TerminalPrompts prompts;
    PromptsScope scope(&prompts);
    TerminalHost host;
    exporting::ExportRequest request;
    request.session = &session;
    request.database = &db;
    request.viewName = viewName;
    request.docCount = view.DocumentCount();
    request.exportStart = start;
    request.appDir = QCoreApplication::applicationDirPath() + u'/';
    // A relative name is taken from the working folder, as the shell sees it.
    request.fileName = QFileInfo(args[2]).absoluteFilePath();
    request.format = format;
    view.Disconnect();
    bool completed = false;
    try {
        completed = exporting::ViewExport(host).run(request) == exporting::ExportOutcome::Completed;
    } catch (...) {
        prompts.finish(false, true);  // the failure's own text follows
        throw;
    }
    prompts.finish(completed);
    return completed ? 0 : 1;
}

} // namespace cli
