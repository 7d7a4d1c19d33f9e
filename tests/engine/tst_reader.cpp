// The DXL reader: every value form, note identity, and the refusal of broken
// and hostile files with their own texts.
#include "domino/dominoobjects.h"
#include "engine/dbcache.h"
#include "engine/dxlreader.h"
#include "engine/notecontext.h"
#include "engine/objects.h"
#include "platform/error.h"
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include "platform/files.h"
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace engine;
using domino::NotesDateTime;
using domino::NotesValue;
using domino::NotesValueList;

namespace {
const QString kValues = QStringLiteral(QUILLET_TEST_DATA "/engine/values.dxl");

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write fixture");
    f.write(bytes);
    return path;
}

QString failureOf(const QString& path)
{
    try {
        readDxlFile(path);
    } catch (const platform::Error& e) {
        return e.text();
    }
    return {};
}

NotesDateTime dt(QDate d, QTime t, std::optional<int> off)
{
    NotesDateTime x;
    x.date = d;
    x.time = t;
    x.offsetSeconds = off;
    return x;
}
} // namespace

class ReaderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void values_data();
    void values();
    void itemTypesAndOrder();
    void noteIdentity();
    void richText();
    void attachments();
    void singleNoteRoot();
    void elementsOutOfPlace();
    void failures_data();
    void failures();
    void hostileFilesFailFast_data();
    void hostileFilesFailFast();
    void cacheReopensUnchangedAndRereadsChanged();
    void attachmentBase64_data();
    void attachmentBase64();
    void extractionRefusesChangedFile_data();
    void extractionRefusesChangedFile();
    void duplicateNoteIds();
    void designAloneReadsAlike_data();
    void designAloneReadsAlike();
    void onlyRegularFilesOpen_data();
    void onlyRegularFilesOpen();
    void unfinishedTokenStopsReading_data();
    void unfinishedTokenStopsReading();
};

namespace {
QByteArray attachmentDxl(const QByteArray& filedata)
{
    return "<database><document><noteinfo noteid='4'/><item name='$FILE'><object>"
           "<file hosttype='msdos' name='a.bin'><filedata>" + filedata + "</filedata></file></object></item></document></database>";
}

// The bytes ExtractTo writes, or the error's text after "error: ".
QByteArray extracted(const QTemporaryDir& dir, const QString& dxl)
{
    const QString target = dir.filePath("a.bin");
    try {
        DatabaseObject(readDxlFile(dxl)).DocumentById("4")->Attachment("a.bin")->ExtractTo(target);
    } catch (const platform::Error& e) {
        if (QFile::exists(target))
            return "error with a file left behind";
        return "error: " + e.text().toUtf8();
    }
    QFile f(target);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
} // namespace

void ReaderTest::values_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<NotesValueList>("expected");
    const int cst = 8 * 3600;
    QTest::newRow("text with break and entities") << "Subject" << NotesValueList{QStringLiteral("第一行\nsecond & \"line\"")};
    QTest::newRow("textlist with empty") << "Tags" << NotesValueList{QStringLiteral("甲"), "b", ""};
    QTest::newRow("number") << "Amount" << NotesValueList{-12.5};
    QTest::newRow("numberlist") << "Counts" << NotesValueList{1, 2.25, 1000};
    QTest::newRow("datetime 2-digit offset") << "When"
        << NotesValueList{dt(QDate(2019, 12, 25), QTime(15, 30, 9, 370), -4 * 3600)};
    QTest::newRow("date only") << "Day" << NotesValueList{dt(QDate(2019, 12, 25), {}, std::nullopt)};
    QTest::newRow("time only") << "Clock" << NotesValueList{dt({}, QTime(8, 9, 10, 50), std::nullopt)};
    QTest::newRow("zulu") << "Zulu" << NotesValueList{dt(QDate(2019, 12, 25), QTime(15, 30, 9), 0)};
    QTest::newRow("empty datetime") << "Never" << NotesValueList{NotesDateTime{}};
    QTest::newRow("pair and date") << "Span"
        << NotesValueList{NotesValue::list({dt(QDate(2020, 1, 1), QTime(8, 0), 3600), dt(QDate(2020, 1, 1), QTime(17, 0), 3600)}),
                          dt(QDate(2020, 1, 2), {}, std::nullopt)};
    QTest::newRow("updated by") << "$UpdatedBy" << NotesValueList{QStringLiteral("CN=张伟/O=Quillet"), "CN=Admin/O=Quillet"};
    QTest::newRow("revisions") << "$Revisions"
        << NotesValueList{dt(QDate(2019, 1, 2), QTime(9, 36, 30, 320), cst), dt(QDate(2019, 1, 2), QTime(10, 36, 30, 320), cst)};
    QTest::newRow("empty textlist reads as one empty text") << "Empty" << NotesValueList{""};
    QTest::newRow("raw item is opaque") << "Mime" << NotesValueList{""};
    QTest::newRow("attachment gives its name") << "$FILE" << NotesValueList{"note.txt"};
    QTest::newRow("form from attribute") << "form" << NotesValueList{"Sample"};
    QTest::newRow("unknown item") << "NoSuchItem" << NotesValueList{};
}

