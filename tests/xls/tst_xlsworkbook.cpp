// The workbook writers, checked by reading every file back with xlrd or
// openpyxl (and with Gnumeric and LibreOffice where installed): what a reader
// finds must be what was written; and the records of the .xls writer, listed
// by a record dumper, in the order Excel expects them.
#include "platform/error.h"
#include "xls/compoundfile.h"
#include "xls/excelapplication.h"
#include "xls/workbook.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using xls::ExcelApplication;

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

QJsonObject runScript(const char* script, const QString& path, const QString& mode = QString())
{
    QProcess p;
    QStringList args{QStringLiteral(QUILLET_SOURCE_DIR "/tests/xls/") + QLatin1String(script), path};
    if (!mode.isEmpty())
        args << mode;
    p.start(kPython, args);
    if (!p.waitForFinished(240000) || p.exitCode() != 0) {
        qWarning().noquote() << p.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QJsonObject readBack(const QString& path, const QString& mode = QString()) { return runScript("readback.py", path, mode); }
QJsonObject readBackXlsx(const QString& path, const QString& mode = QString())
{
    return runScript("readback_xlsx.py", path, mode);
}

// A substream's records as "NAME" or "NAME*count" for a run of one name.
QStringList recordNames(const QJsonArray& records)
{
    QStringList out;
    for (const QJsonValue& v : records) {
        const QJsonArray r = v.toArray();
        const int n = r.at(2).toInt();
        out << (n > 1 ? r.at(0).toString() + u'*' + QString::number(n) : r.at(0).toString());
    }
    return out;
}

// LibreOffice converts path into a file of the given type in a folder of
// its own; returns the new file, or an empty string after a failure.
QString convertWithLibreOffice(const QString& path, const QString& type, const QTemporaryDir& scratch)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/soffice"),
            {QStringLiteral("-env:UserInstallation=file://%1/profile").arg(scratch.path()), QStringLiteral("--headless"),
             QStringLiteral("--convert-to"), type, QStringLiteral("--outdir"), scratch.filePath(QStringLiteral("out")), path});
    if (!p.waitForFinished(180000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    const QString out = scratch.filePath(QStringLiteral("out/") + QFileInfo(path).completeBaseName() + u'.' + type.section(u':', 0, 0));
    return p.exitCode() == 0 && QFile::exists(out) ? out : QString();
}

// A device that keeps nothing: it counts what is written where, for the
// size of a file too large to write in a test.
class NullSink : public QIODevice {
public:
    qint64 size() const override { return size_; }
    bool isSequential() const override { return false; }
    bool seek(qint64 pos) override
    {
        QIODevice::seek(pos);
        return true;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override
    {
        size_ = std::max(size_, pos() + len);
        return len;
    }

private:
    qint64 size_ = 0;
};

QJsonObject sheet(const QJsonObject& book, int index)
{
    const QJsonArray sheets = book[QStringLiteral("sheets")].toArray();
    return index <= sheets.size() ? sheets.at(index - 1).toObject() : QJsonObject();
}

// Cell (row, column) of a sheet read back, or an empty object when absent.
QJsonObject cell(const QJsonObject& s, int row, int column)
{
    for (const QJsonValue& v : s[QStringLiteral("cells")].toArray()) {
        const QJsonObject c = v.toObject();
        if (c[QStringLiteral("r")].toInt() == row && c[QStringLiteral("c")].toInt() == column)
            return c;
    }
    return {};
}

std::unique_ptr<ExcelApplication> newWorkbook()
{
    auto excel = xls::CreateExcelApplication();
    excel->AddWorkbook();
    return excel;
}

QString repeated(const QString& unit, int length) { return unit.repeated(length / unit.size() + 1).left(length); }

} // namespace

class TestXlsWorkbook : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void newWorkbookHasThreeSheets();
    void recordLayout();
    void continuedWorkbookOpensOnFirstSheet();
    void streamCapKeepsFileWithin2GB();
    void cellsPastTheCapAreRefused();
    void xlsxReadBack();
    void xlsxFullSheetAndContinue();
    void cellValues_data();
    void cellValues();
    void sharedStringsAreDeduplicated();
    void textFormat();
    void columnWidths();
    void interleavedSheets();
    void fullSheetNeedsDifat();
    void refusedCalls_data();
    void refusedCalls();
    void failedSaveLeavesNoFile_data();
    void failedSaveLeavesNoFile();
    void saveAgainAndReplace();
    void spreadsheetsReadIt_data();
    void spreadsheetsReadIt();

private:
    QTemporaryDir dir_;
};

void TestXlsWorkbook::initTestCase()
{
    QVERIFY(dir_.isValid());
    if (!QFile::exists(kPython))
        QSKIP("/usr/bin/python3 is missing");
    if (QProcess::execute(kPython, {QStringLiteral("-c"), QStringLiteral("import xlrd")}) != 0)
        QSKIP("python3-xlrd is missing");
}

void TestXlsWorkbook::newWorkbookHasThreeSheets()
{
    auto excel = newWorkbook();
    QCOMPARE(excel->SheetCount(), 3);
    const QString path = dir_.filePath(QStringLiteral("empty.xls"));
    excel->SaveAs(path);
    QJsonObject book = readBack(path);
    QCOMPARE(book[QStringLiteral("biff")].toInt(), 80);
    QCOMPARE(book[QStringLiteral("cfb")].toObject()[QStringLiteral("signature")].toString(), QStringLiteral("d0cf11e0a1b11ae1"));
    QCOMPARE(book[QStringLiteral("sheets")].toArray().size(), 3);
    for (int i = 1; i <= 3; ++i) {
        QCOMPARE(sheet(book, i)[QStringLiteral("name")].toString(), QStringLiteral("Sheet%1").arg(i));
        QCOMPARE(sheet(book, i)[QStringLiteral("selected")].toBool(), i == 1);
        QCOMPARE(sheet(book, i)[QStringLiteral("nrows")].toInt(), 0);
    }

    // Activating sheet 5 adds Sheet4 and Sheet5; the workbook still opens on
    // the first.
    excel->ActivateSheet(5);
    QCOMPARE(excel->SheetCount(), 5);
    excel->SetValue(1, 1, QStringLiteral("x"));
    excel->SaveAs(path);
    book = readBack(path);
    QCOMPARE(book[QStringLiteral("sheets")].toArray().size(), 5);
    QCOMPARE(sheet(book, 5)[QStringLiteral("name")].toString(), QStringLiteral("Sheet5"));
    QVERIFY(!sheet(book, 5)[QStringLiteral("selected")].toBool());
    QVERIFY(sheet(book, 1)[QStringLiteral("selected")].toBool());
    QCOMPARE(cell(sheet(book, 5), 1, 1)[QStringLiteral("v")].toString(), QStringLiteral("x"));
}

void TestXlsWorkbook::recordLayout()
{
    // A header row with a text-formatted title and widths, as the export
    // writes it, and one data row; sheets 2 and 3 stay empty.
    auto excel = newWorkbook();
    excel->SetColumnWidth(1, 40);
    excel->SetColumnWidth(2, 40);
    excel->SetColumnWidth(3, 13);
    excel->SetNumberFormatLocal(1, 3, QStringLiteral("@"));
    excel->SetValue(1, 1, QStringLiteral("文档ID"));
    excel->SetValue(1, 2, QStringLiteral("Subject"));
    excel->SetValue(1, 3, QStringLiteral("123"));
    excel->SetValue(2, 1, QStringLiteral("0001A2"));
    excel->SetValue(2, 2, QStringLiteral("季度报告"));
    const QString path = dir_.filePath(QStringLiteral("records.xls"));
    excel->SaveAs(path);
    const QJsonObject dump = runScript("records.py", path);
    QCOMPARE(dump[QStringLiteral("streams")].toArray().toVariantList(),
             (QVariantList{QStringLiteral("Workbook"), QStringLiteral("\x05SummaryInformation"),
                           QStringLiteral("\x05" "DocumentSummaryInformation")}));
    const QStringList globals{
        "BOF", "INTERFACEHDR", "MMS", "INTERFACEEND", "WRITEACCESS", "CODEPAGE", "DSF", "TABID", "FNGROUPCOUNT",
        "WINDOWPROTECT", "PROTECT", "PASSWORD", "PROT4REV", "PROT4REVPASS", "WINDOW1", "BACKUP", "HIDEOBJ",
        "DATE1904", "PRECISION", "REFRESHALL", "BOOKBOOL", "FONT*5", "FORMAT*8", "XF*17", "STYLE", "USESELFS",
        "BOUNDSHEET*3", "COUNTRY", "SST", "EXTSST", "EOF"};
    QCOMPARE(recordNames(dump[QStringLiteral("globals")].toArray()), globals);
    const QStringList head{"BOF", "INDEX", "CALCMODE", "CALCCOUNT", "REFMODE", "ITERATION", "DELTA", "SAVERECALC",
                           "PRINTHEADERS", "PRINTGRIDLINES", "GRIDSET", "GUTS", "DEFAULTROWHEIGHT", "WSBOOL",
                           "HEADER", "FOOTER", "HCENTER", "VCENTER", "SETUP", "DEFCOLWIDTH"};
    const QStringList tail{"WINDOW2", "SELECTION", "EOF"};
    const QJsonArray sheets = dump[QStringLiteral("sheets")].toArray();
    QCOMPARE(sheets.size(), 3);
    // Columns 1 and 2 share one COLINFO; the cells come as one block of rows.
    QCOMPARE(recordNames(sheets.at(0).toArray()),
             head + (QStringList{"COLINFO*2", "DIMENSIONS", "ROW*2", "LABELSST*5", "DBCELL"}) + tail);
    QCOMPARE(recordNames(sheets.at(1).toArray()), head + QStringList(QStringLiteral("DIMENSIONS")) + tail);
    QCOMPARE(recordNames(sheets.at(2).toArray()), head + QStringList(QStringLiteral("DIMENSIONS")) + tail);
    const QJsonObject s = sheet(readBack(path), 1);
    QCOMPARE(s[QStringLiteral("widths")].toObject()[QStringLiteral("2")].toInt(), 40 * 256);
    QCOMPARE(s[QStringLiteral("widths")].toObject()[QStringLiteral("3")].toInt(), 13 * 256);
    QCOMPARE(cell(s, 1, 3)[QStringLiteral("f")].toString(), QStringLiteral("@"));

    // 256 different widths make 256 runs: the last two columns share one
    // COLINFO, the wider width.
    auto wide = newWorkbook();
    for (int c = 1; c <= 256; ++c)
        wide->SetColumnWidth(c, c % 200 + 1);
    wide->SaveAs(path);
    const QJsonObject counts = runScript("records.py", path)[QStringLiteral("counts")].toArray().at(1).toObject();
    QCOMPARE(counts[QStringLiteral("COLINFO")].toInt(), 255);
    const QJsonObject widths = sheet(readBack(path), 1)[QStringLiteral("widths")].toObject();
    QCOMPARE(widths[QStringLiteral("254")].toInt(), (254 % 200 + 1) * 256);
    QCOMPARE(widths[QStringLiteral("255")].toInt(), (256 % 200 + 1) * 256);
    QCOMPARE(widths[QStringLiteral("256")].toInt(), (256 % 200 + 1) * 256);
}

void TestXlsWorkbook::continuedWorkbookOpensOnFirstSheet()
{
    // As the export writes 65,536 documents: 65,535 on Sheet1 below the
    // header, the last one on Sheet2 under a header of its own.
    auto excel = newWorkbook();
    for (int row = 1; row <= xls::kMaxRows; ++row)
        excel->SetValue(row, 1, QString::number(row));
    excel->ActivateSheet(2);
    excel->SetValue(1, 1, QStringLiteral("文档ID"));
    excel->SetValue(2, 1, QStringLiteral("65536"));
    const QString path = dir_.filePath(QStringLiteral("continued.xls"));
    excel->SaveAs(path);

    const QJsonObject dump = runScript("records.py", path);
    const QJsonArray counts = dump[QStringLiteral("counts")].toArray();
    const QJsonObject first = counts.at(1).toObject();
    QCOMPARE(first[QStringLiteral("ROW")].toInt(), xls::kMaxRows);
    QCOMPARE(first[QStringLiteral("LABELSST")].toInt(), xls::kMaxRows);
    QCOMPARE(first[QStringLiteral("DBCELL")].toInt(), xls::kMaxRows / 32);
    QCOMPARE(first[QStringLiteral("INDEX")].toInt(), 1);
    QCOMPARE(first[QStringLiteral("WSBOOL")].toInt(), 1);
    const QStringList second = recordNames(dump[QStringLiteral("sheets")].toArray().at(1).toArray());
    QCOMPARE(second.mid(second.indexOf(QStringLiteral("DIMENSIONS"))),
             (QStringList{"DIMENSIONS", "ROW*2", "LABELSST*2", "DBCELL", "WINDOW2", "SELECTION", "EOF"}));

    // xlrd: the first sheet is the selected one (and the one shown).
    const QJsonObject book = readBack(path);
    QVERIFY(sheet(book, 1)[QStringLiteral("selected")].toBool());
    QVERIFY(!sheet(book, 2)[QStringLiteral("selected")].toBool());
    QCOMPARE(sheet(book, 1)[QStringLiteral("nrows")].toInt(), xls::kMaxRows);
    QCOMPARE(cell(sheet(book, 2), 2, 1)[QStringLiteral("v")].toString(), QStringLiteral("65536"));

    // LibreOffice opens it on Sheet1 too.
    if (!QFile::exists(QStringLiteral("/usr/bin/soffice")))
        QSKIP("LibreOffice is not installed");
    QTemporaryDir scratch;
    const QString xlsx = convertWithLibreOffice(path, QStringLiteral("xlsx"), scratch);
    QVERIFY(!xlsx.isEmpty());
    QCOMPARE(readBackXlsx(xlsx, QStringLiteral("count"))[QStringLiteral("active")].toInt(), 0);
}

void TestXlsWorkbook::streamCapKeepsFileWithin2GB()
{
    // The largest stream with nothing beside it, and with the summary
    // streams of a workbook.
    QCOMPARE(xls::CompoundFileWriter::maxStreamSize({}), Q_UINT64_C(2130573312));
    const std::vector<xls::CompoundFileWriter::SmallStream> small{{QStringLiteral("a"), QByteArray(100, 'a')},
                                                                  {QStringLiteral("b"), QByteArray(300, 'b')}};
    const std::uint64_t cap = xls::CompoundFileWriter::maxStreamSize(small);
    QVERIFY(cap < Q_UINT64_C(2130573312));

    // A stream of exactly that size gives a file within 2 GB; one byte more
    // is refused before anything is written past it.
    NullSink sink;
    QVERIFY(sink.open(QIODevice::WriteOnly));
    xls::CompoundFileWriter out(sink, QStringLiteral("Workbook"), small);
    std::vector<char> block(1 << 20, 'x');
    std::uint64_t left = cap;
    while (left > 0) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(left, block.size()));
        out.write(block.data(), n);
        left -= n;
    }
    QVERIFY_THROWS_EXCEPTION(platform::Error, out.write("x", 1));
    QCOMPARE(out.position(), cap);
    out.finish();
    QVERIFY2(std::uint64_t(sink.size()) <= xls::CompoundFileWriter::kMaxFileSize, qPrintable(QString::number(sink.size())));
    QVERIFY(std::uint64_t(sink.size()) > xls::CompoundFileWriter::kMaxFileSize - 512 * 260);
}

