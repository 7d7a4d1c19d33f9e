// The sample data directory and the DXL generator: the committed files are
// what the generator writes today, the generated databases are well-formed DXL
// with what was asked for, and the sample's login and embedded objects hold.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QPasswordDigestor>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kGenerator = QStringLiteral(QUILLET_BINARY_DIR "/quillet-gendxl");
const QString kSampleData = QStringLiteral(QUILLET_SOURCE_DIR "/sample/data");

int runGenerator(const QStringList& args, QString* err = nullptr)
{
    QProcess p;
    p.start(kGenerator, args);
    if (!p.waitForFinished(120000))
        return -1;
    if (err)
        *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Every file below dir, hidden ones included, by relative path.
QStringList filesBelow(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct FileObject {
    QString hostType, name;
    QByteArray data;
    int longestLine = 0;
};

struct Document {
    QString form;
    QStringList itemNames;
    QList<FileObject> files;
    QHash<QString, QString> texts;   // first text of each text item
};

// Reads a DXL database the plain way, failing on any XML error.
QList<Document> readDxl(const QString& path, QString* error, int* views = nullptr)
{
    QFile f(path);
    QList<Document> docs;
    if (!f.open(QIODevice::ReadOnly)) {
        *error = "cannot open " + path;
        return docs;
    }
    QXmlStreamReader x(&f);
    QString item;
    FileObject file;
    bool inFile = false;
    if (views)
        *views = 0;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement()) {
            const auto n = x.name();
            if (n == u"view" && views)
                ++*views;
            if (n == u"document") {
                docs.append({x.attributes().value("form").toString(), {}, {}, {}});
            } else if (n == u"item" && !docs.isEmpty()) {
                item = x.attributes().value("name").toString();
                docs.last().itemNames << item;
            } else if (n == u"file" && !docs.isEmpty()) {
                inFile = true;
                file = {x.attributes().value("hosttype").toString(), x.attributes().value("name").toString(), {}, 0};
            } else if (n == u"filedata" && inFile) {
                const QString b64 = x.readElementText();
                for (const QString& line : b64.split('\n'))
                    file.longestLine = std::max(file.longestLine, int(line.size()));
                file.data = QByteArray::fromBase64(b64.toLatin1());
            } else if (n == u"text" && !docs.isEmpty() && !item.isEmpty() && !docs.last().texts.contains(item)) {
                docs.last().texts.insert(item, x.readElementText(QXmlStreamReader::IncludeChildElements));
            }
        } else if (x.isEndElement()) {
            if (x.name() == u"file" && inFile) {
                docs.last().files.append(file);
                inFile = false;
            } else if (x.name() == u"item") {
                item.clear();
            }
        }
    }
    if (x.hasError())
        *error = QStringLiteral("%1:%2:%3: %4").arg(path).arg(x.lineNumber()).arg(x.columnNumber()).arg(x.errorString());
    return docs;
}

quint32 le32(const QByteArray& b, int at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16
         | quint32(quint8(b[at + 3])) << 24;
}

} // namespace

class TestSample : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void committedSampleIsReproducible();
    void sampleDatabasesAreWellFormed();
    void sampleLoginHashes_data();
    void sampleLoginHashes();
    void embeddedObjectPagesFormCompoundFile();
    void benchDatabase_data();
    void benchDatabase();
    void benchDatabaseIsDeterministic();
    void badArguments_data();
    void badArguments();
};

void TestSample::committedSampleIsReproducible()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QCOMPARE(runGenerator({"--sample", tmp.path()}), 0);
    const QStringList committed = filesBelow(kSampleData);
    QVERIFY(committed.contains("demo.dxl"));
    QCOMPARE(filesBelow(tmp.path()), committed);
    for (const QString& rel : committed) {
        if (readAll(tmp.filePath(rel)) != readAll(kSampleData + "/" + rel))
            QFAIL(qPrintable("generated " + rel + " differs from the committed sample/data/" + rel
                             + "; run quillet-gendxl --sample sample/data and commit the result"));
    }
}

