// Entry points of libdominoobjects.so: the factory of the NotesSession class
// and its self-registration.
#include "domino/dominoobjects.h"
#include "engine/config.h"
#include "engine/session.h"

#define QUILLET_EXPORT extern "C" __attribute__((visibility("default")))

QUILLET_EXPORT platform::ComObject* QuilletCreateObject(const char* clsid)
{
    if (!clsid)
        return nullptr;
    QString id = QString::fromLatin1(clsid).trimmed();
    if (!id.startsWith(u'{'))
        id = u'{' + id + u'}';
    if (id.compare(QLatin1String(domino::kNotesSessionClsid), Qt::CaseInsensitive) != 0)
        return nullptr;
    try {
        return engine::newSession().release();
    } catch (...) {
        return nullptr;
    }
}

QUILLET_EXPORT bool QuilletRegisterServer(platform::ComRegistrar* registrar)
{
    if (!registrar)
        return false;
    const QString file = engine::modulePath();
    if (file.isEmpty())
        return false;
    return registrar->registerClass(QString::fromLatin1(domino::kNotesSessionClsid),
                                    QString::fromLatin1(domino::kNotesSessionProgId), file);
}