void TestXlsWorkbook::cellsPastTheCapAreRefused()
{
    // With the Workbook stream bounded at 300 KB, cells go in until one could
    // pass the bound; that one is refused with a message, the workbook saves
    // within the bound and holds every cell accepted.
    constexpr std::uint64_t cap = 300 * 1024;
    xls::Workbook book(cap);
    int accepted = 0;
    QString message;
    try {
        for (int row = 1; row <= xls::kMaxRows; ++row) {
            for (int c = 1; c <= 10; ++c) {
                book.setValue(row, c, QStringLiteral("r%1c%2").arg(row).arg(c));
                ++accepted;
            }
        }
    } catch (const platform::Error& e) {
        message = e.text();
    }
    QVERIFY(message.contains(QStringLiteral("2 GB")));
    QVERIFY(accepted > 1000);
    QVERIFY(book.maxStreamSize() <= cap);
    const QString path = dir_.filePath(QStringLiteral("capped.xls"));
    book.save(path);
    QVERIFY(QFileInfo(path).size() <= qint64(cap + 512 * 8));
    const QJsonObject s = sheet(readBack(path, QStringLiteral("pattern")), 1);
    QCOMPARE(s[QStringLiteral("cells")].toInt() - s[QStringLiteral("bad")].toInt() + 0, accepted + 0);
    QCOMPARE(s[QStringLiteral("bad")].toInt(), (10 - accepted % 10) % 10); // the last row's missing cells
}