void TestSample::sampleDatabasesAreWellFormed()
{
    // Every database parses, and the demo holds what the README promises.
    for (const QString& rel : filesBelow(kSampleData)) {
        if (!rel.endsWith(".dxl"))
            continue;
        QString err;
        readDxl(kSampleData + "/" + rel, &err);
        QVERIFY2(err.isEmpty(), qPrintable(err));
    }
    QString err;
    int views = 0;
    const QList<Document> demo = readDxl(kSampleData + "/demo.dxl", &err, &views);
    QVERIFY2(err.isEmpty(), qPrintable(err));
    QCOMPARE(std::count_if(demo.begin(), demo.end(), [](const Document& d) { return d.form == "Memo"; }), 250);
    QVERIFY(std::any_of(demo.begin(), demo.end(), [](const Document& d) { return d.itemNames.contains("123"); }));
    const auto withAttachments = std::count_if(demo.begin(), demo.end(), [](const Document& d) {
        return std::any_of(d.files.begin(), d.files.end(), [](const FileObject& f) { return f.hostType == "msdos"; });
    });
    QVERIFY2(withAttachments >= 40 && withAttachments <= 60, qPrintable(QString::number(withAttachments)));
    QCOMPARE(views, 7);
}

void TestSample::sampleLoginHashes_data()
{
    QTest::addColumn<QString>("shortName");
    QTest::addColumn<QString>("password");
    QTest::newRow("admin") << "admin" << "quillet";
    QTest::newRow("zhangwei") << "zhangwei" << "zhangwei";
}

void TestSample::sampleLoginHashes()
{
    // The stored hash must verify with an independent PBKDF2 (Qt Network's),
    // or the README's login would fail.
    QFETCH(QString, shortName);
    QFETCH(QString, password);
    QString err;
    const QList<Document> people = readDxl(kSampleData + "/names.dxl", &err);
    QVERIFY2(err.isEmpty(), qPrintable(err));
    const auto it = std::find_if(people.begin(), people.end(), [&](const Document& d) {
        return d.form == "Person" && d.texts.value("ShortName") == shortName;
    });
    QVERIFY(it != people.end());
    static const QRegularExpression re(R"(^\{PBKDF2-SHA256\}(\d+)\$([A-Za-z0-9+/=]+)\$([A-Za-z0-9+/=]+)$)");
    const auto m = re.match(it->texts.value("HTTPPassword"));
    QVERIFY2(m.hasMatch(), qPrintable(it->texts.value("HTTPPassword")));
    const QByteArray salt = QByteArray::fromBase64(m.captured(2).toLatin1());
    const QByteArray hash = QByteArray::fromBase64(m.captured(3).toLatin1());
    QCOMPARE(salt.size(), 16);
    QCOMPARE(hash.size(), 32);
    QCOMPARE(QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                                m.captured(1).toInt(), 32),
             hash);
}

void TestSample::embeddedObjectPagesFormCompoundFile()
{
    // The document with two embedded objects: each EXT file lists pages of the
    // same document, all of the page size, which joined in EXT order (not in
    // document order) begin with the compound-file header.
    QString err;
    const QList<Document> demo = readDxl(kSampleData + "/demo.dxl", &err);
    QVERIFY2(err.isEmpty(), qPrintable(err));
    int objects = 0;
    for (const Document& d : demo) {
        QHash<QString, QByteArray> pages;
        QStringList documentOrder;
        for (const FileObject& f : d.files)
            if (f.hostType == "bytearraypage") {
                pages.insert(f.name, f.data);
                documentOrder << f.name;
            }
        for (const FileObject& f : d.files) {
            if (f.hostType != "bytearrayext")
                continue;
            ++objects;
            const QByteArray& ext = f.data;
            QVERIFY(ext.size() >= 32);
            QCOMPARE(le32(ext, 0), 1u);
            const int count = int(le32(ext, 4));
            const int pageSize = int(le32(ext, 8));
            QCOMPARE(ext.size(), 32 + 10 * count);
            QByteArray joined;
            QStringList extOrder;
            for (int i = 0; i < count; ++i) {
                const QString name = QString::fromLatin1(ext.mid(32 + 10 * i, 8));
                QCOMPARE(ext.mid(40 + 10 * i, 2), QByteArray(2, '\0'));
                QVERIFY2(pages.contains(name), qPrintable(name));
                QCOMPARE(pages.value(name).size(), pageSize);
                joined += pages.value(name);
                extOrder << name;
            }
            QVERIFY(count > 1);
            QVERIFY(documentOrder.indexOf(extOrder.first()) > documentOrder.indexOf(extOrder.last()));
            QCOMPARE(joined.left(8), QByteArray::fromHex("d0cf11e0a1b11ae1"));
        }
    }
    QCOMPARE(objects, 2);
}

