// The export through the real engine where real databases differ from our
// samples: a view without a name, documents whose only files are embedded
// OLE objects (written as the files the user put in), and two documents with
// one note ID (each with a folder of its own).
#include "domino/notes.h"
#include "engine/session.h"
#include "export/exportlog.h"
#include "export/viewexport.h"
#include "fakeexcel.h"
#include "olefixture.h"
#include "platform/codepage.h"
#include "platform/scriptedprompts.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace exporting;

namespace {

constexpr const char* kPackage = "{0003000C-0000-0000-C000-000000000046}";
constexpr const char* kWord = "{00020906-0000-0000-C000-000000000046}";

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList logLines(const QString& folder)
{
    QStringList lines;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        for (const QByteArray& l : fileBytes(folder + u'/' + name).split('\n'))
            lines << platform::fromCp936(l).trimmed();
    return lines;
}

// Exports the view of that name of the database file into dir; the outcome.
ExportOutcome exportView(const QString& database, const QString& viewName, const QTemporaryDir& dir)
{
    domino::TNotesSession session;
    session.ConnectTo(engine::newSession());
    session.StartSession(QString());
    domino::TNotesDatabase db;
    db.ConnectTo(session.OpenDatabase(QString(), database, false));
    domino::TNotesView view;
    view.ConnectTo(db.ViewByName(viewName));
    if (!view.IsConnected())
        return ExportOutcome::Stopped;
    fakes::RecordingHost host;
    ExportRequest request;
    request.session = &session;
    request.database = &db;
    request.viewName = viewName;
    request.docCount = view.DocumentCount();
    request.exportStart = QStringLiteral("1");
    request.appDir = QStringLiteral("/opt/quillet/");
    request.fileName = dir.filePath("out.xls");
    return ViewExport(host).run(request);
}

// Ends each line with the time stamp.
bool hasLine(const QStringList& lines, const QString& start)
{
    return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(start); });
}

} // namespace

class TestExportObjects : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        platform::setPrompts(&prompts_);
        QVERIFY(QDir(logs_.path()).mkpath("."));
        setLogFolder(logs_.path());
    }
    void cleanup()
    {
        platform::setPrompts(nullptr);
        setLogFolder({});
    }

    void objectsAndSharedIdsInAnUnnamedView()
    {
        QTemporaryDir dir;
        const QByteArray data = "<?xml version='1.0'?><root>packaged</root>";
        const QByteArray package = fixtures::compoundFile(
            fixtures::classIdBytes(kPackage),
            {{"\001Ole10Native", fixtures::packageNative("?.xml", "C:\\a\\?.xml", data, QStringLiteral("数据.xml"))}},
            "Package");
        const QByteArray word =
            fixtures::compoundFile(fixtures::classIdBytes(kWord), {{"WordDocument", "w"}}, "Word.Document.8");
        auto doc = [](const char* id, const char* unid, const QByteArray& body) -> QByteArray {
            return "<document form='F'><noteinfo noteid='" + QByteArray(id) + "' unid='" + QByteArray(unid).repeated(32) +
                   "'/><item name='Subject'><text>" + unid + "</text></item>" + body + "</document>";
        };
        auto attachment = [](const QByteArray& text) -> QByteArray {
            return "<item name='$FILE'><object><file hosttype='msdos' name='a.txt'><filedata>" + text.toBase64() +
                   "</filedata></file></object></item>";
        };
        const QByteArray dxl =
            "<database><view><code event='selection'><formula>SELECT @All</formula></code>"
            "<column itemname='Subject'/></view>"
            + doc("10", "A", "<item name='Pack'><richtext>" + fixtures::objectRef("EXT00001", kPackage) +
                                 "</richtext></item><item name='Doc'><richtext>" + fixtures::objectRef("EXT00002", kWord) +
                                 "</richtext></item>" + fixtures::objectItems("EXT00001", package, 512, 1) +
                                 fixtures::objectItems("EXT00002", word, 4096, 20))
            + doc("20", "B", attachment("first")) + doc("20", "C", attachment("second")) + "</database>";
        QFile f(dir.filePath("db.dxl"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(dxl);
        f.close();

        QCOMPARE(exportView(dir.filePath("db.dxl"), QString(), dir), ExportOutcome::Completed);
        const QString root = dir.filePath("附件/");
        QCOMPARE(fileBytes(root + "10/数据.xml"), data);
        QByteArray wordClass;
        QCOMPARE(fixtures::rootStream(fileBytes(root + "10/EXT00002.doc"), "WordDocument", &wordClass), QByteArray("w"));
        QCOMPARE(wordClass, fixtures::classIdBytes(kWord));
        QCOMPARE(QDir(root + "10").entryList(QDir::Files).size(), 2);
        QCOMPARE(fileBytes(root + "20/a.txt"), QByteArray("first"));
        QCOMPARE(fileBytes(root + "20 (2)/a.txt"), QByteArray("second"));

        const QStringList lines = logLines(logs_.path());
        QVERIFY(hasLine(lines, "分离第1个文档RichText域到:" + root + "10/数据.xml;"));
        QVERIFY(hasLine(lines, "分离第1个文档RichText域到:" + root + "10/EXT00002.doc;"));
        QVERIFY(hasLine(lines, "第3个文档与第2个文档的文档ID同为20，其文件另存到:" + root + "20 (2)/;"));
        QVERIFY(hasLine(lines, "保存第3个文档第1个附件到:" + root + "20 (2)/a.txt;"));
    }

    void realDatabases_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("wanted");  // folder/name of a file the export must write
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("binary_4: the packaged PDF") << "plomino-test_binary_4.xml" << "8F6/*.pdf" << qint64(2598801)
                                                    << QByteArray("%PDF-");
        QTest::newRow("binaries: the packaged XML") << "plomino-test_binaries.xml" << "902/test.xml" << qint64(13387)
                                                    << QByteArray();
        QTest::newRow("binaries: the attached PNG") << "plomino-test_binaries.xml" << "8F6/*.png" << qint64(-1)
                                                    << QByteArray("\x89PNG");
    }

    void realDatabases()
    {
        QFETCH(QString, file);
        QFETCH(QString, wanted);
        QFETCH(qint64, size);
        QFETCH(QByteArray, start);
        const QString source = QStringLiteral(QUILLET_REALWORLD_DXL "/") + file;
        if (!QFileInfo::exists(source))
            QSKIP("the real DXL exports are not beside the repository");
        QTemporaryDir dir;
        QCOMPARE(exportView(source, QString(), dir), ExportOutcome::Completed);
        const QString folder = dir.filePath("附件/") + wanted.section(u'/', 0, 0);
        const QStringList found = QDir(folder).entryList({wanted.section(u'/', 1)}, QDir::Files);
        QVERIFY2(found.size() == 1, qPrintable(QDir(folder).entryList().join(u',')));
        const QByteArray bytes = fileBytes(folder + u'/' + found.first());
        if (size >= 0)
            QCOMPARE(qint64(bytes.size()), size);
        QVERIFY(bytes.startsWith(start));
    }

private:
    platform::ScriptedPrompts prompts_;
    QTemporaryDir logs_;
};

QTEST_GUILESS_MAIN(TestExportObjects)
#include "tst_exportobjects.moc"
