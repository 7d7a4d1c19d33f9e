// Embedded OLE objects leave the database as the file the user put in: a
// package's own file under its own name, an Office or Acrobat document as
// that document with its extension; and no extraction writes through a
// symbolic link or into anything but a regular file.
#include "engine/dxlreader.h"
#include "engine/objects.h"
#include "olefixture.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace engine;

namespace {

constexpr const char* kPackage = "{0003000C-0000-0000-C000-000000000046}";
constexpr const char* kWord = "{00020906-0000-0000-C000-000000000046}";
constexpr const char* kExcel2007 = "{00020830-0000-0000-C000-000000000046}";
constexpr const char* kAcrobat = "{B801CA65-A1FC-11D0-85AD-444553540000}";
constexpr const char* kUnknown = "{12345678-1234-1234-1234-123456789ABC}";

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A database with one document whose rich-text item Body embeds the object EXT00001.
QByteArray objectDxl(const QByteArray& stored)
{
    return "<database><document form='F'><noteinfo noteid='4' unid='" + QByteArray(32, 'A') +
           "'/><item name='Body'><richtext>" + fixtures::objectRef(QStringLiteral("EXT00001"), kPackage) +
           "</richtext></item>" + fixtures::objectItems(QStringLiteral("EXT00001"), stored, 512, 1) +
           "<item name='$FILE'><object><file hosttype='msdos' name='a.txt'><filedata>aGVsbG8=</filedata></file>"
           "</object></item></document></database>";
}

QByteArray sized(qsizetype n)
{
    QByteArray b(n, '\0');
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char(i * 31 + 7);
    return b;
}

} // namespace

class ObjectsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writtenAsTheUsersFile_data();
    void writtenAsTheUsersFile();
    void extractionNeverFollowsALink_data();
    void extractionNeverFollowsALink();
};

void ObjectsTest::writtenAsTheUsersFile_data()
{
    using fixtures::classIdBytes;
    using fixtures::compoundFile;
    using fixtures::packageNative;
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    // Set: the file is a compound file whose root has the class id and holds
    // this stream with the content (the document's own storage, made the root).
    QTest::addColumn<QByteArray>("rootStream");
    QTest::addColumn<QByteArray>("rootClass");

    const QByteArray data = sized(3000);  // more than one page of the object
    // Notes keeps the object's storage below the root, named after its class.
    auto package = [&](const QByteArray& native, const QByteArray& storage = "Package") {
        return compoundFile(classIdBytes(kPackage), {{"\001Ole10Native", native}, {"\001CompObj", "x"}}, storage);
    };
    QTest::newRow("package, ANSI label") << package(packageNative("report.txt", "C:\\docs\\report.txt", data))
                                          << "report.txt" << data << QByteArray() << QByteArray();
    QTest::newRow("package, Unicode label")
        << package(packageNative("?.txt", "C:\\docs\\?.txt", data, QStringLiteral("季度报告.txt"))) << "季度报告.txt"
        << data << QByteArray() << QByteArray();
    QTest::newRow("package, label in code page 936")
        << package(packageNative(platform::toCp936(QStringLiteral("报告.txt")), "C:\\x.txt", data)) << "报告.txt"
        << data << QByteArray() << QByteArray();
    QTest::newRow("package, no label: the source path's file")
        << package(packageNative("", "C:\\Users\\a\\plan.pdf", "%PDF-1.4")) << "plan.pdf" << QByteArray("%PDF-1.4")
        << QByteArray() << QByteArray();
    QTest::newRow("package, a label that is a path") << package(packageNative("..\\..\\evil.txt", "", "x"))
                                                      << "evil.txt" << QByteArray("x") << QByteArray() << QByteArray();
    QTest::newRow("package as the root, made elsewhere") << package(packageNative("r.txt", "", data), {}) << "r.txt"
                                                          << data << QByteArray() << QByteArray();

    const QByteArray word = classIdBytes(kWord);
    QTest::newRow("Word 97: its storage as a compound file")
        << compoundFile(word, {{"WordDocument", data}, {"1Table", "t"}}, "Word.Document.8") << "EXT00001.doc" << data
        << QByteArray("WordDocument") << word;
    QTest::newRow("Word 97 as the root") << compoundFile(word, {{"WordDocument", data}}) << "EXT00001.doc" << data
                                         << QByteArray("WordDocument") << word;
    QTest::newRow("Excel 2007: its Package stream")
        << compoundFile(classIdBytes(kExcel2007), {{"Package", "PK\x03\x04 xlsx"}}, "Excel.Sheet.12") << "EXT00001.xlsx"
        << QByteArray("PK\x03\x04 xlsx") << QByteArray() << QByteArray();
    QTest::newRow("Acrobat: its CONTENTS stream")
        << compoundFile(classIdBytes(kAcrobat), {{"CONTENTS", "%PDF-1.7 " + data}}, "AcroExch.Document")
        << "EXT00001.pdf" << "%PDF-1.7 " + data << QByteArray() << QByteArray();

    QTest::newRow("unknown class: its storage as a compound file")
        << compoundFile(classIdBytes(kUnknown), {{"Data", "d"}}, "Other") << "EXT00001" << QByteArray("d")
        << QByteArray("Data") << classIdBytes(kUnknown);
    QByteArray lying = packageNative("a.txt", "", "abc");
    lying.replace("abc", "");  // the size field promises three bytes that are not there
    QTest::newRow("package with a broken header: its storage") << package(lying) << "EXT00001" << lying
                                                                << QByteArray("\001Ole10Native") << classIdBytes(kPackage);
    const QByteArray plain = sized(1024);
    QTest::newRow("no compound file: the bytes as they are") << plain << "EXT00001" << plain << QByteArray()
                                                              << QByteArray();
}

