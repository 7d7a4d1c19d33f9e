#include "engine/config.h"
#include "platform/host.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <dlfcn.h>
#include <mutex>

namespace engine {
namespace {
std::mutex g_mutex;
std::optional<EngineConfig> g_config;
} // namespace

EngineConfig readNotesIni(const QString& file)
{
    EngineConfig c;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return c;
    const QByteArray bytes = f.readAll();
    const QString text = QString::fromUtf8(bytes);
    QString section;
    for (QString line : text.split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        if (!section.isEmpty() && section.compare(QLatin1String("Notes"), Qt::CaseInsensitive) != 0)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key.compare(QLatin1String("Directory"), Qt::CaseInsensitive) == 0) {
            QString dir = value;
            dir.replace(u'\\', u'/');
            c.dataDirectory = QDir::cleanPath(QFileInfo(file).absoluteDir().absoluteFilePath(dir));
        } else if (key.compare(QLatin1String("ServerName"), Qt::CaseInsensitive) == 0) {
            c.serverName = value;
        }
    }
    return c;
}

QString modulePath()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&modulePath), &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QFile::decodeName(info.dli_fname)).absoluteFilePath();
}

QString moduleDirectory() { return QFileInfo(modulePath()).absolutePath(); }

EngineConfig configuration()
{
    {
        std::lock_guard lock(g_mutex);
        if (g_config)
            return *g_config;
    }
    return readNotesIni(moduleDirectory() + QStringLiteral("/notes.ini"));
}

void setConfiguration(std::optional<EngineConfig> config)
{
    std::lock_guard lock(g_mutex);
    g_config = std::move(config);
}

QString abbreviatedName(const QString& name)
{
    QStringList parts = name.trimmed().split(u'/');
    for (QString& p : parts) {
        const qsizetype eq = p.indexOf(u'=');
        if (eq > 0 && eq <= 2)  // CN=, OU=, O=, C=
            p = p.mid(eq + 1);
        p = p.trimmed();
    }
    return parts.join(u'/');
}

QString commonName(const QString& name) { return abbreviatedName(name).section(u'/', 0, 0); }

bool isLocalServer(const EngineConfig& config, const QString& name)
{
    const QString n = name.trimmed();
    if (n.isEmpty())
        return false;
    auto same = [&](const QString& other) { return !other.isEmpty() && n.compare(other, Qt::CaseInsensitive) == 0; };
    if (same(QStringLiteral("localhost")) || same(QStringLiteral("127.0.0.1")))
        return true;
    if (!config.serverName.isEmpty()
        && (same(config.serverName) || same(abbreviatedName(config.serverName))
            || same(commonName(config.serverName)) || abbreviatedName(n).compare(abbreviatedName(config.serverName), Qt::CaseInsensitive) == 0))
        return true;
    const QString host = platform::hostName();
    if (same(host) || same(host.section(u'.', 0, 0)))
        return true;
    const std::optional<QString> official = platform::resolveOfficialName(host);
    return official && same(*official);
}

} // namespace engine