void ReaderTest::values()
{
    QFETCH(QString, item);
    QFETCH(NotesValueList, expected);
    DatabaseObject db(readDxlFile(kValues));
    auto doc = db.DocumentById(QStringLiteral("8FA"));
    const NotesValueList got = doc->ItemValue(item);
    QCOMPARE(got.size(), expected.size());
    for (int i = 0; i < got.size(); ++i)
        QVERIFY2(got[i] == expected[i], qPrintable(got[i].toText() + " != " + expected[i].toText()));
}

void ReaderTest::itemTypesAndOrder()
{
    DatabaseObject db(readDxlFile(kValues));
    auto doc = db.DocumentById(QStringLiteral("8fa"));
    QCOMPARE(doc->Items(), (QStringList{"Form", "$UpdatedBy", "$Revisions", "Subject", "Tags", "Amount", "Counts", "When",
                                        "Day", "Clock", "Zulu", "Never", "Span", "Owner", "Readers", "Editors", "Empty",
                                        "Mime", "Body", "$FILE"}));
    const QList<QPair<QString, int>> types = {
        {"Subject", domino::ItemTypes::Text},      {"Amount", domino::ItemTypes::Number},
        {"When", domino::ItemTypes::DateTime},     {"Span", domino::ItemTypes::DateTime},
        {"Owner", domino::ItemTypes::Names},       {"Readers", domino::ItemTypes::Readers},
        {"Editors", domino::ItemTypes::Authors},   {"Body", domino::ItemTypes::RichText},
        {"$FILE", domino::ItemTypes::Attachment},  {"Mime", 0x19},
        {"$UpdatedBy", domino::ItemTypes::Names},
    };
    for (const auto& [name, type] : types)
        QVERIFY2(doc->ItemByName(name)->ItemType() == type, qPrintable(name));
    QVERIFY(doc->ItemByName(QStringLiteral("nothing")) == nullptr);
    QVERIFY_THROWS_EXCEPTION(platform::Error, doc->ItemByName(QStringLiteral("Subject"))->AsRichText());
}