void TestXlsWorkbook::xlsxReadBack()
{
    auto excel = xls::CreateXlsxApplication();
    QCOMPARE(excel->Limits().rows, 1048576);
    QCOMPARE(excel->Limits().columns, 16384);
    excel->AddWorkbook();
    QCOMPARE(excel->SheetCount(), 3);
    excel->SetColumnWidth(1, 40);
    excel->SetColumnWidth(2, 17);
    excel->SetColumnWidth(3, 0);
    excel->SetNumberFormatLocal(1, 3, QStringLiteral("@")); // before the value
    excel->SetValue(1, 3, QStringLiteral("123"));
    excel->SetValue(1, 2, QStringLiteral("Subject"));       // columns in any order
    excel->SetValue(1, 1, QStringLiteral("文档ID"));
    excel->SetValue(1, 4, QStringLiteral("456"));
    excel->SetNumberFormatLocal(1, 4, QStringLiteral("@")); // after it
    excel->SetValue(2, 1, QStringLiteral("0001A2"));
    excel->SetValue(2, 2, QStringLiteral("季度报告 Café 😀"));
    excel->SetValue(2, 3, QStringLiteral("007"));
    // Characters XML cannot hold go as Excel's escapes, and so does an
    // underscore that would read as one (openpyxl shows them undecoded;
    // Excel and LibreOffice decode them).
    excel->SetValue(2, 4, QStringLiteral("a\x01" "b\tc\nd _x0041_ e_f"));
    excel->SetValue(3, 1, repeated(QStringLiteral("长文本"), 32767));
    excel->SetValue(3, 2, QStringLiteral("gone"));
    excel->SetValue(3, 2, QString()); // emptied again
    QVERIFY_THROWS_EXCEPTION(platform::Error, excel->SetValue(2, 1, QStringLiteral("row left")));
    QVERIFY_THROWS_EXCEPTION(platform::Error, excel->SetValue(4, 1, QString(32768, u'x')));
    QVERIFY_THROWS_EXCEPTION(platform::Error, excel->SetValue(4, 16385, QStringLiteral("x")));
    excel->ActivateSheet(4);
    excel->SetValue(1, 16384, QStringLiteral("last column"));

    const QString path = dir_.filePath(QStringLiteral("book.xlsx"));
    excel->SaveAs(path);
    QJsonObject book = readBackXlsx(path);
    QCOMPARE(book[QStringLiteral("active")].toInt(), 0);
    const QJsonArray sheets = book[QStringLiteral("sheets")].toArray();
    QCOMPARE(sheets.size(), 4);
    QCOMPARE(sheets.at(3).toObject()[QStringLiteral("name")].toString(), QStringLiteral("Sheet4"));
    const QJsonObject s = sheets.at(0).toObject();
    auto value = [&](int r, int c) { return cell(s, r, c)[QStringLiteral("v")].toString(); };
    auto format = [&](int r, int c) { return cell(s, r, c)[QStringLiteral("f")].toString(); };
    QCOMPARE(value(1, 1), QStringLiteral("文档ID"));
    QCOMPARE(value(1, 2), QStringLiteral("Subject"));
    QCOMPARE(value(1, 3), QStringLiteral("123"));
    QCOMPARE(format(1, 3), QStringLiteral("@"));
    QCOMPARE(format(1, 4), QStringLiteral("@"));
    QCOMPARE(format(1, 2), QStringLiteral("General"));
    QCOMPARE(value(2, 2), QStringLiteral("季度报告 Café 😀"));
    QCOMPARE(value(2, 3), QStringLiteral("007")); // text, never a number
    QCOMPARE(value(2, 4), QStringLiteral("a_x0001_b\tc\nd _x005F_x0041_ e_f"));
    QCOMPARE(value(3, 1), repeated(QStringLiteral("长文本"), 32767));
    QVERIFY(cell(s, 3, 2).isEmpty());
    const QJsonObject widths = s[QStringLiteral("widths")].toObject();
    QVERIFY(qAbs(widths[QStringLiteral("1")].toDouble() - 40) < 1);
    QVERIFY(qAbs(widths[QStringLiteral("2")].toDouble() - 17) < 1);
    QCOMPARE(widths[QStringLiteral("3")].toDouble(), 0.0);
    QCOMPARE(cell(sheets.at(3).toObject(), 1, 16384)[QStringLiteral("v")].toString(), QStringLiteral("last column"));

    // Saved again after more rows: the file is replaced and complete; a
    // save that fails leaves nothing behind.
    excel->ActivateSheet(1);
    excel->SetValue(5, 1, QStringLiteral("after the save"));
    excel->SaveAs(path);
    QCOMPARE(cell(readBackXlsx(path)[QStringLiteral("sheets")].toArray().at(0).toObject(), 5, 1)[QStringLiteral("v")].toString(),
             QStringLiteral("after the save"));
    QTemporaryDir target;
    QVERIFY_THROWS_EXCEPTION(platform::Error, excel->SaveAs(target.filePath(QStringLiteral("no/such/dir/a.xlsx"))));
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size(), 0);
    excel->Quit();
}

