// View order: sorting (Chinese, accents, case, descending), categories,
// multiple values as separate entries, responses below their parents and
// what column formulas see of them, formulas that fail for one document,
// folders, names and aliases, and the views that cannot be read.
#include "engine/dxlreader.h"
#include "engine/objects.h"
#include "engine/viewindex.h"
#include "platform/error.h"
#include <QtTest>

using namespace engine;

namespace {
const QString kViews = QStringLiteral(QUILLET_TEST_DATA "/engine/views.dxl");
const QString kResponses = QStringLiteral(QUILLET_TEST_DATA "/engine/responses.dxl");

// Walks the view as the document list does: NthDocument(1), then NextDocument.
QStringList walk(domino::INotesView& view, int column)
{
    QStringList out;
    for (auto doc = view.NthDocument(1); doc; doc = view.NextDocument(doc))
        out << (column < 0 ? doc->DocumentId() : doc->ColumnValues().value(column).toText());
    return out;
}
} // namespace

class ViewsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { db_ = std::make_unique<DatabaseObject>(readDxlFile(kViews)); }
    void order_data();
    void order();
    void positionsAndCounts();
    void columnsAndResponses();
    void namesAndAliases();
    void unreadableViews();
    void responseHierarchy();
    void selectionWithResponses();
    void failingColumns_data();
    void failingColumns();
    void collation_data();
    void collation();

private:
    std::unique_ptr<DatabaseObject> db_;
};

void ViewsTest::order_data()
{
    QTest::addColumn<QString>("view");
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("expected");
    // Émile and emile compare equal (case and accents ignored) and keep file
    // order; Latin before Chinese, Chinese by pinyin (ā before zh); responses
    // follow their parents, a response of a response below it.
    QTest::newRow("sorted, hierarchy") << "ByName" << 0
        << QStringList{"Adam", "Re: Adam", "Re: Re: Adam", "Émile", "emile", "Zoë", "阿明", "张伟", "Re: 张伟"};
    QTest::newRow("descending then ascending") << "Score" << 1
        << QStringList{"Adam", "张伟", "阿明", "Émile", "Zoë", "emile"};
    QTest::newRow("categorized") << "ByCity" << 1
        << QStringList{"emile", "Adam", "Émile", "Zoë", "张伟", "阿明"};
    QTest::newRow("separate multiple values") << "ByTag" << 0
        << QStringList{"", "x", "x", "x", "y", "y", "z"};
    QTest::newRow("unsorted keeps file order, responses below parents") << "Everything" << -1
        << QStringList{"10", "14", "18", "1C", "30", "20", "24", "28", "2C", "34"};
    QTest::newRow("folder lists its entries") << "Picked" << -1 << QStringList{"10", "20"};
    QTest::newRow("empty folder") << "EmptyFolder" << -1 << QStringList{};
}

void ViewsTest::order()
{
    QFETCH(QString, view);
    QFETCH(int, column);
    QFETCH(QStringList, expected);
    auto v = db_->ViewByName(view);
    QVERIFY(v);
    QCOMPARE(walk(*v, column), expected);
    QCOMPARE(v->DocumentCount(), int(expected.size()));
}

void ViewsTest::positionsAndCounts()
{
    auto v = db_->ViewByName("ByTag");
    // Category rows are not documents: 7 entries for 6 documents (Émile under x and y).
    QCOMPARE(v->DocumentCount(), 7);
    QCOMPARE(v->NthDocument(5)->DocumentId(), QStringLiteral("10"));
    QCOMPARE(v->NthDocument(5)->ColumnValues().value(0).toText(), QStringLiteral("y"));
    QCOMPARE(v->NthDocument(7)->DocumentId(), QStringLiteral("20"));
    QVERIFY(v->NthDocument(8) == nullptr);
    QVERIFY(v->NthDocument(0) == nullptr);
    QVERIFY(v->NextDocument(v->NthDocument(7)) == nullptr);
    // A document reached by its ID continues from its first place in the view.
    auto byId = db_->DocumentById("1C");
    QCOMPARE(v->NextDocument(byId)->DocumentId(), QStringLiteral("24"));
    QVERIFY(byId->ColumnValues().isEmpty());
    QVERIFY_THROWS_EXCEPTION(platform::Error, v->NextDocument(db_->DocumentById("34")));
    QVERIFY_THROWS_EXCEPTION(platform::Error, v->NextDocument(nullptr));
}

