#include "platform/codepage.h"
#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {

// ICU's converter behind the name is costly to open; each thread keeps one.
QByteArray toCp936(const QString& text)
{
    thread_local QStringEncoder encoder("CP936");
    encoder.resetState();
    return encoder.encode(text);
}

QString fromCp936(const QByteArray& bytes)
{
    thread_local QStringDecoder decoder("CP936");
    decoder.resetState();
    return decoder.decode(bytes);
}

} // namespace platform
