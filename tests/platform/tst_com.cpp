// The COM runtime: objects created by class id from the machine hive, each
// failure with its own text, and self-registration into the hive.
// Table rows are built with "+": plain QByteArray and QString results, not builders.
#undef QT_USE_QSTRINGBUILDER
#include "platform/com.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "testcomponent.h"
#include "unprivileged.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace testcomponent;

namespace {

const QString kComponent = QStringLiteral(QUILLET_TEST_COMPONENT);

QString serverKey(const char* clsid)
{
    return QStringLiteral("SOFTWARE\\Classes\\CLSID\\") + QLatin1String(clsid) + QStringLiteral("\\InprocServer32");
}

QString errorOf(const char* clsid)
{
    try {
        platform::CreateComObject(QLatin1String(clsid));
    } catch (const platform::Error& e) {
        return e.text();
    }
    return QStringLiteral("(no error)");
}

} // namespace

class TestCom : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        platform::setMachineHivePath(dir_->filePath("hklm.reg"));
        qunsetenv(kRefuseRegistrationEnv);
    }
    void cleanup() { platform::setMachineHivePath({}); }

    void registerThenCreate()
    {
        QString error;
        QVERIFY2(platform::RegisterComServer(kComponent, &error), qPrintable(error));
        auto hive = platform::openHiveFile(dir_->filePath("hklm.reg"));
        auto server = hive->openKey(serverKey(kGreeterClsid), platform::KeyAccess::Read);
        QVERIFY(server);
        QCOMPARE(server->readString(""), std::optional<QString>(kComponent));
        auto progId = hive->openKey(QStringLiteral("SOFTWARE\\Classes\\") + kGreeterProgId + "\\CLSID",
                                    platform::KeyAccess::Read);
        QVERIFY(progId);
        QCOMPARE(progId->readString(""), std::optional<QString>(kGreeterClsid));

        // The class id compares without regard to letter case, as on Windows.
        auto object = platform::CreateComObject(QString::fromLatin1(kGreeterClsid).toLower());
        auto greeter = std::dynamic_pointer_cast<IGreeter>(object);
        QVERIFY(greeter);
        QCOMPARE(greeter->greet("世界"), QString("你好，世界"));
    }

    void creationFailures_data()
    {
        QTest::addColumn<QString>("registered");  // InprocServer32 of the greeter; "-" no key, "!" no hive, "?" a broken one
        QTest::addColumn<QString>("clsid");
        QTest::addColumn<QStringList>("textHas");
        QTest::newRow("not registered") << "-" << kGreeterClsid << QStringList{"没有注册", kGreeterClsid};
        QTest::newRow("no hive") << "!" << kGreeterClsid << QStringList{"找不到注册表文件", "%DIR%/hklm.reg", kGreeterClsid};
        QTest::newRow("hive is no registry file") << "?" << kGreeterClsid << QStringList{"已损坏", "%DIR%/hklm.reg"};
        QTest::newRow("empty registration") << "" << kGreeterClsid << QStringList{"没有注册"};
        QTest::newRow("file missing") << "%DIR%/gone.so" << kGreeterClsid << QStringList{"找不到", "gone.so"};
        QTest::newRow("cannot load") << "%DIR%/garbage.so" << kGreeterClsid
                                     << QStringList{"无法加载组件文件", "garbage.so", "ELF"};
        QTest::newRow("no entry") << QUILLET_NOENTRY_COMPONENT << kGreeterClsid
                                  << QStringList{"没有入口", "QuilletCreateObject"};
        QTest::newRow("factory refuses") << kComponent << kRefusedClsid << QStringList{"不能创建", kRefusedClsid};
    }
    void creationFailures()
    {
        QFETCH(QString, registered);
        QFETCH(QString, clsid);
        QFETCH(QStringList, textHas);
        {
            QFile garbage(dir_->filePath("garbage.so"));
            QVERIFY(garbage.open(QIODevice::WriteOnly));
            garbage.write(QByteArray(256, 'x'));
        }
        if (registered == "-")
            QVERIFY(platform::machineRegistry().createKey("SOFTWARE\\Other"));
        if (registered == "?") {
            QFile hive(dir_->filePath("hklm.reg"));
            QVERIFY(hive.open(QIODevice::WriteOnly));
            hive.write("\x7f" "ELF not a hive\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n");
        }
        if (registered != "-" && registered != "!" && registered != "?") {
            auto key = platform::machineRegistry().createKey(serverKey(clsid.toLatin1().constData()));
            QVERIFY(key);
            QVERIFY(key->writeString("", QString(registered).replace("%DIR%", dir_->path())));
        }
        const QString text = errorOf(clsid.toLatin1().constData());
        for (const QString& part : textHas)
            QVERIFY2(text.contains(QString(part).replace("%DIR%", dir_->path())), qPrintable(text));
    }

    void registrationFailures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<QString>("textHas");
        QTest::newRow("file missing") << "%DIR%/gone.so" << false << "找不到组件文件";
        QTest::newRow("no entry") << QUILLET_NOENTRY_COMPONENT << false << "QuilletRegisterServer";
        QTest::newRow("entry refuses") << kComponent << true << "拒绝注册";
    }
    void registrationFailures()
    {
        QFETCH(QString, file);
        QFETCH(bool, refuse);
        QFETCH(QString, textHas);
        if (refuse)
            qputenv(kRefuseRegistrationEnv, "1");
        QString error;
        QVERIFY(!platform::RegisterComServer(QString(file).replace("%DIR%", dir_->path()), &error));
        QVERIFY2(error.contains(textHas), qPrintable(error));
        QVERIFY(!QFile::exists(dir_->filePath("hklm.reg")));
    }

    void registrationIntoUnwritableHive()
    {
        const QString folder = dir_->filePath("ro");
        QVERIFY(QDir().mkpath(folder));
        platform::setMachineHivePath(folder + "/hklm.reg");
        const QString component = reachableCopy(kComponent, dir_->path());
        QVERIFY(!component.isEmpty());
        ::chmod(QFile::encodeName(dir_->path()).constData(), 0755);
        ::chmod(QFile::encodeName(folder).constData(), 0555);
        const int result = runUnprivileged([&] {
            QString error;
            if (platform::RegisterComServer(component, &error))
                return 1;
            return error.contains("无法写入注册表") ? 0 : 2;
        });
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        QUILLET_COMPARE_UNPRIVILEGED(result);
    }

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

QTEST_GUILESS_MAIN(TestCom)
#include "tst_com.moc"
