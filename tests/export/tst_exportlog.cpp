// The export log: which file a line goes to, its exact bytes, the time stamp,
// the day change, and the failures a log write reports.
#include "testutil.h"
#include "export/exportlog.h"
#include "export/safefiles.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

    // Code page 936 bytes, CR LF after each line, appended, no BOM.
    void bytesOfLines()
    {
        const QString path = QStringLiteral("/app/log/log20090512.txt");
        WriteLog(path, QStringLiteral("开始导出视图全部文档;"));
        WriteLog(path, QString());
        QByteArray expected = platform::toCp936(QStringLiteral("开始导出视图全部文档;"));
        QCOMPARE(expected.left(4), QByteArray("\xBF\xAA\xCA\xBC"));  // 开始 in GBK
        expected += "\r\n\r\n";
        QCOMPARE(readAll(dir_.filePath(QStringLiteral("log20090512.txt"))), expected);
    }

    // A name or value holding line breaks or other control characters stays
    // on one line of the file, the characters written visibly.
    void controlCharactersEscaped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << QByteArray("a\\r\\nb");
        QTest::newRow("lone LF, tab") << QStringLiteral("名\n\t") << platform::toCp936(QStringLiteral("名")) + "\\n\\t";
        QTest::newRow("ESC, DEL, NUL") << QString::fromUtf16(u"\x1B\x7F\0x", 4) << QByteArray("\\x1B\\x7F\\x00x");
        QTest::newRow("NEL, line separator") << QStringLiteral("a\u0085b\u2028c") << QByteArray("a\\x85b\\u2028c");
        QTest::newRow("after a surrogate pair") << QStringLiteral("😀\n") << platform::toCp936(QStringLiteral("😀")) + "\\n";
    }
    void controlCharactersEscaped()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        WriteLog(QStringLiteral("log.txt"), text);
        ExportLog log(QStringLiteral("/app/"));
        log.write(text);
        const QByteArray stamp = platform::toCp936(logTimeStamp(clock_));
        QCOMPARE(readAll(dir_.filePath("log.txt")), bytes + "\r\n");
        QCOMPARE(readAll(dir_.filePath("log20090512.txt")), bytes + stamp + "\r\n");
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

    // Failures name their cause as the platform words it, and the file.
    void failures()
    {
        testutil::writeAll(dir_.filePath("plain"), "x");
        setLogFolder(dir_.filePath(QStringLiteral("plain/sub")));
        QCOMPARE(errorOf([] { WriteLog(QStringLiteral("log.txt"), QStringLiteral("x")); }),
                 QStringLiteral("I/O error %1: %2").arg(ENOTDIR).arg(dir_.filePath("plain/sub/log.txt")));

        setLogFolder(dir_.path());
        QDir(dir_.path()).mkdir(QStringLiteral("adir.txt"));
        QCOMPARE(errorOf([] { WriteLog(QStringLiteral("adir.txt"), QStringLiteral("x")); }),
                 QStringLiteral("I/O error %1: %2").arg(EISDIR).arg(dir_.filePath("adir.txt")));

        // /dev/full takes no byte: the disk is full.
        setLogFolder(QStringLiteral("/dev"));
        QCOMPARE(errorOf([] { WriteLog(QStringLiteral("c:\\full"), QStringLiteral("x")); }),
                 QStringLiteral("Disk full: /dev/full"));

        // The export's log opens its file again after a failed line.
        setLogFolder(dir_.filePath(QStringLiteral("plain/sub")));
        ExportLog log(QStringLiteral("/app/"));
        QVERIFY(!errorOf([&] { log.write(QStringLiteral("lost")); }).isEmpty());
        QCOMPARE(log.failures(), 1);
        QVERIFY(QFile::remove(dir_.filePath("plain")));
        log.write(QStringLiteral("kept"));
        QVERIFY(readAll(dir_.filePath("plain/sub/log20090512.txt")).startsWith("kept"));
        QCOMPARE(log.failures(), 1);
    }

    // The folder is made private on first use, the file is readable by its
    // owner only, and a link in place of either is never followed.
    void privateFolderAndFile()
    {
        const QString state = dir_.filePath(QStringLiteral("state"));
        qputenv("XDG_STATE_HOME", QFile::encodeName(state));
        QCOMPARE(defaultLogFolder(), state + QStringLiteral("/quillet"));
        qputenv("XDG_STATE_HOME", "relative/state");
        QCOMPARE(defaultLogFolder(), QDir::homePath() + QStringLiteral("/.local/state/quillet"));
        qputenv("XDG_STATE_HOME", QFile::encodeName(state));
        setLogFolder({});
        QCOMPARE(logFolder(), state + QStringLiteral("/quillet/"));

        ExportLog log(QStringLiteral("/app/"));
        log.write(QStringLiteral("first"));
        qunsetenv("XDG_STATE_HOME");
        const QString file = state + QStringLiteral("/quillet/log20090512.txt");
        QCOMPARE(log.filePath(), file);
        QVERIFY(readAll(file).startsWith("first"));
        QCOMPARE(QFileInfo(state + QStringLiteral("/quillet")).permissions() & 0x0777, QFile::Permissions(0x0700));
        QCOMPARE(QFileInfo(file).permissions() & 0x0777, QFile::Permissions(0x0600));

        // A link planted as the day's file or as the folder.
        const QString target = dir_.filePath(QStringLiteral("target.txt"));
        testutil::writeAll(target, "untouched");
        const QString folder = dir_.filePath(QStringLiteral("links"));
        QDir().mkpath(folder);
        QVERIFY(QFile::link(target, folder + QStringLiteral("/log20090512.txt")));
        setLogFolder(folder);
        QCOMPARE(errorOf([&] { log.write(QStringLiteral("x")); }),
                 QStringLiteral("File access denied: ") + folder + QStringLiteral("/log20090512.txt") + linkRefusalText());
        QVERIFY(QFile::link(folder, dir_.filePath(QStringLiteral("folderlink"))));
        setLogFolder(dir_.filePath(QStringLiteral("folderlink")));
        QCOMPARE(errorOf([] { WriteLog(QStringLiteral("other.txt"), QStringLiteral("x")); }),
                 QStringLiteral("File access denied: ") + dir_.filePath(QStringLiteral("folderlink")) + linkRefusalText());
        QCOMPARE(readAll(target), QByteArray("untouched"));
        QVERIFY(!QFile::exists(folder + QStringLiteral("/other.txt")));
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
                 QStringLiteral("File access denied: ") + folder + QStringLiteral("/log.txt"));
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
        const qsizetype size = platform::toCp936(line + logTimeStamp(clock_)).size() + 2;
        ExportLog log(QStringLiteral("/app/"));
        const QString file = folder + QStringLiteral("/log20090512.txt");
        QString error;
        for (int written = 0; written < 1000 && error.isEmpty(); ++written)
            error = errorOf([&] { log.write(line); });
        QCOMPARE(error, QStringLiteral("Disk full: ") + file);
        QByteArray bytes = readAll(file);
        QVERIFY(bytes.size() >= size);
        QCOMPARE(bytes.size() % size, 0);
        QVERIFY(bytes.endsWith("\r\n"));
        // Room again: the next line opens the file anew.
        QVERIFY(QFile::remove(file));
        log.write(line);
        QCOMPARE(readAll(file).size(), size);
    }
};

QTEST_GUILESS_MAIN(TestExportLog)
#include "tst_exportlog.moc"
