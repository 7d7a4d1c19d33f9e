// Browsing in the main window, offscreen and end to end: a page of 100
// documents loaded into the list and painted, at the start and at the end of
// a 100,000-document view; and the scan of a data directory of 10,000
// database files in 500 folders into the tree.
#include "app/listview.h"
#include "app/mainwindow.h"
#include "app/treeview.h"
#include "bench.h"
#include "browse/treenodes.h"
#include "engine/session.h"
#include "platform/registry.h"
#include "platform/scriptedprompts.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

constexpr int kDocuments = 100000;
const QString kView = QStringLiteral("全部文档");

// Everything the window has been asked to paint, painted now.
void paint(TfrmMain& w)
{
    QCoreApplication::processEvents();
    w.ListView1->repaint();
    w.TreeView1->repaint();
}

void makeDataDirectory(const QString& dir)
{
    // 20 top folders of 24 folders each: 500 folders, 20 databases in each.
    for (int t = 0; t < 20; ++t) {
        const QString top = dir + QStringLiteral("/部门 %1").arg(t);
        for (int s = -1; s < 24; ++s) {
            const QString folder = s < 0 ? top : top + QStringLiteral("/sub%1").arg(s);
            QDir().mkpath(folder);
            for (int n = 0; n < 20; ++n)
                QFile(folder + QStringLiteral("/db%1.%2").arg(n).arg(n % 2 ? "nsf" : "dxl"))
                    .open(QIODevice::WriteOnly);
        }
    }
}

// The offscreen platform says for every progress window that it cannot raise it.
void quietPlatformWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text.startsWith(QStringLiteral("This plugin does not support")))
        return;
    qt_message_output(type, context, text);
}

} // namespace

QUILLET_BENCH(browse)
{
    const QtMessageHandler previousHandler = qInstallMessageHandler(quietPlatformWarnings);
    // A window that starts without an installation: these figures need no session.
    platform::ScriptedPrompts prompts;
    platform::setPrompts(&prompts);
    platform::setMachineHivePath(ctx.workDir() + QStringLiteral("/none.reg"));
    TfrmMain w(ctx.workDir());
    w.QuitApplication = [] {};
    w.resize(1200, 800);
    w.show();
    QCoreApplication::processEvents();

    // The page loads.
    const QString path = ctx.workDir() + QStringLiteral("/view.dxl");
    bench::generateDatabase(ctx, path, {"--docs", QString::number(kDocuments), "--attachment-bytes", "16",
                                        "--items", "8"});
    engine::Session session{engine::EngineConfig{}};
    domino::TNotesDatabase db;
    db.ConnectTo(session.OpenDatabase(QString(), path, false));

    w.DocPos = 0;
    ctx.report(QStringLiteral("first page, first load of the view (index built)"),
               bench::bestMs(1, [&] { w.LoadViewPage(db, kView); paint(w); }), QStringLiteral("ms"));
    if (w.DocCount != kDocuments || w.ListView1->itemCount() != 100)
        ctx.note(QStringLiteral("unexpected page: %1 documents, %2 rows, messages %3")
                     .arg(w.DocCount).arg(w.ListView1->itemCount()).arg(prompts.messages().join(u';')));
    const double first = bench::bestMs(10, [&] {
        w.DocPos = 0;
        w.LoadViewPage(db, kView);
        paint(w);
    });
    const double last = bench::bestMs(10, [&] {
        w.DocPos = (w.DocCount - 1) / 100 * 100;
        w.LoadViewPage(db, kView);
        paint(w);
    });
    ctx.report(QStringLiteral("page of 100 documents, first page (target < 50)"), first, QStringLiteral("ms"));
    ctx.ratio(QStringLiteral("last page against first page"), last, first, QStringLiteral("ms"));

    // The tree scan.
    const QString data = ctx.workDir() + QStringLiteral("/data");
    makeDataDirectory(data);
    int nodes = 0;
    const double scan = bench::bestMs(3, [&] {
        w.TreeView1->clear();
        QTreeWidgetItem* root = w.TreeView1->addNode(nullptr, QStringLiteral("SRV(") + data + u')', 0, 0);
        ScanDirectory(*w.TreeView1, data, root, true);
        root->setExpanded(true);
        paint(w);
        nodes = w.TreeView1->nodeCount();
    });
    ctx.report(QStringLiteral("ScanDirectory of 10,000 files in 500 folders (target < 500)"), scan,
               QStringLiteral("ms"));
    ctx.report(QStringLiteral("tree nodes"), nodes, QString());
    w.close();
    platform::setPrompts(nullptr);
    qInstallMessageHandler(previousHandler);
}
