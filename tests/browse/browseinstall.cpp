#include "browseinstall.h"
#include "platform/prompts.h"
#include "platform/registry.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QWidget>

namespace browsetest {

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QString regString(const QString& s)
{
    QString e = s;
    e.replace(u'\\', QStringLiteral("\\\\"));
    e.replace(u'"', QStringLiteral("\\\""));
    return u'"' + e + u'"';
}

} // namespace

Installation::Installation()
{
    const QString r = root_.path();
    const QString domino = r + QStringLiteral("/domino");
    if (!QDir().mkpath(domino) || !QDir().mkpath(appDir()) || !QDir().mkpath(dataDir()))
        return;
    // The component itself is the build's; its notes.ini is read beside the
    // path it was loaded from, so a link gives it this installation's data.
    const QString component = domino + QStringLiteral("/libdominoobjects.so");
    if (!QFile::link(QStringLiteral(QUILLET_DOMINO_DIR "/libdominoobjects.so"), component))
        return;
    const QString ini = QStringLiteral("[Notes]\nDirectory=") + dataDir() +
                        QStringLiteral("\nServerName=CN=Quillet Test/O=Quillet\n");
    if (!writeFile(domino + QStringLiteral("/notes.ini"), ini.toUtf8()))
        return;
    const QString hive =
        QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lotus\\Domino]\r\n") +
        QStringLiteral("\"Path\"=") + regString(domino) + QStringLiteral("\r\n\"DataPath\"=") +
        regString(dataDir()) +
        QStringLiteral("\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\"
                       "{29131539-2EED-1069-BF5D-00DD011186B7}\\InprocServer32]\r\n@=") +
        regString(component) + QStringLiteral("\r\n");
    const QString hivePath = r + QStringLiteral("/hklm.reg");
    if (!writeFile(hivePath, hive.toUtf8()))
        return;
    platform::setMachineHivePath(hivePath);
    platform::setPrompts(&prompts);
    resetData();
    ok_ = true;
}

Installation::~Installation() { platform::setPrompts(nullptr); }

void Installation::resetData()
{
    QDir(dataDir()).removeRecursively();
    QDir().mkpath(dataDir());
    copyIn(QStringLiteral("sample/data/names.dxl"), QStringLiteral("names.nsf"));
}

void Installation::reset()
{
    resetData();
    QDir(appDir()).removeRecursively();
    QDir().mkpath(appDir());
    prompts.clear();
}

void Installation::copyIn(const QString& sourceRelative, const QString& dataRelative)
{
    const QString target = dataDir() + u'/' + dataRelative;
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target);
    QFile::copy(QStringLiteral(QUILLET_SOURCE_DIR "/") + sourceRelative, target);
}

void Installation::touch(const QString& dataRelative)
{
    const QString target = dataDir() + u'/' + dataRelative;
    QDir().mkpath(QFileInfo(target).absolutePath());
    writeFile(target, "not a database\n");
}

void Installation::mkdir(const QString& dataRelative) { QDir().mkpath(dataDir() + u'/' + dataRelative); }

void onNextModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(w);
        }
    });
    timer->start();
}

} // namespace browsetest
