// Where Notes and Domino are, from the machine hive, and the repair of the
// component registration at start.
// Table rows are built with "+": plain QString results, not builders.
#undef QT_USE_QSTRINGBUILDER
#include "domino/dominointerface.h"
#include "domino/dominoobjects.h"
#include "platform/registry.h"
#include "platform/scriptedprompts.h"
#include "testcomponent.h"
#include "unprivileged.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n");
const QString kServerSection = QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\")
    + QLatin1String(domino::kNotesSessionClsid) + QStringLiteral("\\InprocServer32]\r\n");
const QString kMissingMessage = QStringLiteral(
    "找不到您系统上Domino的一个关键组件，请确认您的Domino或NOtes安装正常!请联系系统管理员或技术支持。");
const QString kFailedMessage = QStringLiteral(
    "您好，系统在注册domino组件时失败，或许是您的系统对权限的限制，请联系系统管理员或技术支持。");

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

std::optional<QString> registeredFile(const QString& hivePath)
{
    auto key = platform::openHiveFile(hivePath)->openKey(
        QStringLiteral("SOFTWARE\\Classes\\CLSID\\") + QLatin1String(domino::kNotesSessionClsid) + "\\InprocServer32",
        platform::KeyAccess::Read);
    return key ? key->readString(QString()) : std::nullopt;
}

} // namespace

