// The workbook the export writes with the program's own writer, read back
// with xlrd: Excel 97-2003 (BIFF 8), every cell as the export wrote it, text
// format on integer-like titles, the further sheets past 255 items.
#include "exportfixture.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace exportfixture;

namespace {

QJsonObject readBack(const QString& path, const char* script = "tests/export/readworkbook.py")
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(QUILLET_SOURCE_DIR "/") + QLatin1String(script), path});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        qWarning() << p.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// The same export twice, once recorded and once written: the workbook must
// hold exactly the recorded cells.
void buildView(Fixture& f)
{
    for (int d = 1; d <= 3; ++d) {
        auto doc = f.view->addDocument(QStringLiteral("NT%1").arg(d));
        doc->addItem(QStringLiteral("Subject"), {QStringLiteral("主题 %1").arg(d)});
        doc->addRichText(QStringLiteral("Body"), QStringLiteral("正文\n第%1段").arg(d));
        doc->addItem(QStringLiteral("123"), {d * 1.5}, domino::ItemTypes::Number);
        doc->addItem(QStringLiteral("$10"), {QStringLiteral("0012")});
        doc->addItem(QStringLiteral("日期"), {domino::NotesDateTime{QDate(2009, 5, d), QTime(8, 30), 28800}},
                     domino::ItemTypes::DateTime);
        for (int j = 0; j < 260; ++j)
            doc->addItem(QStringLiteral("F%1").arg(j), {QStringLiteral("v%1.%2").arg(d).arg(j)});
    }
    f.view->documents.at(2)->item("F259")->values = {QString(40000, u'长')};
    f.request.docCount = 3;
}

} // namespace

