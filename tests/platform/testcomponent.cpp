// The test component: serves a greeter class and a stub NotesSession, and
// registers both with its own file path, as the real component does.
#include "testcomponent.h"
#include "domino/dominoobjects.h"
#include "platform/error.h"
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

class Greeter : public testcomponent::IGreeter {
public:
    QString greet(const QString& name) override { return QStringLiteral("你好，") + name; }
};

class StubSession : public domino::INotesSession {
public:
    void StartSessionAs(const QString& userName, const QString&) override
    {
        if (userName.isEmpty())
            throw platform::Error(QStringLiteral("no user"));
        user_ = userName;
    }
    void StartSession(const QString&) override { user_.clear(); }
    domino::DatabasePtr OpenDatabase(const QString&, const QString& path, bool) override
    {
        throw platform::Error(QStringLiteral("stub session opens nothing: ") + user_ + u'|' + path);
    }
    domino::NotesValueList EvaluateFormula(const QString&, const domino::DocumentPtr&) override { return {}; }

private:
    QString user_;
};

QString ownFile()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&ownFile), &info) == 0 || !info.dli_fname)
        return {};
    return QString::fromLocal8Bit(info.dli_fname);
}

} // namespace

extern "C" __attribute__((visibility("default"))) platform::ComObject* QuilletCreateObject(const char* clsid)
{
    if (std::strcmp(clsid, testcomponent::kGreeterClsid) == 0)
        return new Greeter;
    if (std::strcmp(clsid, domino::kNotesSessionClsid) == 0) {
        if (std::getenv(testcomponent::kNoSessionEnv))
            return new Greeter;
        return new StubSession;
    }
    return nullptr;
}

extern "C" __attribute__((visibility("default"))) bool QuilletRegisterServer(platform::ComRegistrar* registrar)
{
    if (std::getenv(testcomponent::kRefuseRegistrationEnv))
        return false;
    const QString file = ownFile();
    return registrar->registerClass(QString::fromLatin1(testcomponent::kGreeterClsid),
                                    QString::fromLatin1(testcomponent::kGreeterProgId), file)
        && registrar->registerClass(QString::fromLatin1(domino::kNotesSessionClsid),
                                    QString::fromLatin1(domino::kNotesSessionProgId), file)
        && registrar->registerClass(QString::fromLatin1(testcomponent::kRefusedClsid), QString(), file);
}