void ReaderTest::noteIdentity()
{
    auto raw = readDxlFile(kValues);
    DatabaseObject db(raw);
    QCOMPARE(db.Title(), QStringLiteral("值的形式"));
    QCOMPARE(db.DocumentById(QStringLiteral("8FA"))->DocumentId(), QStringLiteral("8FA"));
    QCOMPARE(db.DocumentById(QStringLiteral("NT000008fe"))->DocumentId(), QStringLiteral("8FE"));
    QVERIFY_THROWS_EXCEPTION(platform::Error, db.DocumentById(QStringLiteral("999")));
    QVERIFY_THROWS_EXCEPTION(platform::Error, db.DocumentById(QStringLiteral("not hex")));
    // The third note has no note info: it gets an ID no other note has, and reads back by it.
    QCOMPARE(raw->notes.size(), size_t(3));
    const QString third = documentIdText(raw->notes[2]);
    QVERIFY(third != "8FA" && third != "8FE");
    QCOMPARE(db.DocumentById(third)->ItemValue("Form").value(0).toText(), QStringLiteral("NoInfo"));
    // Parents: the attribute, and the raw $REF note reference list.
    QVERIFY(raw->notes[1].hasParent);
    QCOMPARE(QString::fromLatin1(raw->notes[1].parent.data(), 32), QStringLiteral("AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA1"));
    QVERIFY(raw->notes[2].hasParent);
    QCOMPARE(db.DocumentById(third)->ItemValue("$REF").value(0).toText(), QString(32, u'A'));
    QCOMPARE(raw->notes[0].created.unpack().toText(), QStringLiteral("2019-01-02 09:36:30.32"));
    QCOMPARE(raw->notes[0].modified.unpack().offsetSeconds, std::optional<int>(5 * 3600 + 1800));
}

void ReaderTest::richText()
{
    DatabaseObject db(readDxlFile(kValues));
    auto body = db.DocumentById(QStringLiteral("8FA"))->ItemByName(QStringLiteral("body"))->AsRichText();
    QCOMPARE(body->PlainText(true, 0),
             QStringLiteral("The quick brown fox jumps over the lazy dog again and again.\n加粗的文字\n下一行\n\n单元格"));
    QCOMPARE(body->PlainText(true, 20),
             QStringLiteral("The quick brown fox\njumps over the lazy\ndog again and again.\n加粗的文字\n下一行\n\n单元格"));
    QCOMPARE(wrapPlainText(QStringLiteral("一二三四五六七"), false, 3), QStringLiteral("一二三\n四五六\n七"));
    QCOMPARE(wrapPlainText(QStringLiteral("a\tb"), true, 0), QStringLiteral("ab"));
    QCOMPARE(body->EmbeddedObjects(), QStringList{"note.txt"});
    QVERIFY(body->EmbeddedObject(QStringLiteral("note.txt")) != nullptr);
    QVERIFY(body->EmbeddedObject(QStringLiteral("other")) == nullptr);
    // ItemValue of rich text is its plain text, unwrapped.
    QVERIFY(db.DocumentById("8FA")->ItemValue("Body").value(0).toText().startsWith("The quick brown fox jumps over"));
}

void ReaderTest::attachments()
{
    QTemporaryDir dir;
    DatabaseObject db(readDxlFile(kValues));
    auto doc = db.DocumentById(QStringLiteral("8FA"));
    QVERIFY(doc->HasAttachments());
    auto att = doc->Attachment(QStringLiteral("note.txt"));
    QVERIFY(att);
    QCOMPARE(att->FileSize(), qint64(14));
    att->ExtractTo(dir.filePath("out.txt"));
    QFile f(dir.filePath("out.txt"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("hello, world!\n"));
    QVERIFY(doc->Attachment(QStringLiteral("missing.txt")) == nullptr);
    // A compressed attachment fails with a text that names the compression, and writes nothing.
    auto packed = db.DocumentById(QStringLiteral("8FE"))->Attachment(QStringLiteral("packed.bin"));
    QVERIFY(packed);
    try {
        packed->ExtractTo(dir.filePath("packed.bin"));
        QFAIL("extracted a huffman-compressed file");
    } catch (const platform::Error& e) {
        QVERIFY2(e.text().contains("huffman"), qPrintable(e.text()));
    }
    QVERIFY(!QFile::exists(dir.filePath("packed.bin")));
    QVERIFY(!db.DocumentById(documentIdText(db.database()->notes[2]))->HasAttachments());
}

void ReaderTest::singleNoteRoot()
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "note.xml",
        "<?xml version='1.0'?><note class='document' version='11.0'><noteinfo noteid='8fa' unid='C12585B4004B62316B135DC8E8B5B740'/>"
        "<item name='Subject'><text>Hi</text></item></note>");
    DatabaseObject db(readDxlFile(path));
    QVERIFY(db.Views().isEmpty());
    QCOMPARE(db.DocumentById("8FA")->ItemValue("Subject").value(0).toText(), QStringLiteral("Hi"));
    const QString prefixed = writeFile(dir, "prefixed.xml",
        "<dxl:document xmlns:dxl='http://www.lotus.com/dxl' form='F'><dxl:noteinfo noteid='20'/>"
        "<dxl:item dxl:name='A'><dxl:number>7</dxl:number></dxl:item></dxl:document>");
    DatabaseObject db2(readDxlFile(prefixed));
    QCOMPARE(db2.DocumentById("20")->ItemValue("A").value(0).number(), 7.0);
}

