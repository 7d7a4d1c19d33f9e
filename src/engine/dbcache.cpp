#include "engine/dbcache.h"
#include "engine/dxlreader.h"
#include <QFile>
#include <list>
#include <mutex>
#include <sys/stat.h>

namespace engine {
namespace {

struct Cached {
    QString path;
    qint64 size;
    qint64 mtimeNs;
    DatabasePtr db;
};

constexpr size_t kKept = 8;
std::mutex g_mutex;
std::list<Cached> g_cache;  // most recently used first

} // namespace

DatabasePtr openDatabaseFile(const QString& absolutePath)
{
    struct stat st{};
    const bool statted = ::stat(QFile::encodeName(absolutePath).constData(), &st) == 0;
    const qint64 mtime = statted ? qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec : -1;
    if (statted && S_ISREG(st.st_mode)) {
        std::lock_guard lock(g_mutex);
        for (auto it = g_cache.begin(); it != g_cache.end(); ++it)
            if (it->path == absolutePath && it->size == qint64(st.st_size) && it->mtimeNs == mtime) {
                g_cache.splice(g_cache.begin(), g_cache, it);
                return g_cache.front().db;
            }
    }
    DatabasePtr db = readDxlFile(absolutePath);
    if (statted) {
        std::lock_guard lock(g_mutex);
        g_cache.remove_if([&](const Cached& c) { return c.path == absolutePath; });
        g_cache.push_front({absolutePath, qint64(st.st_size), mtime, db});
        while (g_cache.size() > kKept)
            g_cache.pop_back();
    }
    return db;
}

void clearDatabaseCache()
{
    std::lock_guard lock(g_mutex);
    g_cache.clear();
}

} // namespace engine
