#include "platform/com.h"
#include "platform/error.h"
#include "platform/registry.h"
#include <QFile>
#include <QFileInfo>
#include <dlfcn.h>
#include <mutex>

namespace platform {

ComObject::~ComObject() = default;

namespace {

using CreateObjectEntry = ComObject* (*)(const char*);
using RegisterServerEntry = bool (*)(ComRegistrar*);

QString classKey(const QString& clsid) { return QStringLiteral("SOFTWARE\\Classes\\CLSID\\") + clsid; }

// Loads a component for the rest of the process: objects it made must stay
// valid however long their owners keep them, so it is never unloaded.
void* loadComponent(const QString& file, QString* error)
{
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    ::dlerror();
    void* handle = ::dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        *error = QStringLiteral("无法加载组件文件 %1：%2").arg(file, QString::fromLocal8Bit(why ? why : "?"));
    }
    return handle;
}

void* entry(void* handle, const char* name, const QString& file, QString* error)
{
    ::dlerror();
    void* symbol = ::dlsym(handle, name);
    if (!symbol)
        *error = QStringLiteral("组件文件 %1 没有入口 %2").arg(file, QString::fromLatin1(name));
    return symbol;
}

// Writes the classes a component registers into the machine hive.
class MachineRegistrar : public ComRegistrar {
public:
    bool registerClass(const QString& clsid, const QString& progId, const QString& file) override
    {
        Registry& hklm = machineRegistry();
        auto server = hklm.createKey(classKey(clsid) + QStringLiteral("\\InprocServer32"));
        if (!server || !server->writeString(QString(), file))
            return fail();
        if (progId.isEmpty())
            return true;
        auto classProgId = hklm.createKey(classKey(clsid) + QStringLiteral("\\ProgID"));
        auto progIdClass = hklm.createKey(QStringLiteral("SOFTWARE\\Classes\\") + progId + QStringLiteral("\\CLSID"));
        if (!classProgId || !classProgId->writeString(QString(), progId) || !progIdClass
            || !progIdClass->writeString(QString(), clsid))
            return fail();
        return true;
    }
    bool failed = false;

private:
    bool fail()
    {
        failed = true;
        return false;
    }
};

} // namespace

ComObjectPtr CreateComObject(const QString& clsid)
{
    auto key = machineRegistry().openKey(classKey(clsid) + QStringLiteral("\\InprocServer32"), KeyAccess::Read);
    const std::optional<QString> file = key ? key->readString(QString()) : std::nullopt;
    if (!file || file->isEmpty()) {
        // A hive that is missing or broken is the reason, not the class.
        if (const QString why = hiveProblem(machineHivePath()); !why.isEmpty())
            throw Error(QStringLiteral("%1，无法创建类 %2 的对象").arg(why, clsid));
        throw Error(QStringLiteral("类 %1 没有注册").arg(clsid));
    }
    if (!QFileInfo(*file).isFile())
        throw Error(QStringLiteral("找不到类 %1 的组件文件 %2").arg(clsid, *file));
    QString error;
    void* handle = loadComponent(*file, &error);
    if (!handle)
        throw Error(error);
    auto create = reinterpret_cast<CreateObjectEntry>(entry(handle, kCreateObjectEntry, *file, &error));
    if (!create)
        throw Error(error);
    // Class ids are GUIDs: the component gets the canonical, upper-case form.
    const QByteArray id = clsid.toUpper().toLatin1();
    ComObjectPtr object(create(id.constData()));
    if (!object)
        throw Error(QStringLiteral("组件 %1 不能创建类 %2 的对象").arg(*file, clsid));
    return object;
}

bool RegisterComServer(const QString& file, QString* error)
{
    QString why;
    auto done = [&](bool ok) {
        if (!ok && error)
            *error = why;
        return ok;
    };
    if (!QFileInfo(file).isFile()) {
        why = QStringLiteral("找不到组件文件 %1").arg(file);
        return done(false);
    }
    void* handle = loadComponent(file, &why);
    if (!handle)
        return done(false);
    auto registerServer = reinterpret_cast<RegisterServerEntry>(entry(handle, kRegisterServerEntry, file, &why));
    if (!registerServer)
        return done(false);
    MachineRegistrar registrar;
    if (!registerServer(&registrar)) {
        why = registrar.failed ? QStringLiteral("组件 %1 注册失败：无法写入注册表 %2").arg(file, machineHivePath())
                               : QStringLiteral("组件 %1 拒绝注册").arg(file);
        return done(false);
    }
    if (registrar.failed) {
        why = QStringLiteral("组件 %1 注册失败：无法写入注册表 %2").arg(file, machineHivePath());
        return done(false);
    }
    return done(true);
}

} // namespace platform
