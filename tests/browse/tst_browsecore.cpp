// The browsing logic without widgets: where the paging buttons move, the
// rows of a page and of a document as the window and quillet-cli read them,
// the data directory as plain nodes, and the texts shown for them.
#include "browse/core/dirscan.h"
#include "browse/core/documentrows.h"
#include "browse/core/pager.h"
#include "browse/core/pagereader.h"
#include "browse/core/texts.h"
#include "pagefake.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace browsetest::fake;
using browse::PageMove;

namespace {

QString u(const char* s) { return QString::fromUtf8(s); }

// The rows a page load reads, as the window's loop reads them: up to limit
// rows from position start; "ID:value|value" or "ID!error" per row, and
// "#error" for a failure that ends the page.
QStringList readRows(domino::TNotesDatabase& db, int start, int limit)
{
    QStringList out;
    browse::PageReader reader(db, QStringLiteral("假视图"));
    try {
        reader.seek(start);
        for (int i = 0; i < limit && reader.hasMore(); ++i) {
            const browse::PageRow row = reader.readRow();
            out << (row.error.isEmpty() ? row.documentId + u':' + row.values.join(u'|')
                                        : row.documentId + u'!' + row.error);
            reader.advance();
        }
    } catch (const platform::Error& e) {
        out << u'#' + e.text();
    }
    return out;
}

QString shape(const std::vector<browse::DirectoryNode>& nodes)
{
    QStringList parts;
    for (const browse::DirectoryNode& n : nodes)
        parts << (n.folder ? n.name + u'[' + shape(n.children) + u']' : n.name);
    return parts.join(u',');
}

} // namespace