void TestXlsWorkbook::xlsxFullSheetAndContinue()
{
    // The last row and column of an .xlsx sheet take cells; past them the
    // writer refuses, as the .xls one does at its own limits.
    auto excel = xls::CreateXlsxApplication();
    excel->AddWorkbook();
    for (int row = 1; row <= 70000; ++row)
        excel->SetValue(row, 1, QStringLiteral("r%1c1").arg(row));
    excel->ActivateSheet(2);
    excel->SetValue(1048576, 16384, QStringLiteral("r1048576c16384"));
    QVERIFY_THROWS_EXCEPTION(platform::Error, excel->SetValue(1048577, 1, QStringLiteral("x")));
    const QString path = dir_.filePath(QStringLiteral("tall.xlsx"));
    excel->SaveAs(path);
    const QJsonArray sheets = readBackXlsx(path, QStringLiteral("count"))[QStringLiteral("sheets")].toArray();
    QCOMPARE(sheets.at(0).toObject()[QStringLiteral("cells")].toInt(), 70000);
    QCOMPARE(sheets.at(0).toObject()[QStringLiteral("bad")].toInt(), 0);
    QCOMPARE(sheets.at(1).toObject()[QStringLiteral("cells")].toInt(), 1);
    QCOMPARE(sheets.at(1).toObject()[QStringLiteral("bad")].toInt(), 0);
}