void TestSample::benchDatabase_data()
{
    QTest::addColumn<int>("docs");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("items");
    QTest::newRow("none") << 0 << 4096 << 20;
    QTest::newRow("defaults") << 40 << 4096 << 20;
    QTest::newRow("no attachment, fewest items") << 5 << 0 << 7;
    QTest::newRow("one byte") << 3 << 1 << 9;
    QTest::newRow("whole base64 lines") << 3 << 57 * 3 << 12;
    QTest::newRow("large attachment") << 2 << 300000 << 30;
}

void TestSample::benchDatabase()
{
    QFETCH(int, docs);
    QFETCH(int, bytes);
    QFETCH(int, items);
    QTemporaryDir tmp;
    const QString out = tmp.filePath("bench.dxl");
    QCOMPARE(runGenerator({"--docs", QString::number(docs), "--attachment-bytes", QString::number(bytes),
                           "--items", QString::number(items), "--out", out}),
             0);
    QString err;
    int views = 0;
    const QList<Document> list = readDxl(out, &err, &views);
    QVERIFY2(err.isEmpty(), qPrintable(err));
    QCOMPARE(views, 2);
    QCOMPARE(list.size(), docs);
    for (const Document& d : list) {
        QCOMPARE(d.itemNames.size(), items + (bytes > 0 ? 1 : 0));
        QVERIFY(d.itemNames.contains("Body"));
        QCOMPARE(d.files.size(), bytes > 0 ? 1 : 0);
        if (bytes > 0) {
            QCOMPARE(d.files.first().data.size(), bytes);
            QCOMPARE(d.files.first().longestLine, std::min(76, (bytes + 2) / 3 * 4));
        }
    }
}

void TestSample::benchDatabaseIsDeterministic()
{
    QTemporaryDir tmp;
    auto gen = [&](const QString& name, const QString& seed) {
        const QString out = tmp.filePath(name);
        return runGenerator({"--docs", "20", "--seed", seed, "--out", out}) == 0 ? readAll(out) : QByteArray();
    };
    const QByteArray a = gen("a.dxl", "7");
    QVERIFY(!a.isEmpty());
    QCOMPARE(gen("b.dxl", "7"), a);
    QVERIFY(gen("c.dxl", "8") != a);
}

void TestSample::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::newRow("nothing") << QStringList{} << 2;
    QTest::newRow("docs without out") << QStringList{"--docs", "5"} << 2;
    QTest::newRow("negative") << QStringList{"--docs", "-5", "--out", "x"} << 2;
    QTest::newRow("not a number") << QStringList{"--docs", "5x", "--out", "x"} << 2;
    QTest::newRow("too few items") << QStringList{"--docs", "5", "--items", "6", "--out", "x"} << 2;
    QTest::newRow("both modes") << QStringList{"--sample", "d", "--docs", "5", "--out", "x"} << 2;
    QTest::newRow("unwritable") << QStringList{"--docs", "1", "--out", "/nonexistent/dir/x.dxl"} << 1;
}

void TestSample::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QString err;
    QCOMPARE(runGenerator(args, &err), status);
    QVERIFY(!err.isEmpty());
}

QTEST_GUILESS_MAIN(TestSample)
#include "tst_sample.moc"