void ReaderTest::elementsOutOfPlace()
{
    // A document element inside a folder names an entry; the notes after it still read.
    QTemporaryDir dir;
    const QString path = writeFile(dir, "odd.dxl",
        "<database><folder name='F'><document unid='" + QByteArray(32, 'C') + "'><item name='X'><text>no</text></item></document></folder>"
        "<document><noteinfo noteid='8' unid='" + QByteArray(32, 'C') + "'/><item name='A'><text>yes</text></item></document>"
        "<document><noteinfo noteid='c'/><document><item name='B'/></document><item name='A'><text>outer</text></item></document>"
        "</database>");
    auto raw = readDxlFile(path);
    DatabaseObject db(raw);
    QCOMPARE(raw->notes.size(), size_t(2));
    QCOMPARE(db.DocumentById("8")->Items(), QStringList{"A"});
    QCOMPARE(db.DocumentById("C")->ItemValue("A").value(0).toText(), QStringLiteral("outer"));
    auto folder = db.ViewByName("F");
    QCOMPARE(folder->DocumentCount(), 1);
    QCOMPARE(folder->NthDocument(1)->DocumentId(), QStringLiteral("8"));
}

void ReaderTest::failures_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("数据库文件为空");
    QTest::newRow("blank") << QByteArray("  \n\n") << QStringLiteral("数据库文件为空");
    QTest::newRow("binary nsf") << QByteArray("\x1A\0\x04\0\0\0\0\0", 8) << QStringLiteral("二进制格式的NSF数据库");
    QTest::newRow("no xml") << QByteArray("hello world") << QStringLiteral("不是XML文件");
    QTest::newRow("other xml root") << QByteArray("<html><body/></html>") << QStringLiteral("根元素为<html>");
    QTest::newRow("malformed with line and column")
        << QByteArray("<database>\n<document>\n  <item name='a'></document>\n</database>")
        << QStringLiteral("第3行第20列");
    QTest::newRow("truncated") << QByteArray("<database><document><item name='a'><text>abc")
                               << QStringLiteral("文件不完整");
    QTest::newRow("comment only") << QByteArray("<?xml version='1.0'?><!-- nothing -->")
                                  << QStringLiteral("没有XML内容");
}

void ReaderTest::failures()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString text = failureOf(writeFile(dir, "db.nsf", content));
    QVERIFY2(text.contains(expected), qPrintable(text));
    QVERIFY2(text.contains(dir.filePath("db.nsf")), qPrintable(text));
    QVERIFY(failureOf(dir.filePath("missing.dxl")).contains(QStringLiteral("数据库文件不存在")));
}