void TestXlsWorkbook::cellValues_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::newRow("chinese and latin") << QStringList{QStringLiteral("文档ID"), QStringLiteral("Café résumé"),
                                                       QStringLiteral("plain"), QStringLiteral("007"),
                                                       QStringLiteral("混合 mixed ü 文本")};
    QTest::newRow("empty cells between") << QStringList{QStringLiteral("a"), QString(), QStringLiteral("c")};
    QTest::newRow("32767 compressed") << QStringList{repeated(QStringLiteral("abcdé"), 32767)};
    QTest::newRow("32767 utf-16") << QStringList{repeated(QStringLiteral("中文字"), 32767)};
    // The first record holds 4106 UTF-16 units after its 11 bytes of counts and
    // header: an emoji at units 4105-4106 must move whole to the CONTINUE.
    QTest::newRow("surrogate pair at record end")
        << QStringList{repeated(QStringLiteral("中"), 4105) + QStringLiteral("😀") + repeated(QStringLiteral("文"), 9000)};
    // Many strings of random length and kind: headers and characters meet the
    // CONTINUE boundaries at every offset.
    QStringList mixed;
    QRandomGenerator rng(42);
    for (int i = 0; i < 256; ++i) {
        const int len = int(rng.bounded(1, 400));
        mixed << repeated(rng.bounded(2) ? QStringLiteral("表格数据") : QStringLiteral("latin-é"), len) + QString::number(i);
    }
    QTest::newRow("many strings across records") << mixed;
}

void TestXlsWorkbook::cellValues()
{
    QFETCH(QStringList, values);
    // Each row its own strings of the same lengths.
    auto variant = [](const QString& v, int row) { return row == 1 || v.isEmpty() ? v : QString::number(row) + v.mid(1); };
    auto excel = newWorkbook();
    // Three rows, columns written in reverse order within a row.
    for (int row = 1; row <= 3; ++row)
        for (int c = int(values.size()); c >= 1; --c)
            excel->SetValue(row, c, variant(values[c - 1], row));
    const QString path = dir_.filePath(QStringLiteral("values.xls"));
    excel->SaveAs(path);
    const QJsonObject s = sheet(readBack(path), 1);
    QCOMPARE(s[QStringLiteral("nrows")].toInt(), 3);
    for (int row = 1; row <= 3; ++row)
        for (int c = 1; c <= values.size(); ++c) {
            const QString expected = variant(values[c - 1], row);
            const QJsonObject got = cell(s, row, c);
            QCOMPARE(got[QStringLiteral("v")].toString(), expected);
            if (!expected.isEmpty())
                QCOMPARE(got[QStringLiteral("t")].toInt(), 1); // text, never a number
        }
}

void TestXlsWorkbook::sharedStringsAreDeduplicated()
{
    auto excel = newWorkbook();
    for (int row = 1; row <= 500; ++row) {
        excel->SetValue(row, 1, QStringLiteral("同一个值"));
        excel->SetValue(row, 2, QStringLiteral("same"));
        excel->SetValue(row, 3, QStringLiteral("v%1").arg(row % 7));
    }
    const QString path = dir_.filePath(QStringLiteral("dedup.xls"));
    excel->SaveAs(path);
    const QJsonObject book = readBack(path);
    QCOMPARE(book[QStringLiteral("sst")].toInt(), 2 + 7);
    QCOMPARE(cell(sheet(book, 1), 500, 3)[QStringLiteral("v")].toString(), QStringLiteral("v3"));
}

