// The export log: which file a line goes to, its exact bytes, the time stamp,
// the day change, and the failures a log write reports.
#include "testutil.h"
#include "export/exportlog.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/mount.h>
#include <unistd.h>

using namespace exporting;

using testutil::errorOf;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}


// A tiny tmpfs of our own, when this process may mount one (root in a
// container usually may); unmounted on destruction.
class TinyMount {
public:
    TinyMount(const QString& dir, const char* options) : dir_(dir)
    {
        mounted_ = ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, options) == 0;
    }
    ~TinyMount()
    {
        if (mounted_)
            ::umount2(QFile::encodeName(dir_).constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    QString dir_;
    bool mounted_ = false;
};

} // namespace

class TestExportLog : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QDateTime clock_;

private Q_SLOTS:
    void init()
    {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
        setLogFolder(dir_.path());
        clock_ = QDateTime(QDate(2009, 5, 12), QTime(9, 5, 7));
        platform::setClock([this] { return clock_; });
    }
    void cleanup()
    {
        setLogFolder({});
        platform::setClock({});
    }

    // Only the file-name part of the path counts; its folder need not exist.
    void fileNamePartOfPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("file");
        QTest::newRow("windows folder") << "D:\\tools\\log\\log20090512.txt" << "log20090512.txt";
        QTest::newRow("missing folder") << "/no/such/folder/log/log20090512.txt" << "log20090512.txt";
        QTest::newRow("drive only") << "D:log1.txt" << "log1.txt";
        QTest::newRow("bare name") << "log2.txt" << "log2.txt";
    }
    void fileNamePartOfPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, file);
        WriteLog(path, QStringLiteral("x"));
        QCOMPARE(readAll(dir_.filePath(file)), QByteArray("x\r\n"));
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{file});
    }

    // Code page 936 bytes, CR LF after each line, appended, no BOM; a line
    // with line breaks spans several lines of the file.
    void bytesOfLines()
    {
        const QString path = QStringLiteral("/app/log/log20090512.txt");
        WriteLog(path, QStringLiteral("开始导出视图全部文档;"));
        WriteLog(path, QStringLiteral("a\nb"));
        WriteLog(path, QString());
        QByteArray expected = platform::toCp936(QStringLiteral("开始导出视图全部文档;"));
        QCOMPARE(expected.left(4), QByteArray("\xBF\xAA\xCA\xBC"));  // 开始 in GBK
        expected += "\r\na\nb\r\n\r\n";
        QCOMPARE(readAll(dir_.filePath(QStringLiteral("log20090512.txt"))), expected);
    }

    // The export's lines are the platform's code page 936 bytes, whatever
    // the characters (single-byte, double-byte, unmappable, surrogates).
    void exportLinesAreCp936()
    {
        const QString texts[] = {QStringLiteral("ascii only;"), QStringLiteral("乗亅表€ü…—·"),
                                 QStringLiteral("Ünï 😀 尾"), QStringLiteral("\u00A0\u3000x")};
        ExportLog log(QStringLiteral("/app/"));
        QByteArray expected;
        const QByteArray stamp = platform::toCp936(logTimeStamp(clock_));
        for (const QString& t : texts) {
            log.write(t);
            log.write(t);  // the second time from the characters already seen
            expected += platform::toCp936(t) + stamp + "\r\n";
            expected += platform::toCp936(t) + stamp + "\r\n";
        }
        QCOMPARE(readAll(dir_.filePath("log20090512.txt")), expected);
    }

    // The export's lines end in the stamp and go to the day's file; a run
    // past midnight goes on in the next day's file, and two runs of one day
    // share it.
    void dayFilesAndStamp()
    {
        ExportLog log(QStringLiteral("/opt/quillet/"));
        clock_ = QDateTime(QDate(2009, 5, 12), QTime(23, 59, 59));
        log.write(QStringLiteral("第一行;"));
        clock_ = QDateTime(QDate(2009, 5, 13), QTime(0, 0, 1));
        log.write(QStringLiteral("第二行;"));
        ExportLog second(QStringLiteral("/elsewhere/"));
        second.write(QStringLiteral("第三行;"));

        const QString d12 = QLocale::system().toString(QDate(2009, 5, 12), QLocale::ShortFormat);
        const QString d13 = QLocale::system().toString(QDate(2009, 5, 13), QLocale::ShortFormat);
        QCOMPARE(platform::fromCp936(readAll(dir_.filePath("log20090512.txt"))),
                 QStringLiteral("第一行;") + d12 + QStringLiteral(" 23:59:59\r\n"));
        QCOMPARE(platform::fromCp936(readAll(dir_.filePath("log20090513.txt"))),
                 QStringLiteral("第二行;") + d13 + QStringLiteral(" 0:00:01\r\n第三行;") + d13 +
                     QStringLiteral(" 0:00:01\r\n"));
        // The hour has no leading zero, minutes and seconds two digits.
        QCOMPARE(logTimeStamp(QDateTime(QDate(2009, 5, 12), QTime(7, 3, 9))), d12 + QStringLiteral(" 7:03:09"));
        QCOMPARE(logFileName(QDate(2009, 1, 2)), QStringLiteral("log20090102.txt"));
    }

    // A replaced folder takes effect for a log already in use.
    void folderChangeTakesEffect()
    {
        ExportLog log(QStringLiteral("/app/"));
        log.write(QStringLiteral("one"));
        QTemporaryDir other;
        setLogFolder(other.path());
        log.write(QStringLiteral("two"));
        QVERIFY(readAll(dir_.filePath("log20090512.txt")).startsWith("one"));
        QVERIFY(readAll(other.filePath("log20090512.txt")).startsWith("two"));
    }

    // Failures name their cause; nothing is created where it cannot be.
    void failures()
    {
        setLogFolder(dir_.filePath(QStringLiteral("missing")));
        QCOMPARE(errorOf([] { WriteLog(QStringLiteral("log.txt"), QStringLiteral("x")); }),
                 QStringLiteral("I/O error %1").arg(ENOENT));

        setLogFolder(dir_.path());
        QDir(dir_.path()).mkdir(QStringLiteral("adir.txt"));
        QCOMPARE(errorOf([] { WriteLog(QStringLiteral("adir.txt"), QStringLiteral("x")); }),
                 QStringLiteral("I/O error %1").arg(EISDIR));

        // /dev/full takes no byte: the disk is full.
        setLogFolder(QStringLiteral("/dev"));
        QCOMPARE(errorOf([] { WriteLog(QStringLiteral("c:\\full"), QStringLiteral("x")); }),
                 QStringLiteral("Disk full"));
    }

    void accessDenied()
    {
        const QString folder = dir_.filePath(QStringLiteral("ro"));
        QDir().mkpath(folder);
        TinyMount ro(folder, "size=64k,mode=0555");
        if (::geteuid() == 0) {
            if (!ro.mounted())
                QSKIP("root cannot be denied a plain folder and may not mount a read-only one here");
            QVERIFY(::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs",
                            MS_REMOUNT | MS_RDONLY, "size=64k") == 0);
        } else {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        }
        setLogFolder(folder);
        QCOMPARE(errorOf([] { WriteLog(QStringLiteral("log.txt"), QStringLiteral("x")); }),
                 QStringLiteral("File access denied"));
    }

    // A disk that fills up mid-log: the file keeps whole lines only.
    void diskFillsUp()
    {
        const QString folder = dir_.filePath(QStringLiteral("tiny"));
        QDir().mkpath(folder);
        TinyMount tiny(folder, "size=16k");
        if (!tiny.mounted())
            QSKIP("no tmpfs can be mounted here; /dev/full covers the error text");
        setLogFolder(folder);
        const QString line = QString(100, u'字');  // 200 bytes in GBK
        QString error;
        int written = 0;
        for (; written < 1000 && error.isEmpty(); ++written)
            error = errorOf([&] { WriteLog(QStringLiteral("log.txt"), line); });
        QCOMPARE(error, QStringLiteral("Disk full"));
        const QByteArray bytes = readAll(folder + QStringLiteral("/log.txt"));
        QVERIFY(bytes.size() >= 202);
        QCOMPARE(bytes.size() % 202, 0);
        QVERIFY(bytes.endsWith("\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestExportLog)
#include "tst_exportlog.moc"