class TestBrowseCore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pageMoves_data()
    {
        QTest::addColumn<int>("move");
        QTest::addColumn<int>("shownFrom");
        QTest::addColumn<int>("docPos");
        QTest::addColumn<int>("docCount");
        QTest::addColumn<int>("start");  // -1: the button does nothing
        const int F = int(PageMove::First), P = int(PageMove::Previous), N = int(PageMove::Next),
                  L = int(PageMove::Last);
        // A view of 250: pages 1-100, 101-200, 201-250.
        QTest::newRow("next from the first page") << N << 0 << 100 << 250 << 100;
        QTest::newRow("next from the last page") << N << 200 << 250 << 250 << -1;
        QTest::newRow("last from the first page") << L << 0 << 100 << 250 << 200;
        QTest::newRow("last on the last page") << L << 200 << 250 << 250 << -1;
        QTest::newRow("previous from the last page") << P << 200 << 250 << 250 << 100;
        QTest::newRow("previous on the first page") << P << 0 << 100 << 250 << 0;
        QTest::newRow("first on the last page") << F << 200 << 250 << 250 << 0;
        // A page cut short by a failure: 上一页 goes back from where it started.
        QTest::newRow("previous after a short page") << P << 100 << 102 << 250 << 0;
        QTest::newRow("next after a short page") << N << 100 << 102 << 250 << 102;
        // Exactly one page, and a view shorter than a page.
        QTest::newRow("last of exactly 100") << L << 0 << 99 << 100 << 0;
        QTest::newRow("next in a short view") << N << 0 << 7 << 7 << -1;
        QTest::newRow("previous in a short view") << P << 0 << 7 << 7 << 0;
        // Nothing read (an empty view, a tree click): no button acts.
        for (int m : {F, P, N, L})
            QTest::addRow("empty view, move %d", m) << m << 0 << 0 << 0 << -1;
        // The view shrank since the page was read: never past its end.
        QTest::newRow("previous in a shrunk view") << P << 300 << 400 << 150 << 149;
    }
    void pageMoves()
    {
        QFETCH(int, move);
        QFETCH(int, shownFrom);
        QFETCH(int, docPos);
        QFETCH(int, docCount);
        QFETCH(int, start);
        const std::optional<int> got = browse::pageStart(PageMove(move), shownFrom, docPos, docCount);
        QCOMPARE(got.value_or(-1), start);
    }

    void shownRows()
    {
        QCOMPARE(browse::shownRowsText(100, 200), u("第101-200个"));
        QCOMPARE(browse::shownRowsText(200, 250), u("第201-250个"));
        QCOMPARE(browse::shownRowsText(0, 1), u("第1-1个"));
        QCOMPARE(browse::shownRowsText(0, 0), u("没有文档"));
    }

    void pageRows_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("start");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("whole view") << 0 << 0 << QStringList{"901:v1|1.5", "902:v2|3", "903:v3|4.5"};
        QTest::newRow("from the middle") << 0 << 2 << QStringList{"903:v3|4.5"};
        QTest::newRow("past the end") << 0 << 3 << QStringList{};
        QTest::newRow("a failing row keeps its ID")
            << 1 << 0 << QStringList{"901:v1|1.5", "902!ColumnValues failed", "903:v3|4.5"};
        QTest::newRow("next document fails")
            << 2 << 0 << QStringList{"901:v1|1.5", "902:v2|3", "#NextDocument failed"};
        QTest::newRow("first document fails") << 3 << 0 << QStringList{"#NthDocument failed"};
        QTest::newRow("fewer values than columns") << 4 << 0 << QStringList{"901:v1|1.5", "902:only|", "903:v3|4.5"};
        QTest::newRow("empty view") << 5 << 0 << QStringList{};
        QTest::newRow("no columns") << 6 << 0 << QStringList{"901:", "902:", "903:"};
    }
    void pageRows()
    {
        QFETCH(int, kind);
        QFETCH(int, start);
        QFETCH(QStringList, rows);
        PageFake f;
        f.failValuesAt = kind == 1 ? 2 : -1;
        f.failNextAt = kind == 2 ? 2 : -1;
        f.failNth = kind == 3;
        f.shortValuesAt = kind == 4 ? 2 : -1;
        if (kind == 4)
            f.titles = {QStringLiteral("A")};
        if (kind == 5)
            f.count = 0;
        if (kind == 6)
            f.columns = 0, f.titles = {};
        domino::TNotesDatabase db;
        db.ConnectTo(std::make_shared<FakePageDb>(f));
        QCOMPARE(readRows(db, start, 100), rows);

        browse::PageReader reader(db, QStringLiteral("假视图"));
        QCOMPARE(reader.columnCount(), f.columns);
        // One title per column, also where the view names fewer.
        QCOMPARE(reader.titles().size(), f.columns);
        QCOMPARE(reader.titles().value(1), kind == 4 ? QString() : f.titles.value(1));
    }

    void pageLimitAndPosition()
    {
        PageFake f;
        f.count = 250;
        domino::TNotesDatabase db;
        db.ConnectTo(std::make_shared<FakePageDb>(f));
        const QStringList page = readRows(db, 200, 100);
        QCOMPARE(page.size(), 50);
        QVERIFY(page.first().startsWith(QStringLiteral("9C9:")));  // document 201
        QCOMPARE(readRows(db, 0, 100).size(), 100);

        browse::PageReader reader(db, QStringLiteral("假视图"));
        reader.seek(100);
        QCOMPARE(reader.position(), 100);
        reader.readRow();
        QCOMPARE(reader.position(), 101);
    }

    void missingViewIsAnError()
    {
        class NoViews : public FakePageDb {
        public:
            using FakePageDb::FakePageDb;
            domino::ViewPtr ViewByName(const QString&) override { return nullptr; }
        };
        PageFake f;
        domino::TNotesDatabase db;
        db.ConnectTo(std::make_shared<NoViews>(f));
        try {
            browse::PageReader reader(db, u("没有这个视图"));
            QFAIL("no error");
        } catch (const platform::Error& e) {
            QVERIFY2(e.text().contains(u("没有这个视图")), qPrintable(e.text()));
        }
    }

    // Every item with its first value; an item without values is an empty
    // cell, not the end of the whole document.
    void documentRowsFirstValues()
    {
        PageFake f;
        f.items = {{QStringLiteral("Subject"), {QStringLiteral("会议")}},
                   {QStringLiteral("Categories"), {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
                   {QStringLiteral("Empty"), {}},
                   {QStringLiteral("Amount"), {domino::NotesValue(-12.5)}}};
        domino::TNotesDocument doc;
        doc.ConnectTo(std::make_shared<FakeDoc>(f, 1));
        const QList<browse::DocumentRow> expected{{QStringLiteral("Subject"), u("会议")},
                                                  {QStringLiteral("Categories"), QStringLiteral("a")},
                                                  {QStringLiteral("Empty"), QString()},
                                                  {QStringLiteral("Amount"), QStringLiteral("-12.5")}};
        QCOMPARE(browse::documentRows(doc), expected);

        f.failItem = QStringLiteral("Empty");
        QVERIFY_THROWS_EXCEPTION(platform::Error, browse::documentRows(doc));

        domino::TNotesDocument none;
        QVERIFY_THROWS_EXCEPTION(platform::Error, browse::documentRows(none));
    }

    // Pipes, sockets and links to them are named like databases but are no
    // files the engine can read; a link to a database file is one.
    void scanListsRegularFilesOnly()
    {
        QTemporaryDir tmp;
        const QString d = tmp.path();
        QVERIFY(QDir(d).mkpath(QStringLiteral("sub")));
        for (const char* name : {"a.nsf", "sub/b.dxl"})
            QVERIFY(QFile(d + u'/' + u(name)).open(QIODevice::WriteOnly));
        QCOMPARE(::mkfifo(QFile::encodeName(d + QStringLiteral("/pipe.nsf")).constData(), 0600), 0);
        {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            QVERIFY(fd >= 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            const QByteArray path = QFile::encodeName(d + QStringLiteral("/sock.dxl"));
            QVERIFY(size_t(path.size()) < sizeof addr.sun_path);
            qstrcpy(addr.sun_path, path.constData());
            QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
            ::close(fd);
        }
        QVERIFY(QFile::link(d + QStringLiteral("/pipe.nsf"), d + QStringLiteral("/linkpipe.nsf")));
        QVERIFY(QFile::link(d + QStringLiteral("/a.nsf"), d + QStringLiteral("/linkfile.nsf")));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), d + QStringLiteral("/device.nsf")));

        std::vector<browse::DirectoryNode> nodes = browse::scanDirectory(d, true);
        std::sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
        QCOMPARE(shape(nodes), QStringLiteral("a.nsf,linkfile.nsf,sub[b.dxl]"));
        QCOMPARE(shape(browse::scanDirectory(d, false)), QStringLiteral("sub[]"));
        QCOMPARE(shape(browse::scanDirectory(d + QStringLiteral("/a.nsf"), true)), QString());
        QCOMPARE(shape(browse::scanDirectory(d + QStringLiteral("/missing"), true)), QString());
    }

    void texts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("excerpt");
        const QString longLine(2000, u'字');
        QTest::newRow("short") << u("短文本") << u("短文本");
        QTest::newRow("exactly the limit") << QString(500, u'a') << QString(500, u'a');
        QTest::newRow("long") << longLine << longLine.left(500) + u("…");
        QStringList lines;
        for (int i = 0; i < 20; ++i)
            lines << QString::number(i);
        QTest::newRow("many lines") << lines.join(u'\n') << lines.mid(0, 12).join(u'\n') + u("…");
        // Never half a character outside the basic plane.
        const QString emoji = QString(499, u'a') + u("😀😀");
        QTest::newRow("surrogate at the cut") << emoji << QString(499, u'a') + u("…");
    }
    void texts()
    {
        QFETCH(QString, text);
        QFETCH(QString, excerpt);
        QCOMPARE(browse::excerpt(text), excerpt);
    }

    void viewLabels()
    {
        QCOMPARE(browse::viewLabel(u("全部文档")), u("全部文档"));
        QCOMPARE(browse::viewLabel(u(" 待办 ")), u(" 待办 "));
        QCOMPARE(browse::viewLabel(QString()), u("(无名视图)"));
        QCOMPARE(browse::viewLabel(QStringLiteral(" \t")), u("(无名视图)"));
        QCOMPARE(browse::viewCountText(0), u("没有视图"));
        QCOMPARE(browse::viewCountText(8), u("8个视图"));
    }
};

QTEST_GUILESS_MAIN(TestBrowseCore)
#include "tst_browsecore.moc"