void TestXlsWorkbook::textFormat()
{
    auto excel = newWorkbook();
    excel->SetNumberFormatLocal(1, 2, QStringLiteral("@")); // before the value
    excel->SetValue(1, 2, QStringLiteral("123"));
    excel->SetValue(1, 3, QStringLiteral("456"));
    excel->SetNumberFormatLocal(1, 3, QStringLiteral("@")); // after it
    excel->SetValue(1, 4, QStringLiteral("789"));           // none
    excel->SetNumberFormatLocal(1, 5, QStringLiteral("@")); // format on an empty cell
    excel->SetNumberFormatLocal(2, 1, QStringLiteral("@"));
    excel->SetValue(2, 1, QStringLiteral("x"));
    excel->SetValue(2, 1, QStringLiteral("y")); // a second value keeps the format
    QVERIFY_THROWS_EXCEPTION(platform::Error, excel->SetNumberFormatLocal(2, 2, QStringLiteral("0.00")));
    const QString path = dir_.filePath(QStringLiteral("format.xls"));
    excel->SaveAs(path);
    const QJsonObject s = sheet(readBack(path), 1);
    QCOMPARE(cell(s, 1, 2)[QStringLiteral("f")].toString(), QStringLiteral("@"));
    QCOMPARE(cell(s, 1, 3)[QStringLiteral("f")].toString(), QStringLiteral("@"));
    QCOMPARE(cell(s, 1, 4)[QStringLiteral("f")].toString(), QStringLiteral("General"));
    QCOMPARE(cell(s, 1, 4)[QStringLiteral("v")].toString(), QStringLiteral("789"));
    QCOMPARE(cell(s, 1, 5)[QStringLiteral("f")].toString(), QStringLiteral("@"));
    QCOMPARE(cell(s, 2, 1)[QStringLiteral("f")].toString(), QStringLiteral("@"));
    QCOMPARE(cell(s, 2, 1)[QStringLiteral("v")].toString(), QStringLiteral("y"));
}

void TestXlsWorkbook::columnWidths()
{
    auto excel = newWorkbook();
    excel->SetColumnWidth(1, 40);
    excel->SetColumnWidth(2, 17);
    excel->SetColumnWidth(2, 40); // the last width set wins
    excel->SetColumnWidth(256, 255);
    excel->ActivateSheet(2);
    excel->SetColumnWidth(3, 12);
    const QString path = dir_.filePath(QStringLiteral("widths.xls"));
    excel->SaveAs(path);
    const QJsonObject book = readBack(path);
    const QJsonObject w1 = sheet(book, 1)[QStringLiteral("widths")].toObject();
    QCOMPARE(w1.size(), 3);
    QCOMPARE(w1[QStringLiteral("1")].toInt(), 40 * 256);
    QCOMPARE(w1[QStringLiteral("2")].toInt(), 40 * 256);
    QCOMPARE(w1[QStringLiteral("256")].toInt(), 255 * 256);
    const QJsonObject w2 = sheet(book, 2)[QStringLiteral("widths")].toObject();
    QCOMPARE(w2.size(), 1);
    QCOMPARE(w2[QStringLiteral("3")].toInt(), 12 * 256);
}

void TestXlsWorkbook::interleavedSheets()
{
    // As the export does past 255 items: each row goes partly to sheet 1 and
    // partly to sheet 2, switching sheets per row.
    auto excel = newWorkbook();
    for (int row = 1; row <= 3000; ++row) {
        excel->ActivateSheet(1);
        excel->SetValue(row, 1, QStringLiteral("一%1").arg(row));
        excel->SetValue(row, 256, QStringLiteral("end%1").arg(row));
        excel->ActivateSheet(2);
        excel->SetValue(row, 1, QStringLiteral("二%1").arg(row));
    }
    const QString path = dir_.filePath(QStringLiteral("interleaved.xls"));
    excel->SaveAs(path);
    const QJsonObject book = readBack(path);
    QCOMPARE(sheet(book, 1)[QStringLiteral("nrows")].toInt(), 3000);
    QCOMPARE(sheet(book, 1)[QStringLiteral("ncols")].toInt(), 256);
    QCOMPARE(sheet(book, 2)[QStringLiteral("nrows")].toInt(), 3000);
    QVERIFY(sheet(book, 1)[QStringLiteral("selected")].toBool());
    QVERIFY(!sheet(book, 2)[QStringLiteral("selected")].toBool());
    for (int row : {1, 1777, 3000}) {
        QCOMPARE(cell(sheet(book, 1), row, 1)[QStringLiteral("v")].toString(), QStringLiteral("一%1").arg(row));
        QCOMPARE(cell(sheet(book, 1), row, 256)[QStringLiteral("v")].toString(), QStringLiteral("end%1").arg(row));
        QCOMPARE(cell(sheet(book, 2), row, 1)[QStringLiteral("v")].toString(), QStringLiteral("二%1").arg(row));
    }
}

