// quillet-cli export DB VIEW FILE [--start N] [--log-folder DIR]: the view
// export of the main window, without windows. The workbook, the attachment
// folders and the log lines are the same; messages go to standard output,
// errors to standard error. Exit status 0 once the closing message is
// reached, 1 otherwise.
#include "cli/commands.h"
#include "export/exportlog.h"
#include "export/viewexport.h"
#include "platform/error.h"
#include "platform/prompts.h"
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

// Messages on standard output (errors with their icon on standard error);
// nothing can be asked in a script.
class TerminalPrompts : public platform::Prompts {
public:
    void message(const QString& text, platform::MessageIcon icon) override
    {
        if (icon == platform::MessageIcon::Error) {
            writeError(text);
            return;
        }
        const QByteArray line = (text + u'\n').toUtf8();
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
    }
    bool confirm(const QString&, const QString&) override { return false; }
    std::optional<QString> input(const QString&, const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> openFile(const QString&) override { return std::nullopt; }
    std::optional<QString> saveFile(const QString&) override { return std::nullopt; }
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

QString optionText(const QStringList& argv, const QString& option)
{
    const qsizetype i = argv.indexOf(option);
    return i >= 0 && i + 1 < argv.size() ? argv.at(i + 1) : QString();
}

} // namespace

int exportCommand(const QStringList& argv)
{
    const Arguments args = parseArguments(argv, {QStringLiteral("--start"), QStringLiteral("--log-folder")});
    if (args.positional.size() != 3)
        throw UsageError{QStringLiteral("usage: quillet-cli export DB VIEW FILE [--start N] [--log-folder DIR]")};
    // The start number names the workbook as it was typed ("007" stays "007").
    const QString start = args.start ? optionText(argv, QStringLiteral("--start")) : QStringLiteral("1");
    if (!args.logFolder.isEmpty())
        exporting::setLogFolder(QFileInfo(args.logFolder).absoluteFilePath());

    domino::TNotesSession session;
    startSession(session, args);
    domino::TNotesDatabase db;
    db.ConnectTo(openDatabase(session, args.positional[0]));
    domino::TNotesView view;
    view.ConnectTo(requireView(db, args.positional[1]));

    TerminalPrompts prompts;
    PromptsScope scope(&prompts);
    TerminalHost host;
    exporting::ExportRequest request;
    request.session = &session;
    request.database = &db;
    request.viewName = args.positional[1];
    request.docCount = view.DocumentCount();
    request.exportStart = start;
    request.appDir = QCoreApplication::applicationDirPath() + u'/';
    // A relative name is taken from the working folder, as the shell sees it.
    request.fileName = QFileInfo(args.positional[2]).absoluteFilePath();
    view.Disconnect();
    return exporting::ViewExport(host).run(request) == exporting::ExportOutcome::Completed ? 0 : 1;
}

} // namespace cli