void ReaderTest::hostileFilesFailFast_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QByteArray deep = "<database>";
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    QTest::newRow("deep nesting") << deep << QStringLiteral("嵌套层次过深");
    QTest::newRow("huge attribute") << "<database title='" + QByteArray(3 << 20, 'x') + "'/>"
                                    << QStringLiteral("属性值过长");
    // Each Latin-1 byte becomes two in UTF-8: the value outgrows the limit
    // though its tag in the file does not.
    QTest::newRow("huge attribute once decoded")
        << "<?xml version='1.0' encoding='ISO-8859-1'?><database title='" + QByteArray(600 << 10, '\xE9') + "'/>"
        << QStringLiteral("属性值过长");
    QByteArray laughs = "<?xml version='1.0'?><!DOCTYPE database [<!ENTITY a0 'lol'>";
    for (int i = 1; i < 12; ++i)
        laughs += QStringLiteral("<!ENTITY a%1 '&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;'>").arg(i).arg(i - 1).toLatin1();
    laughs += "]><database title='&a11;'/>";
    QTest::newRow("billion laughs") << laughs << QStringLiteral("内部DTD");
    QTest::newRow("external entity")
        << QByteArray("<!DOCTYPE database [<!ENTITY x SYSTEM 'file:///etc/passwd'>]><database title='&x;'/>")
        << QStringLiteral("内部DTD");
    QTest::newRow("undefined entity") << QByteArray("<database title='&x;'/>") << QStringLiteral("未定义的实体");
}

void ReaderTest::hostileFilesFailFast()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = writeFile(dir, "bad.dxl", content);
    QElapsedTimer t;
    t.start();
    const QString text = failureOf(path);
    QVERIFY2(text.contains(expected), qPrintable(text));
    QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
}

void ReaderTest::cacheReopensUnchangedAndRereadsChanged()
{
    QTemporaryDir dir;
    const QByteArray v1 = "<database><document><noteinfo noteid='4'/><item name='A'><text>one</text></item></document></database>";
    const QString path = writeFile(dir, "c.dxl", v1);
    DatabasePtr first = openDatabaseFile(path);
    QElapsedTimer t;
    t.start();
    DatabasePtr again = openDatabaseFile(path);
    QVERIFY(t.nsecsElapsed() < 1000000);
    QCOMPARE(again.get(), first.get());
    QTest::qWait(20);  // a later modification time
    writeFile(dir, "c.dxl", QByteArray(v1).replace("one", "two!"));
    DatabasePtr changed = openDatabaseFile(path);
    QVERIFY(changed.get() != first.get());
    QCOMPARE(DatabaseObject(changed).DocumentById("4")->ItemValue("A").value(0).toText(), QStringLiteral("two!"));
    clearDatabaseCache();
}

void ReaderTest::attachmentBase64_data()
{
    QTest::addColumn<QByteArray>("filedata");
    QTest::addColumn<QByteArray>("expected");
    QByteArray large(1600000, '\0');  // more than one read block
    for (qsizetype i = 0; i < large.size(); ++i)
        large[i] = char((i * 7919) >> 3);
    QByteArray lines;
    const QByteArray encoded = large.toBase64();
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        lines += encoded.mid(i, 76) + '\n';
    QTest::newRow("one byte, padded") << QByteArray("QQ==") << QByteArray("A");
    QTest::newRow("two bytes, padded") << QByteArray("QUI=") << QByteArray("AB");
    QTest::newRow("two bytes, unpadded") << QByteArray("QUI") << QByteArray("AB");
    QTest::newRow("groups across lines and blanks") << QByteArray("\nSGVs\n bG\r\n8=\n") << QByteArray("Hello");
    QTest::newRow("large, in lines") << lines << large;
    QTest::newRow("data after padding") << QByteArray("QQ==QQ==") << QByteArray("error: 附件数据已损坏(base64格式错误)");
    QTest::newRow("not base64") << QByteArray("QQ*=") << QByteArray("error: 附件数据已损坏(base64格式错误)");
}

void ReaderTest::attachmentBase64()
{
    QFETCH(QByteArray, filedata);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    const QByteArray got = extracted(dir, writeFile(dir, "a.dxl", attachmentDxl(filedata)));
    QVERIFY2(got.startsWith(expected) && (got.startsWith("error") || got.size() == expected.size()),
             got.left(200).constData());
}

