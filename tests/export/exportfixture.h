#pragma once
// The export's test fixture: an in-memory database with one view, a recording
// workbook object and host, scripted prompts, a fixed clock and a log folder
// of its own; helpers to run the export and read its log back.
#include "domino/notes.h"
#include "export/exportlog.h"
#include "export/viewexport.h"
#include "fakedomino.h"
#include "fakeexcel.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/scriptedprompts.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace exportfixture {

using namespace exporting;

inline const QString kView = QStringLiteral("全部文档");

struct Fixture {
    QTemporaryDir dir;
    QDateTime clock = QDateTime(QDate(2026, 12, 11), QTime(10, 0, 0));
    std::shared_ptr<fakes::FakeSession> session = std::make_shared<fakes::FakeSession>();
    std::shared_ptr<fakes::FakeDatabase> db = std::make_shared<fakes::FakeDatabase>();
    fakes::FakeViewPtr view = db->addView(kView);
    domino::TNotesSession sessionHandle;
    domino::TNotesDatabase dbHandle;
    fakes::FakeExcelState excel;
    fakes::RecordingHost host;
    platform::ScriptedPrompts prompts;
    ExportRequest request;

    Fixture()
    {
        sessionHandle.ConnectTo(session);
        dbHandle.ConnectTo(db);
        QDir(dir.path()).mkdir(QStringLiteral("log"));
        setLogFolder(dir.filePath(QStringLiteral("log")));
        platform::setClock([this] { return clock; });
        platform::setPrompts(&prompts);
        request.session = &sessionHandle;
        request.database = &dbHandle;
        request.viewName = kView;
        request.exportStart = QStringLiteral("1");
        request.appDir = QStringLiteral("/opt/quillet/");
        request.fileName = dir.filePath(QStringLiteral("out.xls"));
    }
    ~Fixture()
    {
        platform::setPrompts(nullptr);
        platform::setClock({});
        setLogFolder({});
    }
    fakes::FakeDocumentPtr addDocuments(int count)
    {
        for (int i = 1; i <= count; ++i)
            view->addDocument(QStringLiteral("NT%1").arg(i))->addItem(QStringLiteral("Subject"), {QStringLiteral("s%1").arg(i)});
        request.docCount = int(view->documents.size());
        return view->documents.first();
    }
    // With the recording workbook object, or the program's own writer when asked.
    ExportOutcome run(bool realWorkbook = false)
    {
        ViewExport exporter(host, realWorkbook ? xls::ExcelFactory(xls::CreateExcelApplication) : excel.factory());
        return exporter.run(request);
    }
    QString book() const { return workbookPath(request.fileName, request.exportStart, request.format); }
    QString attachments() const { return dir.path() + u'/' + kView + QStringLiteral("附件"); }
    QString folderOf(const QString& id) const { return attachments() + u'/' + id + u'/'; }
    QString logPath() const { return dir.filePath(QStringLiteral("log/log20261211.txt")); }
    // The log's lines, each checked for its stamp and given without it.
    QStringList lines() const
    {
        QFile f(logPath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList out = platform::fromCp936(f.readAll()).split(QStringLiteral("\r\n"));
        if (!out.isEmpty() && out.last().isEmpty())
            out.removeLast();
        const QString stamp = logTimeStamp(clock);
        for (QString& l : out) {
            if (!l.endsWith(stamp))
                return {QStringLiteral("no stamp: ") + l};
            l.chop(stamp.size());
        }
        return out;
    }
    QStringList excelCallsLike(const QString& prefix) const
    {
        QStringList out;
        for (const QString& c : excel.calls)
            if (c.startsWith(prefix))
                out << c;
        return out;
    }
};

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace exportfixture
