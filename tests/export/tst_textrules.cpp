// The text rules of the export: whole numbers, cleaned view names, safe file
// names for what the database supplies, and the workbook's names.
#include "export/documentfiles.h"
#include "export/textrules.h"
#include "export/viewexport.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include <QTest>

using namespace exporting;

class TestTextRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void integers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("123") << "123" << true << 123;
        QTest::newRow("0") << "0" << true << 0;
        QTest::newRow("007") << "007" << true << 7;
        QTest::newRow("-7") << "-7" << true << -7;
        QTest::newRow("+7") << "+7" << true << 7;
        QTest::newRow("leading blank") << " 42" << true << 42;
        QTest::newRow("blanks and sign") << "   -0" << true << 0;
        QTest::newRow("$1F") << "$1F" << true << 31;
        QTest::newRow("x1f") << "x1f" << true << 31;
        QTest::newRow("X1f") << "X1f" << true << 31;
        QTest::newRow("0x1F") << "0x1F" << true << 31;
        QTest::newRow("0X1f") << "0X1f" << true << 31;
        QTest::newRow("-$10") << "-$10" << true << -16;
        QTest::newRow("max") << "2147483647" << true << 2147483647;
        QTest::newRow("min") << "-2147483648" << true << int(-2147483648LL);
        QTest::newRow("max with zeros") << "0002147483647" << true << 2147483647;
        QTest::newRow("hex 8 digits high") << "$FFFFFFFF" << true << -1;
        QTest::newRow("hex 80000000") << "$80000000" << true << int(-2147483648LL);
        QTest::newRow("hex leading zeros") << "$000000001" << true << 1;
        QTest::newRow("1.5") << "1.5" << false << 0;
        QTest::newRow("12a") << "12a" << false << 0;
        QTest::newRow("trailing blank") << "42 " << false << 0;
        QTest::newRow("lone minus") << "-" << false << 0;
        QTest::newRow("lone $") << "$" << false << 0;
        QTest::newRow("lone 0x") << "0x" << false << 0;
        QTest::newRow("sign twice") << "+-1" << false << 0;
        QTest::newRow("blank after sign") << "- 1" << false << 0;
        QTest::newRow("2147483648") << "2147483648" << false << 0;
        QTest::newRow("-2147483649") << "-2147483649" << false << 0;
        QTest::newRow("hex 9 digits") << "$100000000" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("blanks only") << "  " << false << 0;
        QTest::newRow("tab") << "\t1" << false << 0;
        QTest::newRow("thousands") << "1,000" << false << 0;
        QTest::newRow("exponent") << "1e3" << false << 0;
        QTest::newRow("full-width digits") << "１２" << false << 0;
        QTest::newRow("hex letter g") << "$1G" << false << 0;
        QTest::newRow("decimal hex letters") << "1F" << false << 0;
    }
    void integers()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        QCOMPARE(IsInteger(text), valid);
        if (valid) {
            QCOMPARE(StrToInt(text), value);
        } else {
            try {
                StrToInt(text);
                QFAIL("no error");
            } catch (const platform::Error& e) {
                QCOMPARE(e.text(), u'\'' + text + QStringLiteral("' is not a valid integer value"));
            }
        }
    }

    void cleanFileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("clean");
        QTest::newRow("backslash") << "Reports\\By Date" << "ReportsBy Date";
        QTest::newRow("all nine") << "\"\\:><|*?/" << "";
        QTest::newRow("unchanged") << "全部文档 v1.2 ." << "全部文档 v1.2 .";
        QTest::newRow("A/B:C") << "A/B:C" << "ABC";
        // Second GBK byte 0x5C (乗 81 5C) and 0x7C (亅 81 7C): the character stays whole.
        QTest::newRow("trail 5C") << "乗\\車" << "乗車";
        QTest::newRow("trail 7C") << "亅|" << "亅";
    }
    void cleanFileName()
    {
        QFETCH(QString, name);
        QFETCH(QString, clean);
        QCOMPARE(CleanFileName(name), clean);
    }
    void gbkTrailBytes()
    {
        // The fixture characters really are the ones whose second byte looks like a separator.
        QCOMPARE(platform::toCp936(QStringLiteral("乗")), QByteArray("\x81\x5C"));
        QCOMPARE(platform::toCp936(QStringLiteral("亅")), QByteArray("\x81\x7C"));
    }

    void safeNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("safe");
        QTest::newRow("plain") << "报告.doc" << "报告.doc";
        QTest::newRow("parent") << ".." << "_3";
        QTest::newRow("dot") << "." << "_3";
        QTest::newRow("empty") << "" << "_3";
        QTest::newRow("climbs") << "../../etc/passwd" << ".._.._etc_passwd";
        QTest::newRow("backslash") << "..\\x.txt" << ".._x.txt";
        QTest::newRow("absolute") << "/tmp/x" << "_tmp_x";
        QTest::newRow("nul") << QString::fromUtf16(u"a\0b", 3) << "a_b";
        QTest::newRow("outside cp936") << "Ünïcødé 😀.txt" << "Ünïcødé 😀.txt";
        QTest::newRow("dots inside") << "a..b" << "a..b";
    }
    void safeNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, safe);
        QCOMPARE(safeFileName(name, QStringLiteral("_3")), safe);
    }

    // Names that end up alike get distinct files, the same name the same file.
    void documentFiles()
    {
        DocumentFiles files(QStringLiteral("/out/视图附件"), QStringLiteral("../NT1"), 4);
        QCOMPARE(files.folder(), QStringLiteral("/out/视图附件/.._NT1/"));
        QCOMPARE(files.pathFor(QStringLiteral("a/b.txt"), 1), files.folder() + "a_b.txt");
        QCOMPARE(files.pathFor(QStringLiteral("a_b.txt"), 2), files.folder() + "a_b (2).txt");
        QCOMPARE(files.pathFor(QStringLiteral("a\\b.txt"), 3), files.folder() + "a_b (3).txt");
        QCOMPARE(files.pathFor(QStringLiteral("a/b.txt"), 4), files.folder() + "a_b.txt");
        QCOMPARE(files.pathFor(QStringLiteral(".."), 5), files.folder() + "_5");
        QCOMPARE(files.pathFor(QStringLiteral("_5"), 6), files.folder() + "_5 (2)");
        QCOMPARE(DocumentFiles(QStringLiteral("/o"), QString(), 12).folder(), QStringLiteral("/o/_12/"));
        QCOMPARE(DocumentFiles(QStringLiteral("/o"), QStringLiteral(".."), 12).folder(), QStringLiteral("/o/_12/"));
    }

    void workbookNames_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("book");
        QTest::addColumn<bool>("xlsx");
        QTest::newRow("no extension") << "/out/sales" << "1" << "/out/sales_开始为第1个文档.xls" << false;
        QTest::newRow(".xls") << "/out/sales.xls" << "1" << "/out/sales_开始为第1个文档.xls" << false;
        QTest::newRow(".XLS") << "/out/sales.XLS" << "1" << "/out/sales_开始为第1个文档.xls" << false;
        QTest::newRow(".xLs") << "/out/sales.xLs" << "1" << "/out/sales_开始为第1个文档.xls" << false;
        QTest::newRow(".xlsx") << "/out/sales.xlsx" << "1" << "/out/sales.xlsx_开始为第1个文档.xls" << false;
        QTest::newRow("as typed") << "/out/sales.xls" << "007" << "/out/sales_开始为第007个文档.xls" << false;
        QTest::newRow("only one .xls") << "/out/a.xls.xls" << "2" << "/out/a.xls_开始为第2个文档.xls" << false;
        // The .xlsx filter mirrors the rule with its own extension.
        QTest::newRow("xlsx: no extension") << "/out/sales" << "1" << "/out/sales_开始为第1个文档.xlsx" << true;
        QTest::newRow("xlsx: .xlsx") << "/out/sales.xlsx" << "1" << "/out/sales_开始为第1个文档.xlsx" << true;
        QTest::newRow("xlsx: .XLSX") << "/out/sales.XLSX" << "1" << "/out/sales_开始为第1个文档.xlsx" << true;
        QTest::newRow("xlsx: .xls") << "/out/sales.xls" << "1" << "/out/sales.xls_开始为第1个文档.xlsx" << true;
    }
    void workbookNames()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, start);
        QFETCH(QString, book);
        QFETCH(bool, xlsx);
        QCOMPARE(workbookPath(chosen, start, xlsx ? xls::WorkbookFormat::Xlsx : xls::WorkbookFormat::Xls), book);
    }

    void folders()
    {
        QCOMPARE(workbookFolder(QStringLiteral("/out/sales_开始为第1个文档.xls")), QStringLiteral("/out/"));
        QCOMPARE(workbookFolder(QStringLiteral("sales.xls")), QStringLiteral("./"));
        QCOMPARE(attachmentFolder(QStringLiteral("/out/"), QStringLiteral("A/B:C")), QStringLiteral("/out/ABC附件"));
        QCOMPARE(attachmentFolder(QStringLiteral("/out/"), QStringLiteral("/")), QStringLiteral("/out/附件"));
    }
};

QTEST_GUILESS_MAIN(TestTextRules)
#include "tst_textrules.moc"