// The database's file stays open between extractions; a file changed or gone
// since it was read must still be refused, as its byte ranges no longer hold.
void ReaderTest::extractionRefusesChangedFile_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("rewritten in place") << "rewrite" << QByteArray("error: 数据库文件在打开后已被修改");
    QTest::newRow("replaced by another file") << "replace" << QByteArray("error: 数据库文件在打开后已被修改");
    QTest::newRow("deleted") << "delete" << QByteArray("error: 数据库文件已不存在");
    QTest::newRow("touched only") << "touch" << QByteArray("error: 数据库文件在打开后已被修改");
}

void ReaderTest::extractionRefusesChangedFile()
{
    QFETCH(QString, change);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    const QByteArray dxl = attachmentDxl("SGVsbG8=");
    const QString path = writeFile(dir, "a.dxl", dxl);
    DatabasePtr db = readDxlFile(path);
    auto attachment = DatabaseObject(db).DocumentById("4")->Attachment("a.bin");
    const QString target = dir.filePath("a.bin");
    attachment->ExtractTo(target);  // opens the file for the extractions to come
    QTest::qWait(20);               // a later modification time
    if (change == "rewrite") {
        writeFile(dir, "a.dxl", QByteArray(dxl).replace("SGVsbG8=", "SGVsbG8gd29ybGQ="));
    } else if (change == "replace") {
        const QString other = writeFile(dir, "b.dxl", dxl + ' ');
        QCOMPARE(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
    } else if (change == "delete") {
        QVERIFY(QFile::remove(path));
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    }
    QFile::remove(target);
    QByteArray got;
    try {
        attachment->ExtractTo(target);
        got = "extracted";
    } catch (const platform::Error& e) {
        got = "error: " + e.text().toUtf8();
    }
    QVERIFY2(got.startsWith(expected), got.constData());
    QVERIFY(!QFile::exists(target));
}

// A file made from two exports: two documents with one note ID are both
// read; the ID finds the first, the UNID either.
void ReaderTest::duplicateNoteIds()
{
    QTemporaryDir dir;
    const QByteArray a(32, 'A'), b(32, 'B');
    const QString path = writeFile(dir, "dup.dxl",
        "<database><document><noteinfo noteid='8fe' unid='" + a + "'/><item name='S'><text>first</text></item></document>"
        "<document><noteinfo noteid='8fe' unid='" + b + "'/><item name='S'><text>second</text></item></document></database>");
    DatabaseObject db(readDxlFile(path));
    QCOMPARE(db.database()->notes.size(), size_t(2));
    auto byId = db.DocumentById("8FE");
    QCOMPARE(byId->ItemValue("S").value(0).toText(), QStringLiteral("first"));
    QCOMPARE(byId->UniversalID(), QString::fromLatin1(a));
    auto second = db.DocumentById(QString::fromLatin1(b).toLower());
    QCOMPARE(second->ItemValue("S").value(0).toText(), QStringLiteral("second"));
    QCOMPARE(second->DocumentId(), QStringLiteral("8FE"));
}

// One design note exported alone, or a database of designs: the same design
// reads the same whether it comes as its own element or as a note.
void ReaderTest::designAloneReadsAlike_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("views");
    QTest::newRow("form as <form>") << QByteArray("<form name='F' xmlns='http://www.lotus.com/dxl'><body/></form>") << QStringList();
    QTest::newRow("form as a note") << QByteArray("<note class='form'><item name='$TITLE'><text>F</text></item></note>") << QStringList();
    QTest::newRow("agent, prefixed") << QByteArray("<dxl:agent xmlns:dxl='http://www.lotus.com/dxl' name='A'/>") << QStringList();
    QTest::newRow("view without a name") << QByteArray("<view><column itemname='S'/></view>") << QStringList{""};
    QTest::newRow("compiled view without a title") << QByteArray("<note class='view'><item name='$TITLE'><text/></item></note>")
                                                  << QStringList{""};
    QTest::newRow("both kinds, titled and not")
        << QByteArray("<database><note class='view'><item name='$TITLE'><text>T</text></item></note>"
                      "<note class='view'/><view name=''/><view name='V'/></database>")
        << QStringList{"T", "", "", "V"};
}

