#pragma once
// Shared set-up of the window tests: scripted prompts, a hive and an
// application folder of the test's own.
#include "platform/registry.h"
#include "platform/scriptedprompts.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace apptest {

// Installs scripted prompts for its lifetime.
struct PromptsScope {
    platform::ScriptedPrompts prompts;
    PromptsScope() { platform::setPrompts(&prompts); }
    ~PromptsScope() { platform::setPrompts(nullptr); }
};

// Writes a hive file in regedit's text form (UTF-8) and makes it the machine
// hive. sections: key path below HKEY_LOCAL_MACHINE -> lines of values.
inline QString writeHive(const QString& dir, const QList<QPair<QString, QStringList>>& keys)
{
    QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n");
    for (const auto& [key, values] : keys) {
        text += QStringLiteral("[HKEY_LOCAL_MACHINE\\") + key + QStringLiteral("]\r\n");
        for (const QString& v : values)
            text += v + QStringLiteral("\r\n");
        text += QStringLiteral("\r\n");
    }
    const QString path = dir + QStringLiteral("/hklm.reg");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(text.toUtf8());
    platform::setMachineHivePath(path);
    return path;
}

inline QString regValue(const QString& name, const QString& value)
{
    return QLatin1Char('"') + name + QStringLiteral("\"=\"") + value + QLatin1Char('"');
}

// Runs action on the next modal widget once it is up (polling, so that it also
// works when the widget opens after a while).
inline void onNextModal(std::function<void(QWidget*)> action)
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

} // namespace apptest