void ViewsTest::columnsAndResponses()
{
    auto v = db_->ViewByName("ByName");
    QCOMPARE(v->ColumnCount(), 3);
    QCOMPARE(v->ColumnNames(), (QStringList{"姓名", "回复", "城市"}));
    QCOMPARE(v->Name(), QStringLiteral("ByName"));
    // The response-only column is empty for main documents.
    const auto main = v->NthDocument(1)->ColumnValues();
    QCOMPARE(main.size(), 3);
    QCOMPARE(main[1].toText(), QString());
    QCOMPARE(main[2].toText(), QStringLiteral("Lyon"));
    QCOMPARE(v->NthDocument(2)->ColumnValues().value(1).toText(), QStringLiteral("Re: Adam"));
    // Hidden columns count; a formula column gets the entry's place in the view.
    auto tags = db_->ViewByName("ByTag");
    QCOMPARE(tags->ColumnCount(), 3);
    QCOMPARE(tags->NthDocument(3)->ColumnValues().value(2).toText(), QStringLiteral("3"));
    // A view without the hierarchy leaves responses out of a Person selection.
    QVERIFY(!walk(*db_->ViewByName("ByScore"), -1).contains("28"));
}

void ViewsTest::namesAndAliases()
{
    QCOMPARE(db_->Views(), (QStringList{"ByName", "ByScore", "ByCity", "ByTag", "Everything", "Broken", "Picked",
                                        "EmptyFolder", "Compiled"}));
    QCOMPARE(db_->ViewByName("Names")->Name(), QStringLiteral("ByName"));
    QCOMPARE(db_->ViewByName("score")->Name(), QStringLiteral("ByScore"));
    QCOMPARE(db_->ViewByName("  ByCity ")->Name(), QStringLiteral("ByCity"));
    QVERIFY(db_->ViewByName("NoSuchView") == nullptr);
}

void ViewsTest::unreadableViews()
{
    auto failure = [&](const QString& name) {
        try {
            db_->ViewByName(name);
        } catch (const platform::Error& e) {
            return e.text();
        }
        return QString();
    };
    QVERIFY(failure("Comp").contains(QStringLiteral("编译")));
    QVERIFY(failure("Broken").contains(QStringLiteral("@DbLookup")));
}

// A parent with several responses and a response to a response: their order,
// @DocNumber and what the view-position functions give on each row.
void ViewsTest::responseHierarchy()
{
    DatabaseObject db(readDxlFile(kResponses));
    auto v = db.ViewByName("Threads");
    QCOMPARE(walk(*v, 0), (QStringList{"Agenda", "Re: Agenda", "Budget", "Re: Budget A", "Re: Budget B",
                                       "Re: Re: Budget B", "Re: Budget C", "Zeta"}));
    // number children/descendants siblings level parent-number expandable category responses
    QCOMPARE(walk(*v, 1), (QStringList{"1 1/1 s3 L1 p +d1", "1.1 0/0 s1 L2 p1 -d0", "2 3/4 s3 L1 p +d4",
                                       "2.1 0/0 s3 L2 p2 -d0", "2.2 1/1 s3 L2 p2 +d1", "2.2.1 0/0 s1 L3 p2.2 -d0",
                                       "2.3 0/0 s3 L2 p2 -d0", "3 0/0 s3 L1 p -d0"}));
    QCOMPARE(walk(*v, 2), (QStringList{"(1)", "无", "(4)", "无", "(1)", "无", "无", "无"}));
    // A category above a main document is a level of its own.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("ByPriority.*第1列")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("ByPriority.*第3列")));
    QCOMPARE(walk(*db.ViewByName("ByPriority"), 3), (QStringList{"2", "2", "2"}));
}

void ViewsTest::selectionWithResponses()
{
    DatabaseObject db(readDxlFile(kResponses));
    QCOMPARE(walk(*db.ViewByName("BudgetThread"), 0),
             (QStringList{"Budget", "Re: Budget A", "Re: Budget B", "Re: Re: Budget B", "Re: Budget C"}));
    QCOMPARE(walk(*db.ViewByName("BudgetReplies"), 0),
             (QStringList{"Budget", "Re: Budget A", "Re: Budget B", "Re: Budget C"}));
}