void ReaderTest::designAloneReadsAlike()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, views);
    QTemporaryDir dir;
    DatabaseObject db(readDxlFile(writeFile(dir, "design.xml", content)));
    QCOMPARE(db.Views(), views);
    if (views.contains(QString()))
        QVERIFY(db.database()->viewIndexOf(QString()) >= 0);
}

// Only a regular file is a database: a FIFO would block the open forever.
void ReaderTest::onlyRegularFilesOpen_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("FIFO") << "fifo" << QStringLiteral("命名管道");
    QTest::newRow("socket") << "socket" << QStringLiteral("套接字");
    QTest::newRow("device") << "device" << QStringLiteral("设备");
    QTest::newRow("symlink loop") << "loop" << QStringLiteral("循环的符号链接");
}

void ReaderTest::onlyRegularFilesOpen()
{
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QString path = dir.filePath("db.dxl");
    const QByteArray p = QFile::encodeName(path);
    int sock = -1;
    if (kind == "fifo") {
        QCOMPARE(::mkfifo(p.constData(), 0600), 0);
    } else if (kind == "socket") {
        sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (size_t(p.size()) >= sizeof addr.sun_path)
            QSKIP("temporary folder path too long for a socket");
        std::memcpy(addr.sun_path, p.constData(), size_t(p.size()));
        QCOMPARE(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    } else if (kind == "device") {
        path = QStringLiteral("/dev/null");
    } else {
        QCOMPARE(::symlink("db.dxl", p.constData()), 0);
    }
    QElapsedTimer t;
    t.start();
    const QString text = failureOf(path);
    const QString cached = [&] {
        try {
            openDatabaseFile(path);
        } catch (const platform::Error& e) {
            return e.text();
        }
        return QString();
    }();
    // The standalone-file dialog's lock test opens the file first.
    platform::canOpenExclusively(path);
    if (sock >= 0)
        ::close(sock);
    QVERIFY2(text.contains(expected) && text.contains(path), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("不存在")));
    QCOMPARE(cached, text);
    QVERIFY(t.elapsed() < 2000);
}

// A token still open past the limit stops the reading there: the parser never
// holds more of it, whatever the stream's length.
void ReaderTest::unfinishedTokenStopsReading_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("filler");  // repeated for ever after the head
    QTest::newRow("attribute value") << QByteArray("<database><document form='") << QByteArray("x");
    QTest::newRow("start tag of many attributes") << QByteArray("<database><document") << QByteArray(" a='b'");
    QTest::newRow("comment") << QByteArray("<database><!--") << QByteArray("c");
}

void ReaderTest::unfinishedTokenStopsReading()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, filler);
    constexpr qint64 kEndless = qint64(4) << 30;  // 4 GiB, were it read to its end
    qint64 given = 0;
    auto read = [&](char* buf, qint64 capacity) {
        const qint64 n = std::min(capacity, kEndless - given);
        for (qint64 i = 0; i < n; ++i) {
            const qint64 at = given + i;
            buf[i] = at < head.size() ? head[at] : filler[(at - head.size()) % filler.size()];
        }
        given += n;
        return n;
    };
    QString text;
    try {
        readDxlStream(read, QStringLiteral("stream.dxl"));
    } catch (const platform::Error& e) {
        text = e.text();
    }
    QVERIFY2(text.contains(QStringLiteral("标记过长")) && text.contains(QStringLiteral("stream.dxl")), qPrintable(text));
    QVERIFY2(given <= kMaxTokenBytes + (16 << 20), qPrintable(QString::number(given)));
}

QTEST_GUILESS_MAIN(ReaderTest)
#include "tst_reader.moc"