class TestDominoInterface : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        for (const char* sub : {"domino", "data", "notes"})
            QVERIFY(QDir(dir_->path()).mkdir(sub));
        QVERIFY(writeAll(dir_->filePath("file"), "x"));
        hive_ = dir_->filePath("hklm.reg");
        platform::setMachineHivePath(hive_);
        platform::setPrompts(&prompts_);
        prompts_.clear();
        cwd_ = QDir::currentPath();
    }
    void cleanup()
    {
        platform::setPrompts(nullptr);
        platform::setMachineHivePath({});
        QDir::setCurrent(cwd_);
        qunsetenv(testcomponent::kRefuseRegistrationEnv);
    }

    // Each row: the hive's sections ("" for no hive file) and what the five probes answer.
    void probes_data()
    {
        QTest::addColumn<QString>("sections");
        QTest::addColumn<QStringList>("expected");  // DominoInstalled NotesInstalled DominoPath DominoDataPath NotesPath
        const QString domino = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lotus\\Domino]\r\n";
        const QString notes = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lotus\\Notes]\r\n";
        const QString none = "没有安装Domino", gone = "(找不到该目录)";
        QTest::newRow("no hive") << "" << QStringList{"false", "false", none, none, ""};
        QTest::newRow("installed")
            << domino + "\"Path\"=\"%DIR%/domino\"\r\n\"DataPath\"=\"%DIR%/data\"\r\n" + notes + "\"Path\"=\"%DIR%/notes/\"\r\n"
            << QStringList{"true", "true", "%DIR%/domino", "%DIR%/data", "%DIR%/notes/"};
        QTest::newRow("keys without values") << domino + notes << QStringList{"true", "true", gone, gone, gone};
        QTest::newRow("directories gone")
            << domino + "\"Path\"=\"%DIR%/old\"\r\n\"DataPath\"=\"%DIR%/file\"\r\n" + notes + "\"Path\"=\" %DIR%/notes\"\r\n"
            << QStringList{"true", "true", "%DIR%/old" + gone, "%DIR%/file" + gone, " %DIR%/notes" + gone};
        QTest::newRow("values of other types")
            << domino + "\"Path\"=dword:00000001\r\n\"DataPath\"=hex:2f,00\r\n"
            << QStringList{"true", "false", gone, gone, ""};
        QTest::newRow("Notes only, letter case of the export")
            << "[HKEY_LOCAL_MACHINE\\software\\LOTUS\\notes]\r\n\"PATH\"=\"%DIR%/notes\"\r\n"
            << QStringList{"false", "true", none, none, "%DIR%/notes"};
    }
    void probes()
    {
        QFETCH(QString, sections);
        QFETCH(QStringList, expected);
        if (!sections.isEmpty())
            QVERIFY(writeAll(hive_, QString(kHeader + sections).replace("%DIR%", dir_->path()).toUtf8()));
        const QStringList actual{domino::DominoInstalled() ? "true" : "false",
                                 domino::NotesInstalled() ? "true" : "false", domino::DominoPath(),
                                 domino::DominoDataPath(), domino::NotesPath()};
        QCOMPARE(actual, expected.replaceInStrings("%DIR%", dir_->path()));
        QVERIFY(prompts_.asked().isEmpty());
    }

    // A plain user can read the hive but not write it: Domino is still installed.
    void probesOnReadOnlyHive()
    {
        QVERIFY(writeAll(hive_, (kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lotus\\Domino]\r\n\"Path\"=\"" + dir_->path()
                                 + "/domino\"\r\n").toUtf8()));
        ::chmod(QFile::encodeName(dir_->path()).constData(), 0755);
        ::chmod(QFile::encodeName(hive_).constData(), 0444);
        const QString expected = dir_->path() + "/domino";
        QUILLET_COMPARE_UNPRIVILEGED(runUnprivileged([&] { return domino::DominoInstalled() && domino::DominoPath() == expected ? 0 : 1; }));
    }

    void registration_data()
    {
        QTest::addColumn<QString>("registered");  // "-": no InprocServer32 key
        QTest::addColumn<QString>("installDir");
        QTest::addColumn<QString>("component");   // what lies at installDir/libdominoobjects.so
        QTest::addColumn<QString>("expected");    // registration afterwards ("-": no key)
        QTest::addColumn<QStringList>("messages");
        const QString file = "%DIR%/domino/libdominoobjects.so";
        QTest::newRow("equal: nothing written") << file << "%DIR%/domino" << "none" << file << QStringList();
        QTest::newRow("letter case differs: rewritten")
            << "%DIR%/domino/LibDominoObjects.so" << "%DIR%/domino" << "none" << file << QStringList();
        QTest::newRow("another installation: rewritten")
            << "/opt/old/libdominoobjects.so" << "%DIR%/domino" << "none" << file << QStringList();
        QTest::newRow("trailing separator: doubled")
            << file << "%DIR%/domino/" << "none" << "%DIR%/domino//libdominoobjects.so" << QStringList();
        QTest::newRow("marked directory: left alone")
            << "/opt/old/libdominoobjects.so" << "%DIR%/gone(找不到该目录)" << "none" << "/opt/old/libdominoobjects.so"
            << QStringList();
        QTest::newRow("no key, directory missing: nothing") << "-" << "%DIR%/gone" << "none" << "-" << QStringList();
        QTest::newRow("no key, component missing") << "-" << "%DIR%/domino" << "none" << "-" << QStringList{kMissingMessage};
        QTest::newRow("no key, component does not load")
            << "-" << "%DIR%/domino" << "garbage" << "-" << QStringList{kFailedMessage};
        QTest::newRow("no key, registration refused")
            << "-" << "%DIR%/domino" << "refusing" << "-" << QStringList{kFailedMessage};
        QTest::newRow("no key: component registers itself") << "-" << "%DIR%/domino" << "module" << file << QStringList();
    }
    void registration()
    {
        QFETCH(QString, registered);
        QFETCH(QString, installDir);
        QFETCH(QString, component);
        QFETCH(QString, expected);
        QFETCH(QStringList, messages);
        const QString dir = dir_->path();
        QString hiveText = kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lotus\\Domino]\r\n\"Path\"=\"" + dir + "/domino\"\r\n";
        if (registered != "-")
            hiveText += "\r\n" + kServerSection + "@=\"" + QString(registered).replace("%DIR%", dir) + "\"\r\n";
        QVERIFY(writeAll(hive_, hiveText.toUtf8()));
        const QByteArray before = readAll(hive_);
        const QString target = dir + "/domino/libdominoobjects.so";
        if (component == "garbage")
            QVERIFY(writeAll(target, QByteArray(512, 'x')));
        else if (component != "none")
            QVERIFY(QFile::copy(QStringLiteral(QUILLET_TEST_COMPONENT), target));
        if (component == "refusing")
            qputenv(testcomponent::kRefuseRegistrationEnv, "1");

        QVERIFY(domino::CheckComponentRegistration(installDir.replace("%DIR%", dir)));

        QCOMPARE(prompts_.messages(), messages);
        const auto now = registeredFile(hive_);
        QCOMPARE(now.value_or("-"), expected.replace("%DIR%", dir));
        if (registered != "-" && now == std::optional<QString>(registered.replace("%DIR%", dir)))
            QCOMPARE(readAll(hive_), before);  // nothing written when nothing changes
        if (registered == "-" && component != "none")
            QCOMPARE(QDir::currentPath(), dir + "/domino");  // the directory stays current
    }

    // Read-only hive: a registration that is right needs no write and shows
    // nothing; one that is wrong cannot be repaired, which is said.
    void registrationOnReadOnlyHive_data()
    {
        QTest::addColumn<QString>("registered");
        QTest::addColumn<int>("messageCount");
        QTest::newRow("right") << "%DIR%/domino/libdominoobjects.so" << 0;
        QTest::newRow("wrong") << "/opt/old/libdominoobjects.so" << 1;
    }
    void registrationOnReadOnlyHive()
    {
        QFETCH(QString, registered);
        QFETCH(int, messageCount);
        const QString dir = dir_->path();
        QVERIFY(writeAll(hive_, (kHeader + kServerSection + "@=\"" + registered.replace("%DIR%", dir) + "\"\r\n").toUtf8()));
        QVERIFY(QFile::copy(QStringLiteral(QUILLET_TEST_COMPONENT), dir + "/domino/libdominoobjects.so"));
        ::chmod(QFile::encodeName(dir).constData(), 0755);
        ::chmod(QFile::encodeName(hive_).constData(), 0444);
        const QByteArray before = readAll(hive_);
        const int result = runUnprivileged([&] {
            platform::ScriptedPrompts seen;
            platform::setPrompts(&seen);
            domino::CheckComponentRegistration(dir + "/domino");
            platform::setPrompts(&prompts_);
            if (seen.messages().size() != messageCount)
                return 1;
            return messageCount == 0 || seen.messages().first() == kFailedMessage ? 0 : 2;
        });
        QUILLET_COMPARE_UNPRIVILEGED(result);
        QCOMPARE(readAll(hive_), before);
    }

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString hive_;
    QString cwd_;
    platform::ScriptedPrompts prompts_;
};

QTEST_GUILESS_MAIN(TestDominoInterface)
#include "tst_dominointerface.moc"