void TestXlsWorkbook::fullSheetNeedsDifat()
{
    // 65,536 rows of 10 distinct cells: about 15 MB, more than the 109 FAT
    // sectors of the header can map.
    auto excel = newWorkbook();
    for (int row = 1; row <= xls::kMaxRows; ++row)
        for (int c = 1; c <= 10; ++c)
            excel->SetValue(row, c, QStringLiteral("r%1c%2").arg(row).arg(c));
    QVERIFY_THROWS_EXCEPTION(platform::Error, excel->SetValue(xls::kMaxRows + 1, 1, QStringLiteral("x")));
    const QString path = dir_.filePath(QStringLiteral("full.xls"));
    excel->SaveAs(path);
    QVERIFY(QFileInfo(path).size() > 7 * 1024 * 1024);
    const QJsonObject book = readBack(path, QStringLiteral("pattern"));
    QVERIFY(book[QStringLiteral("cfb")].toObject()[QStringLiteral("difatSectors")].toInt() > 0);
    const QJsonObject s = sheet(book, 1);
    QCOMPARE(s[QStringLiteral("nrows")].toInt(), xls::kMaxRows);
    QCOMPARE(s[QStringLiteral("cells")].toInt(), xls::kMaxRows * 10);
    QCOMPARE(s[QStringLiteral("bad")].toInt(), 0);
    QCOMPARE(book[QStringLiteral("sst")].toInt(), xls::kMaxRows * 10);
}

void TestXlsWorkbook::refusedCalls_data()
{
    using Call = std::function<void(ExcelApplication&)>;
    QTest::addColumn<Call>("call");
    QTest::newRow("row already left") << Call([](ExcelApplication& e) { e.SetValue(5, 1, QStringLiteral("a")); e.SetValue(4, 1, QStringLiteral("b")); });
    QTest::newRow("format on a row left") << Call([](ExcelApplication& e) { e.SetValue(5, 1, QStringLiteral("a")); e.SetNumberFormatLocal(4, 1, QStringLiteral("@")); });
    QTest::newRow("row 0") << Call([](ExcelApplication& e) { e.SetValue(0, 1, QStringLiteral("a")); });
    QTest::newRow("row 65537") << Call([](ExcelApplication& e) { e.SetValue(65537, 1, QStringLiteral("a")); });
    QTest::newRow("column 0") << Call([](ExcelApplication& e) { e.SetValue(1, 0, QStringLiteral("a")); });
    QTest::newRow("column 257") << Call([](ExcelApplication& e) { e.SetValue(1, 257, QStringLiteral("a")); });
    QTest::newRow("32768 characters") << Call([](ExcelApplication& e) { e.SetValue(1, 1, QString(32768, u'x')); });
    QTest::newRow("width 256") << Call([](ExcelApplication& e) { e.SetColumnWidth(1, 256); });
    QTest::newRow("width column 257") << Call([](ExcelApplication& e) { e.SetColumnWidth(257, 10); });
    QTest::newRow("sheet 0") << Call([](ExcelApplication& e) { e.ActivateSheet(0); });
    QTest::newRow("number format") << Call([](ExcelApplication& e) { e.SetNumberFormatLocal(1, 1, QStringLiteral("yyyy-mm-dd")); });
    QTest::newRow("after quit") << Call([](ExcelApplication& e) { e.Quit(); e.SetValue(1, 1, QStringLiteral("a")); });
    QTest::newRow("save after quit") << Call([](ExcelApplication& e) { e.Quit(); e.SaveAs(QStringLiteral("/tmp/never.xls")); });
}

void TestXlsWorkbook::refusedCalls()
{
    QFETCH(std::function<void(ExcelApplication&)>, call);
    auto excel = newWorkbook();
    excel->SetValue(1, 1, QStringLiteral("kept"));
    try {
        call(*excel);
        QFAIL("no error");
    } catch (const platform::Error& e) {
        QVERIFY(!e.text().isEmpty());
    }
    // A refused call leaves the workbook as it was, when Excel is still there.
    try {
        excel->SaveAs(dir_.filePath(QStringLiteral("refused.xls")));
    } catch (const platform::Error&) {
        return; // after Quit
    }
    QCOMPARE(cell(sheet(readBack(dir_.filePath(QStringLiteral("refused.xls"))), 1), 1, 1)[QStringLiteral("v")].toString(),
             QStringLiteral("kept"));
}

void TestXlsWorkbook::failedSaveLeavesNoFile_data()
{
    // A file size limit (0: none) makes writes fail as on a full disk (EFBIG):
    // many short cells overflow the sheet's temporary file, a few long
    // strings only the workbook file itself.
    QTest::addColumn<bool>("missingFolder");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("textLength");
    QTest::addColumn<int>("fileSizeLimit");
    QTest::newRow("missing folder") << true << 10 << 10 << 0;
    QTest::newRow("disk full, sheet file") << false << 2000 << 5 << 8192;
    QTest::newRow("disk full, workbook file") << false << 100 << 2000 << 65536;
}

