// The database tree without the window: which names are databases, the scan
// of a data directory (order, hidden entries, links, unreadable folders,
// Chinese names), node paths and the lock test of a standalone file.
#include "app/treeview.h"
#include "browse/standalonefile.h"
#include "browse/treenodes.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

void touch(const QString& path)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
}

// The node's children as "name" or "name[child,child]" texts, in order.
QString shape(const QTreeWidgetItem* node)
{
    QStringList parts;
    for (int i = 0; i < node->childCount(); ++i) {
        const QTreeWidgetItem* c = node->child(i);
        parts << (c->childCount() ? c->text(0) + u'[' + shape(c) + u']' : c->text(0));
    }
    return parts.join(u',');
}

// The names a folder lists, in the file system's own order.
QStringList listedOrder(const QString& dir)
{
    QStringList names;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext())
        names << it.next().section(u'/', -1);
    return names;
}

} // namespace

class TestBrowseTree : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void databaseFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<bool>("opens");  // recognised as a database node by a click
        QTest::newRow("lower nsf") << "mail.nsf" << true << true;
        QTest::newRow("upper NSF") << "MAIL.NSF" << true << true;
        QTest::newRow("mixed Nsf") << "Mail.Nsf" << true << true;
        QTest::newRow("dxl") << "demo.dxl" << true << true;
        QTest::newRow("DXL") << "DEMO.DXL" << true << true;
        // The tree's rule is on the last three letters only; a click wants the dot.
        QTest::newRow("nsf without dot") << "transf" << true << false;
        QTest::newRow("dxl without dot") << "fooxdxl" << false << false;
        QTest::newRow("template") << "cache.ntf" << false << false;
        QTest::newRow("text") << "readme.txt" << false << false;
        QTest::newRow("hidden") << ".hidden.nsf" << false << true;
        QTest::newRow("short") << "sf" << false << false;
        QTest::newRow("exactly nsf") << "nsf" << true << false;
        QTest::newRow("chinese") << "人事 档案.nsf" << true << true;
        // Only ASCII letters change case: a full-width "ｎｓｆ" is no database.
        QTest::newRow("full width") << "a.ｎｓｆ" << false << false;
    }
    void databaseFileNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, listed);
        QFETCH(bool, opens);
        QCOMPARE(browse::isDatabaseFileName(name), listed);
        QCOMPARE(browse::isDatabaseNodeText(name), opens);
    }

    void scanListsFoldersAndDatabasesInDirectoryOrder()
    {
        QTemporaryDir tmp;
        const QString d = tmp.path();
        for (const char* f : {"names.nsf", "log.NSF", "cache.ntf", "readme.txt", ".hidden.nsf",
                              "demo.DXL"})
            touch(d + u'/' + QString::fromUtf8(f));
        QDir(d).mkpath(QStringLiteral("mail"));
        touch(d + QStringLiteral("/mail/a.nsf"));
        QDir(d).mkpath(QStringLiteral(".sys"));
        touch(d + QStringLiteral("/.sys/hidden.nsf"));
        QDir(d).mkpath(QStringLiteral("empty"));
        QDir(d).mkpath(QStringLiteral("人事 档案/年度 报告"));
        touch(d + QStringLiteral("/人事 档案/员工 名单.nsf"));

        TTreeView tree;
        QTreeWidgetItem* root = tree.addNode(nullptr, QStringLiteral("SRV1(") + d + u')', 0, 0);
        ScanDirectory(tree, d, root, true);

        // Expected: what the file system lists, in its order, minus what the tree leaves out.
        QStringList expected;
        for (const QString& n : listedOrder(d)) {
            if (n == u"mail")
                expected << QStringLiteral("mail[a.nsf]");
            else if (n == u"人事 档案")
                expected << QStringLiteral("人事 档案[年度 报告,员工 名单.nsf]");
            else if (n == u"names.nsf" || n == u"log.NSF" || n == u"empty" || n == u"demo.DXL")
                expected << n;
        }
        QCOMPARE(expected.size(), 6);
        // Inside 人事 档案 the order is the folder's own, too.
        if (listedOrder(d + QStringLiteral("/人事 档案")).first() != u"年度 报告")
            expected.replaceInStrings(QStringLiteral("[年度 报告,员工 名单.nsf]"),
                                      QStringLiteral("[员工 名单.nsf,年度 报告]"));
        QCOMPARE(shape(root), expected.join(u','));

        // Kinds travel as image indexes; the empty folder is a folder without children.
        for (int i = 0; i < root->childCount(); ++i) {
            const QTreeWidgetItem* c = root->child(i);
            const bool folder = c->text(0) == u"mail" || c->text(0) == u"empty" ||
                                c->text(0) == u"人事 档案";
            QCOMPARE(TTreeView::imageIndex(c), folder ? 1 : 2);
            QCOMPARE(TTreeView::selectedIndex(c), folder ? 1 : 2);
        }
        QVERIFY(!root->isExpanded());
        // The scan's batch has ended: the tree paints again.
        QVERIFY(tree.updatesEnabled());
    }

    void scanWithoutDatabasesListsFoldersOnly()
    {
        QTemporaryDir tmp;
        QDir(tmp.path()).mkpath(QStringLiteral("mail/archive"));
        touch(tmp.path() + QStringLiteral("/mail/a.nsf"));
        touch(tmp.path() + QStringLiteral("/names.nsf"));
        TTreeView tree;
        QTreeWidgetItem* root = tree.addNode(nullptr, QStringLiteral("root"), 0, 0);
        ScanDirectory(tree, tmp.path() + u'/', root, false);
        QCOMPARE(shape(root), QStringLiteral("mail[archive]"));
    }

    // Running as root, permissions do not keep the scan out of a folder, so the
    // folders it cannot enter are made with links: one to a missing target and
    // loops back to the folder itself and to the data directory.
    void scanSurvivesBrokenLinksAndLoops()
    {
        QTemporaryDir tmp;
        const QString d = tmp.path();
        QDir(d).mkpath(QStringLiteral("mail/inner"));
        QDir(d).mkpath(QStringLiteral("shared"));
        touch(d + QStringLiteral("/mail/a.nsf"));
        touch(d + QStringLiteral("/shared/s.nsf"));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/target"), d + QStringLiteral("/gone.nsf")));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/dir"), d + QStringLiteral("/mail/gone")));
        QVERIFY(QFile::link(d, d + QStringLiteral("/mail/inner/up")));     // back to the top
        QVERIFY(QFile::link(QStringLiteral("."), d + QStringLiteral("/mail/self")));
        QVERIFY(QFile::link(QStringLiteral("../shared"), d + QStringLiteral("/mail/toshared")));
        QVERIFY(QFile::link(d + QStringLiteral("/shared/s.nsf"), d + QStringLiteral("/mail/link.nsf")));

        TTreeView tree;
        QTreeWidgetItem* root = tree.addNode(nullptr, QStringLiteral("root"), 0, 0);
        ScanDirectory(tree, d, root, true);

        QTreeWidgetItem* mail = nullptr;
        for (int i = 0; i < root->childCount(); ++i)
            if (root->child(i)->text(0) == u"mail")
                mail = root->child(i);
        QVERIFY(mail);
        QStringList mailChildren;
        for (int i = 0; i < mail->childCount(); ++i)
            mailChildren << mail->child(i)->text(0);
        mailChildren.sort();
        // A link to a folder outside the chain is a folder like any other; a
        // link to a database is a database.
        QCOMPARE(mailChildren, QStringList({QStringLiteral("a.nsf"), QStringLiteral("inner"),
                                            QStringLiteral("link.nsf"), QStringLiteral("toshared")}));
        for (int i = 0; i < mail->childCount(); ++i) {
            if (mail->child(i)->text(0) == u"inner")
                QCOMPARE(mail->child(i)->childCount(), 0);
            if (mail->child(i)->text(0) == u"toshared")
                QCOMPARE(shape(mail->child(i)), QStringLiteral("s.nsf"));
        }
        QCOMPARE(tree.nodeCount(), 1 + 2 /*mail, shared*/ + 1 /*s.nsf*/ + 4 + 1 /*toshared/s.nsf*/);
    }

    void scanOfMissingDirectoryAddsNothing()
    {
        TTreeView tree;
        QTreeWidgetItem* root = tree.addNode(nullptr, QStringLiteral("SRV(没有安装Domino)"), 0, 0);
        ScanDirectory(tree, QStringLiteral("没有安装Domino"), root, true);
        ScanDirectory(tree, QStringLiteral("/nonexistent/找不到"), root, true);
        QCOMPARE(root->childCount(), 0);
        QVERIFY(tree.updatesEnabled());
    }

    void scanOfThousandsOfEntries()
    {
        QTemporaryDir tmp;
        const QString d = tmp.path();
        for (int i = 0; i < 3000; ++i)
            touch(d + QStringLiteral("/db %1 数据.nsf").arg(i));
        for (int i = 0; i < 1000; ++i)
            touch(d + QStringLiteral("/other%1.txt").arg(i));
        TTreeView tree;
        QTreeWidgetItem* root = tree.addNode(nullptr, QStringLiteral("root"), 0, 0);
        ScanDirectory(tree, d, root, true);
        QCOMPARE(root->childCount(), 3000);
    }

    void nodePaths()
    {
        TTreeView tree;
        QTreeWidgetItem* root = tree.addNode(nullptr, QStringLiteral("SRV(/data)"), 0, 0);
        QTreeWidgetItem* top = tree.addNode(root, QStringLiteral("names.nsf"), 2, 2);
        QTreeWidgetItem* apps = tree.addNode(root, QStringLiteral("apps"), 1, 1);
        QTreeWidgetItem* hr = tree.addNode(apps, QStringLiteral("hr"), 1, 1);
        QTreeWidgetItem* staff = tree.addNode(hr, QStringLiteral("staff.nsf"), 2, 2);
        QCOMPARE(GetNodePath(root), QString());
        QCOMPARE(GetNodePath(top), QStringLiteral("names.nsf"));
        QCOMPARE(GetNodePath(staff), QStringLiteral("apps/hr/staff.nsf"));
        // Once the views are listed below it, the database's path ends in "/".
        tree.addNode(staff, QStringLiteral("所有文档"), 3, 3);
        QCOMPARE(GetNodePath(staff), QStringLiteral("apps/hr/staff.nsf/"));
    }

    void fileLocks()
    {
        QTemporaryDir tmp;
        const QString file = tmp.path() + QStringLiteral("/数据 库.nsf");
        QVERIFY(!IsFileLocked(file));  // a file that does not exist is not locked
        touch(file);
        QVERIFY(!IsFileLocked(file));
        QVERIFY(!IsFileLocked(tmp.path()));  // a folder is left to the open to report
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        QVERIFY(IsFileLocked(file));
        ::close(fd);
        QVERIFY(!IsFileLocked(file));
    }
};

QTEST_MAIN(TestBrowseTree)
#include "tst_browsetree.moc"
