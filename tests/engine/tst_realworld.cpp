// Real exports from real Domino servers: every file opens and lists its views
// (or fails with a clear text where it is malformed), every document of them
// pages and shows, and every attachment and embedded object extracts.
#include "engine/dbcache.h"
#include "engine/dxlreader.h"
#include "engine/notecontext.h"
#include "engine/objects.h"
#include "platform/error.h"
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

using namespace engine;

namespace {
const QString kDir = QStringLiteral(QUILLET_REALWORLD_DXL);

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class RealWorldTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (!QFileInfo::exists(kDir + "/plomino-test_binary_4.xml"))
            QSKIP("the real DXL exports are not beside the repository");
    }
    void everyFile_data();
    void everyFile();
    void oleObjectReassembled();
    void malformedFileNamesItsPlace();
    void responseNoteKeepsItsParent();
};

void RealWorldTest::everyFile_data()
{
    QTest::addColumn<QString>("file");
    const QStringList files = QDir(kDir).entryList({"*.xml"}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        QSKIP("the real DXL files are not here");
    for (const QString& f : files)
        if (f != QLatin1String("plomino-dxlDatabaseBadXML.xml"))
            QTest::newRow(qPrintable(f)) << f;
}

void RealWorldTest::everyFile()
{
    QFETCH(QString, file);
    QTemporaryDir out;
    auto raw = readDxlFile(kDir + u'/' + file);
    DatabaseObject db(raw);
    // Every view opens and pages, with one value per column.
    for (const QString& name : db.Views()) {
        auto view = db.ViewByName(name);
        QVERIFY2(view, qPrintable(name));
        int seen = 0;
        for (auto doc = view->NthDocument(1); doc; doc = view->NextDocument(doc), ++seen) {
            try {
                QCOMPARE(doc->ColumnValues().size(), view->ColumnCount());
            } catch (const platform::Error& e) {
                QVERIFY2(e.text().contains(QStringLiteral("不支持")), qPrintable(e.text()));
            }
        }
        QCOMPARE(seen, view->DocumentCount());
    }
    // Every document shows every item with a value, and gives up every file.
    int files = 0;
    for (const NoteRecord& n : raw->notes) {
        auto doc = db.DocumentById(documentIdText(n));
        QCOMPARE(doc->DocumentId(), documentIdText(n));
        for (const QString& item : doc->Items()) {
            QVERIFY2(!doc->ItemValue(item).isEmpty(), qPrintable(item));
            auto it = doc->ItemByName(item);
            QVERIFY(it);
            if (it->ItemType() != domino::ItemTypes::RichText)
                continue;
            auto rich = it->AsRichText();
            rich->PlainText(true, 80);
            for (const QString& name : rich->EmbeddedObjects()) {
                auto obj = rich->EmbeddedObject(name);
                QVERIFY2(obj, qPrintable(name));
                const QString target = out.filePath(QString::number(++files));
                obj->ExtractTo(target);
                QCOMPARE(QFileInfo(target).size(), obj->FileSize());
                QVERIFY(QFileInfo(target).size() > 0);
            }
        }
        for (const QString& name : doc->HasAttachments() ? db.database()->attachmentNames(uint32_t(&n - raw->notes.data()))
                                                          : QStringList()) {
            auto att = doc->Attachment(name);
            QVERIFY(att);
            const QString target = out.filePath(QString::number(++files));
            att->ExtractTo(target);
            QCOMPARE(QFileInfo(target).size(), att->FileSize());
        }
    }
}

void RealWorldTest::oleObjectReassembled()
{
    QTemporaryDir out;
    DatabaseObject db(readDxlFile(kDir + "/plomino-test_binary_4.xml"));
    auto doc = db.DocumentById("8F6");
    auto rich = doc->ItemByName("article")->AsRichText();
    QCOMPARE(rich->EmbeddedObjects(), QStringList{"EXT64403"});
    QCOMPARE(rich->PlainText(true, 80), QStringLiteral("Create object:"));
    // 41 pages of 65535 bytes make one OLE2 compound file; the package in it
    // holds the PDF, which is what is written, under its own name.
    auto object = rich->EmbeddedObject("EXT64403");
    QCOMPARE(object->FileName(), QStringLiteral("ConferencePlomino.pdf"));
    object->ExtractTo(out.filePath("object"));
    const QByteArray bytes = readAll(out.filePath("object"));
    QCOMPARE(bytes.size(), 2598801);
    QVERIFY(bytes.startsWith("%PDF-1.4"));
    QVERIFY(bytes.trimmed().endsWith("%%EOF"));
    // The pages are the object's, not attachments of the document.
    QVERIFY(!doc->HasAttachments());

    // An attachment next to an embedded XML document in one rich text.
    DatabaseObject bin(readDxlFile(kDir + "/plomino-test_binaries.xml"));
    bool png = false;
    for (const NoteRecord& n : bin.database()->notes) {
        auto d = bin.DocumentById(documentIdText(n));
        if (auto att = d->Attachment("overlord59-tux-samourai-1773.png")) {
            att->ExtractTo(out.filePath("tux.png"));
            png = readAll(out.filePath("tux.png")).startsWith("\x89PNG");
        }
    }
    QVERIFY(png);
}

void RealWorldTest::malformedFileNamesItsPlace()
{
    try {
        readDxlFile(kDir + "/plomino-dxlDatabaseBadXML.xml");
        QFAIL("a malformed file was read");
    } catch (const platform::Error& e) {
        QVERIFY2(e.text().contains(QStringLiteral("第15行")), qPrintable(e.text()));
    }
}

void RealWorldTest::responseNoteKeepsItsParent()
{
    auto raw = readDxlFile(kDir + "/jnx-testDocumentInvalidCreationDate-invaliddoc.xml");
    QCOMPARE(raw->notes.size(), size_t(1));
    QCOMPARE(QString::fromLatin1(raw->notes[0].parent.data(), 32), QStringLiteral("C12585B4004B62318FBB8DBFCD362EBC"));
    QVERIFY(!raw->notes[0].created.unpack().date.isValid());
    DatabaseObject db(raw);
    QCOMPARE(db.DocumentById("8FA")->ItemValue("Form").value(0).toText(), QStringLiteral("(ReplyNotice)"));
}

QTEST_GUILESS_MAIN(RealWorldTest)
#include "tst_realworld.moc"