class TestExportWorkbook : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void workbookReadsBack()
    {
        if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
            QSKIP("no /usr/bin/python3 with xlrd");
        Fixture recorded;
        buildView(recorded);
        QCOMPARE(recorded.run(), ExportOutcome::Completed);

        Fixture written;
        buildView(written);
        QCOMPARE(written.run(true), ExportOutcome::Completed);
        const QJsonObject book = readBack(written.book());
        QCOMPARE(book.value("biff").toInt(), 80);
        const QJsonArray sheets = book.value("sheets").toArray();
        QCOMPARE(sheets.size(), 3);  // as a new workbook has them; the second takes items 255 on

        QMap<fakes::FakeExcelState::Cell, QString> cells;
        QMap<fakes::FakeExcelState::Cell, QString> formats;
        for (int s = 0; s < sheets.size(); ++s) {
            const QJsonObject sheet = sheets.at(s).toObject();
            for (const QJsonValue& v : sheet.value("cells").toArray()) {
                const QJsonArray c = v.toArray();
                const fakes::FakeExcelState::Cell key{s + 1, c.at(0).toInt(), c.at(1).toInt()};
                QCOMPARE(c.at(4).toInt(), 1);  // every cell is text, numbers and dates included
                cells[key] = c.at(2).toString();
                if (c.at(3).toString() == QLatin1String("@"))
                    formats[key] = QStringLiteral("@");
            }
            const QJsonObject widths = sheet.value("widths").toObject();
            for (auto it = recorded.excel.widths.cbegin(); it != recorded.excel.widths.cend(); ++it)
                if (it.key().first == s + 1)
                    QCOMPARE(widths.value(QString::number(it.key().second)).toInt(), it.value());
        }
        // Empty recorded values leave no cell behind.
        QMap<fakes::FakeExcelState::Cell, QString> expected;
        for (auto it = recorded.excel.values.cbegin(); it != recorded.excel.values.cend(); ++it)
            if (!it.value().isEmpty())
                expected.insert(it.key(), it.value());
        QCOMPARE(cells.size(), expected.size());
        QCOMPARE(cells, expected);
        // "@" on 123 and $10 only: both read as whole numbers.
        QCOMPARE(formats, recorded.excel.formats);
        QCOMPARE(formats.keys(), (QList<fakes::FakeExcelState::Cell>{{1, 1, 4}, {1, 1, 5}}));
        QCOMPARE(cells.value({2, 4, 11}).size(), xls::kMaxCellChars);  // F259, item 264
    }

    // The .xlsx export: the same cells as the export asks for, on one sheet
    // since it holds 16,384 columns, the same "@" and widths, and the same log
    // lines as the .xls export of the view.
    void xlsxWorkbookReadsBack()
    {
        if (QProcess::execute(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import openpyxl")}) != 0)
            QSKIP("no /usr/bin/python3 with openpyxl");
        Fixture recorded;
        buildView(recorded);
        recorded.excel.limits = xls::kXlsxLimits;
        recorded.request.format = xls::WorkbookFormat::Xlsx;
        recorded.request.fileName = recorded.dir.filePath(QStringLiteral("out.xlsx"));
        QCOMPARE(recorded.run(), ExportOutcome::Completed);

        Fixture written;
        buildView(written);
        written.request.format = xls::WorkbookFormat::Xlsx;
        written.request.fileName = written.dir.filePath(QStringLiteral("out.xlsx"));
        QCOMPARE(ViewExport(written.host).run(written.request), ExportOutcome::Completed);
        QVERIFY(written.book().endsWith(QStringLiteral("out_开始为第1个文档.xlsx")));
        const QJsonObject book = readBack(written.book(), "tests/xls/readback_xlsx.py");
        QCOMPARE(book.value("active").toInt(), 0);
        const QJsonArray sheets = book.value("sheets").toArray();
        QCOMPARE(sheets.size(), 3);
        QMap<fakes::FakeExcelState::Cell, QString> cells;
        QMap<fakes::FakeExcelState::Cell, QString> formats;
        for (int s = 0; s < sheets.size(); ++s) {
            for (const QJsonValue& v : sheets.at(s).toObject().value("cells").toArray()) {
                const QJsonObject c = v.toObject();
                const fakes::FakeExcelState::Cell key{s + 1, c.value("r").toInt(), c.value("c").toInt()};
                QVERIFY(c.value("v").isString() || c.value("v").isNull());
                if (c.value("v").isString())
                    cells[key] = c.value("v").toString();
                if (c.value("f").toString() == QLatin1String("@"))
                    formats[key] = QStringLiteral("@");
            }
        }
        QMap<fakes::FakeExcelState::Cell, QString> expected;
        for (auto it = recorded.excel.values.cbegin(); it != recorded.excel.values.cend(); ++it)
            if (!it.value().isEmpty())
                expected.insert(it.key(), it.value());
        QCOMPARE(cells, expected);
        QCOMPARE(cells.value({1, 4, 266}).size(), xls::kMaxCellChars);  // F259, item 264, on the one sheet
        QCOMPARE(formats, recorded.excel.formats);
        QCOMPARE(formats.keys(), (QList<fakes::FakeExcelState::Cell>{{1, 1, 4}, {1, 1, 5}}));
        const QJsonObject widths = sheets.at(0).toObject().value("widths").toObject();
        for (auto it = recorded.excel.widths.cbegin(); it != recorded.excel.widths.cend(); ++it)
            QCOMPARE(int(widths.value(QString::number(it.key().second)).toDouble()), it.value());

        Fixture xlsBook;
        buildView(xlsBook);
        QCOMPARE(xlsBook.run(true), ExportOutcome::Completed);
        QStringList lines = written.lines();
        QVERIFY(!lines.isEmpty());
        for (QString& l : lines)
            l.replace(written.book(), xlsBook.book()).replace(written.dir.path(), xlsBook.dir.path());
        QCOMPARE(lines, xlsBook.lines());
    }
};

QTEST_GUILESS_MAIN(TestExportWorkbook)
#include "tst_exportworkbook.moc"