void ObjectsTest::writtenAsTheUsersFile()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, rootStream);
    QFETCH(QByteArray, rootClass);
    QTemporaryDir dir;
    writeAll(dir.filePath("o.dxl"), objectDxl(stored));
    DatabaseObject db(readDxlFile(dir.filePath("o.dxl")));
    auto rich = db.DocumentById("4")->ItemByName("Body")->AsRichText();
    QCOMPARE(rich->EmbeddedObjects(), QStringList{"EXT00001"});
    auto object = rich->EmbeddedObject("EXT00001");
    QVERIFY(object);
    QCOMPARE(object->Name(), QStringLiteral("EXT00001"));
    QCOMPARE(object->FileName(), name);
    const QString target = dir.filePath("out");
    object->ExtractTo(target);
    const QByteArray got = readAll(target);
    QCOMPARE(object->FileSize(), qint64(got.size()));
    if (rootStream.isEmpty()) {
        QCOMPARE(got, content);
        return;
    }
    QByteArray cls;
    QCOMPARE(fixtures::rootStream(got, rootStream, &cls), content);
    QCOMPARE(cls.toHex(), rootClass.toHex());
}

void ObjectsTest::extractionNeverFollowsALink_data()
{
    QTest::addColumn<QString>("planted");
    QTest::addColumn<QString>("expected");  // the error's text; empty: written
    QTest::newRow("link to a file") << "link" << "符号链接";
    QTest::newRow("dangling link") << "dangling" << "符号链接";
    QTest::newRow("FIFO") << "fifo" << "非普通文件";
    QTest::newRow("longer regular file: replaced") << "file" << "";
}

void ObjectsTest::extractionNeverFollowsALink()
{
    QFETCH(QString, planted);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    writeAll(dir.filePath("o.dxl"), objectDxl(sized(600)));
    DatabaseObject db(readDxlFile(dir.filePath("o.dxl")));
    auto attachment = db.DocumentById("4")->Attachment("a.txt");
    const QString target = dir.filePath("a.txt");
    const QString elsewhere = dir.filePath("elsewhere.txt");
    const QByteArray t = QFile::encodeName(target), e = QFile::encodeName(elsewhere);
    if (planted == "link") {
        writeAll(elsewhere, "keep me");
        QCOMPARE(::symlink(e.constData(), t.constData()), 0);
    } else if (planted == "dangling") {
        QCOMPARE(::symlink(e.constData(), t.constData()), 0);
    } else if (planted == "fifo") {
        QCOMPARE(::mkfifo(t.constData(), 0600), 0);
    } else {
        writeAll(target, "a much longer earlier content");
    }
    QString error;
    try {
        attachment->ExtractTo(target);
    } catch (const platform::Error& x) {
        error = x.text();
    }
    if (expected.isEmpty()) {
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(readAll(target), QByteArray("hello"));
        return;
    }
    QVERIFY2(error.contains(expected) && error.contains(target), qPrintable(error));
    if (planted == "link")
        QCOMPARE(readAll(elsewhere), QByteArray("keep me"));
    QVERIFY(!QFileInfo::exists(elsewhere) || planted == "link");
    struct stat st{};
    QCOMPARE(::lstat(t.constData(), &st), 0);  // what was planted is left as it was
    QVERIFY(!S_ISREG(st.st_mode));
}

QTEST_GUILESS_MAIN(ObjectsTest)
#include "tst_objects.moc"
