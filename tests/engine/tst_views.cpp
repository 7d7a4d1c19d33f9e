// View order: sorting (Chinese, accents, case, descending), categories,
// multiple values as separate entries, responses below their parents,
// folders, names and aliases, and the views that cannot be read.
#include "engine/dxlreader.h"
#include "engine/objects.h"
#include "platform/error.h"
#include <QtTest>

using namespace engine;

namespace {
const QString kViews = QStringLiteral(QUILLET_TEST_DATA "/engine/views.dxl");

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

QTEST_GUILESS_MAIN(ViewsTest)
#include "tst_views.moc"