void TestXlsWorkbook::failedSaveLeavesNoFile()
{
    QFETCH(bool, missingFolder);
    QFETCH(int, rows);
    QFETCH(int, textLength);
    QFETCH(int, fileSizeLimit);
    QTemporaryDir target;
    auto excel = newWorkbook();
    for (int row = 1; row <= rows; ++row)
        excel->SetValue(row, 1, QString::number(row) + repeated(QStringLiteral("行"), textLength));
    const QString path = target.filePath(missingFolder ? QStringLiteral("no/such/dir/a.xls") : QStringLiteral("full.xls"));
    QString message;
    {
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (fileSizeLimit) {
            rlimit small = old;
            small.rlim_cur = rlim_t(fileSizeLimit);
            setrlimit(RLIMIT_FSIZE, &small);
        }
        try {
            excel->SaveAs(path);
        } catch (const platform::Error& e) {
            message = e.text();
        }
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
    QVERIFY2(!message.isEmpty(), "SaveAs reported success");
    QVERIFY2(message.contains(path), qPrintable(message));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
    // The workbook is intact: saved elsewhere it is complete.
    const QString ok = dir_.filePath(QStringLiteral("after-failure.xls"));
    excel->SaveAs(ok);
    const QJsonObject s = sheet(readBack(ok), 1);
    QCOMPARE(s[QStringLiteral("nrows")].toInt(), rows);
    QCOMPARE(cell(s, rows, 1)[QStringLiteral("v")].toString(), QString::number(rows) + repeated(QStringLiteral("行"), textLength));
}

void TestXlsWorkbook::saveAgainAndReplace()
{
    const QString path = dir_.filePath(QStringLiteral("again.xls"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("not a workbook");
    old.close();
    auto excel = newWorkbook();
    excel->SetValue(1, 1, QStringLiteral("first"));
    excel->SetValue(2, 1, QStringLiteral("second, row in hand"));
    excel->SaveAs(path);
    QCOMPARE(cell(sheet(readBack(path), 1), 2, 1)[QStringLiteral("v")].toString(), QStringLiteral("second, row in hand"));
    // The row in hand may still be written after a save.
    excel->SetValue(2, 2, QStringLiteral("more"));
    excel->SetValue(3, 1, QStringLiteral("third"));
    excel->SaveAs(path);
    const QJsonObject s = sheet(readBack(path), 1);
    QCOMPARE(cell(s, 1, 1)[QStringLiteral("v")].toString(), QStringLiteral("first"));
    QCOMPARE(cell(s, 2, 2)[QStringLiteral("v")].toString(), QStringLiteral("more"));
    QCOMPARE(cell(s, 3, 1)[QStringLiteral("v")].toString(), QStringLiteral("third"));
    excel->Quit();
}

void TestXlsWorkbook::spreadsheetsReadIt_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments"); // %1 the workbook, %2 the csv, %3 a scratch folder
    QTest::addColumn<bool>("xlsx");
    const QStringList gnumeric{QStringLiteral("--export-type=Gnumeric_stf:stf_csv"), QStringLiteral("%1"), QStringLiteral("%2")};
    const QStringList libreoffice{QStringLiteral("-env:UserInstallation=file://%3/profile"), QStringLiteral("--headless"),
                                  QStringLiteral("--convert-to"), QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"),
                                  QStringLiteral("--outdir"), QStringLiteral("%3"), QStringLiteral("%1")};
    for (const bool xlsx : {false, true}) {
        const char* suffix = xlsx ? " xlsx" : " xls";
        QTest::newRow((std::string("gnumeric") + suffix).c_str()) << QStringLiteral("/usr/bin/ssconvert") << gnumeric << xlsx;
        QTest::newRow((std::string("libreoffice") + suffix).c_str()) << QStringLiteral("/usr/bin/soffice") << libreoffice << xlsx;
    }
}

void TestXlsWorkbook::spreadsheetsReadIt()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(bool, xlsx);
    if (!QFile::exists(program))
        QSKIP(qPrintable(program + QStringLiteral(" is not installed")));
    auto excel = xlsx ? xls::CreateXlsxApplication() : xls::CreateExcelApplication();
    excel->AddWorkbook();
    // The last value reads as an escape of an .xlsx string unless it is kept
    // as written.
    const QStringList row1{QStringLiteral("文档ID"), QStringLiteral("Subject"), QStringLiteral("123"), QStringLiteral("Note")};
    const QStringList row2{QStringLiteral("0001A2"), QStringLiteral("季度报告 Café"), QStringLiteral("007"), QStringLiteral("a_x0041_b")};
    excel->SetNumberFormatLocal(1, 3, QStringLiteral("@"));
    excel->SetColumnWidth(1, 40);
    for (int c = 0; c < 4; ++c)
        excel->SetValue(1, c + 1, row1[c]);
    for (int c = 0; c < 4; ++c)
        excel->SetValue(2, c + 1, row2[c]);
    // Long strings crossing CONTINUE records, UTF-16 and 8-bit.
    const QString longWide = repeated(QStringLiteral("长文本"), 9000);
    const QString longNarrow = repeated(QStringLiteral("café "), 20000);
    excel->SetValue(3, 1, longWide);
    excel->SetValue(3, 2, longNarrow);
    QTemporaryDir scratch;
    const QString path = scratch.filePath(xlsx ? QStringLiteral("book.xlsx") : QStringLiteral("book.xls"));
    const QString csv = scratch.filePath(QStringLiteral("book.csv"));
    excel->SaveAs(path);
    for (QString& a : arguments)
        a.replace(QLatin1String("%1"), path).replace(QLatin1String("%2"), csv).replace(QLatin1String("%3"), scratch.path());
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(180000)) {
        p.kill();
        p.waitForFinished();
        QFAIL("the conversion did not end");
    }
    QCOMPARE(p.exitCode(), 0);
    QFile f(csv);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(p.readAllStandardError()));
    // No value holds a quote or comma: quotes only wrap fields.
    const QStringList lines = QString::fromUtf8(f.readAll()).remove(u'"').remove(u'\r').split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], row1.join(u','));
    QStringList expected2 = row2;
    if (xlsx && program.endsWith(QLatin1String("ssconvert")))
        expected2[3] = QStringLiteral("a_x005F_x0041_b"); // Gnumeric leaves Excel's escapes undecoded
    QCOMPARE(lines[1], expected2.join(u',')); // "007" stays text
    QCOMPARE(lines[2], longWide + u',' + longNarrow + u',' + u',');
}

QTEST_GUILESS_MAIN(TestXlsWorkbook)
#include "tst_xlsworkbook.moc"