// A column formula that fails for one document (a date function on a missing
// item, text added to a number) or uses a function we lack: that cell is empty
// and sorts as empty, the view opens, and each column is reported once.
void ViewsTest::failingColumns_data()
{
    QTest::addColumn<QString>("view");
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QStringList>("subjects");
    QTest::addColumn<QStringList>("warnings");
    QTest::newRow("sorted, date function on a missing item") << "ByYear" << 0
        << QStringList{"", "2024", "2025"} << QStringList{"Zeta", "Agenda", "Budget"}
        << QStringList{QStringLiteral("第1列公式对1个文档无法计算")};
    QTest::newRow("categorized, text plus number") << "ByPriority" << 0
        << QStringList{"", "2", "3"} << QStringList{"Zeta", "Agenda", "Budget"}
        << QStringList{QStringLiteral("第1列公式对1个文档无法计算"), QStringLiteral("第3列公式对1个文档无法计算")};
    QTest::newRow("sorted, function outside the language") << "Lookup" << 0
        << QStringList{"", "", ""} << QStringList{"Budget", "Agenda", "Zeta"}
        << QStringList{QStringLiteral("第1列公式无法使用，该列留空: 不支持的公式函数: @DbColumn")};
}

void ViewsTest::failingColumns()
{
    QFETCH(QString, view);
    QFETCH(int, column);
    QFETCH(QStringList, cells);
    QFETCH(QStringList, subjects);
    QFETCH(QStringList, warnings);
    auto database = readDxlFile(kResponses);
    DatabaseObject db(database);
    // One warning per failing column, however many rows are read.
    for (qsizetype i = 0; i < warnings.size(); ++i)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(view)));
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    auto v = db.ViewByName(view);
    QVERIFY(v);
    QCOMPARE(walk(*v, column), cells);
    QCOMPARE(walk(*v, 1), subjects);
    walk(*v, 2);
    const QStringList got = database->viewIndex(database->viewIndexOf(view))->warnings();
    QCOMPARE(got.size(), warnings.size());
    for (qsizetype i = 0; i < warnings.size(); ++i)
        QVERIFY2(got[i].contains(warnings[i]), qPrintable(got[i]));
}

// Chinese sorts after every other script at every position of the text, and
// among itself by pinyin; case and accents still do not count.
void ViewsTest::collation_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("Latin before Chinese at the start") << "Weekly status" << "采购订单";
    QTest::newRow("Latin before Chinese after a Latin prefix") << "Release plan Beta" << "Release plan 草稿";
    QTest::newRow("Latin before Chinese after a Chinese prefix") << "出差申请 Q2" << "出差申请 华南区";
    QTest::newRow("digits before Chinese after a prefix") << "2024 9" << "2024 九";
    QTest::newRow("Chinese beyond the BMP after Latin") << "Report x" << QString::fromUtf8("Report \U00020000");
    QTest::newRow("pinyin among Chinese after a prefix") << "计划 阿明" << "计划 张伟";
    QTest::newRow("shorter first") << "出差申请" << "出差申请 Q2";
    QTest::newRow("accents and case ignored") << "émile b" << "Emile C";
}

void ViewsTest::collation()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    // The second text comes first in the file, so only the sort can put it second.
    const QByteArray dxl = QStringLiteral(
        "<database xmlns='http://www.lotus.com/dxl'><view name='V'><column itemname='T' sort='ascending'/></view>"
        "<document form='F'><noteinfo noteid='10' unid='DDDDDDDDDDDDDDDDDDDDDDDDDDDDDD01'/>"
        "<item name='T'><text>%2</text></item></document>"
        "<document form='F'><noteinfo noteid='14' unid='DDDDDDDDDDDDDDDDDDDDDDDDDDDDDD02'/>"
        "<item name='T'><text>%1</text></item></document></database>")
                               .arg(first, second)
                               .toUtf8();
    DatabaseObject db(readDxlBytes(dxl.constData(), size_t(dxl.size()), QStringLiteral("collation.dxl")));
    QCOMPARE(walk(*db.ViewByName("V"), 0), (QStringList{first, second}));
}

QTEST_GUILESS_MAIN(ViewsTest)
#include "tst_views.moc"
