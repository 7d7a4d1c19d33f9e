// The workbook writer, checked by reading every file back with xlrd (and once
// with Gnumeric and LibreOffice where installed): what a reader finds must be what
// was written.
#include "platform/error.h"
#include "xls/excelapplication.h"

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

QJsonObject readBack(const QString& path, const QString& mode = QString())
{
    QProcess p;
    QStringList args{QStringLiteral(QUILLET_SOURCE_DIR "/tests/xls/readback.py"), path};
    if (!mode.isEmpty())
        args << mode;
    p.start(kPython, args);
    if (!p.waitForFinished(240000) || p.exitCode() != 0) {
        qWarning().noquote() << p.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

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

    // Activating sheet 5 adds Sheet4 and Sheet5; the active one is selected.
    excel->ActivateSheet(5);
    QCOMPARE(excel->SheetCount(), 5);
    excel->SetValue(1, 1, QStringLiteral("x"));
    excel->SaveAs(path);
    book = readBack(path);
    QCOMPARE(book[QStringLiteral("sheets")].toArray().size(), 5);
    QCOMPARE(sheet(book, 5)[QStringLiteral("name")].toString(), QStringLiteral("Sheet5"));
    QVERIFY(sheet(book, 5)[QStringLiteral("selected")].toBool());
    QVERIFY(!sheet(book, 1)[QStringLiteral("selected")].toBool());
    QCOMPARE(cell(sheet(book, 5), 1, 1)[QStringLiteral("v")].toString(), QStringLiteral("x"));
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
    QVERIFY(sheet(book, 2)[QStringLiteral("selected")].toBool());
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
    QTest::newRow("gnumeric") << QStringLiteral("/usr/bin/ssconvert")
                              << QStringList{QStringLiteral("--export-type=Gnumeric_stf:stf_csv"), QStringLiteral("%1"), QStringLiteral("%2")};
    QTest::newRow("libreoffice") << QStringLiteral("/usr/bin/soffice")
                                 << QStringList{QStringLiteral("-env:UserInstallation=file://%3/profile"), QStringLiteral("--headless"),
                                                QStringLiteral("--convert-to"), QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"),
                                                QStringLiteral("--outdir"), QStringLiteral("%3"), QStringLiteral("%1")};
}

void TestXlsWorkbook::spreadsheetsReadIt()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    if (!QFile::exists(program))
        QSKIP(qPrintable(program + QStringLiteral(" is not installed")));
    auto excel = newWorkbook();
    const QStringList row1{QStringLiteral("文档ID"), QStringLiteral("Subject"), QStringLiteral("123")};
    const QStringList row2{QStringLiteral("0001A2"), QStringLiteral("季度报告 Café"), QStringLiteral("007")};
    excel->SetNumberFormatLocal(1, 3, QStringLiteral("@"));
    excel->SetColumnWidth(1, 40);
    for (int c = 0; c < 3; ++c)
        excel->SetValue(1, c + 1, row1[c]);
    for (int c = 0; c < 3; ++c)
        excel->SetValue(2, c + 1, row2[c]);
    // Long strings crossing CONTINUE records, UTF-16 and 8-bit.
    const QString longWide = repeated(QStringLiteral("长文本"), 9000);
    const QString longNarrow = repeated(QStringLiteral("café "), 20000);
    excel->SetValue(3, 1, longWide);
    excel->SetValue(3, 2, longNarrow);
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("book.xls"));
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
    QCOMPARE(lines[1], row2.join(u',')); // "007" stays text
    QCOMPARE(lines[2], longWide + u',' + longNarrow + u',');
}

QTEST_GUILESS_MAIN(TestXlsWorkbook)
#include "tst_xlsworkbook.moc"
