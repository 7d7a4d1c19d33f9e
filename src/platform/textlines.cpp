#include "platform/textlines.h"
#include "platform/codepage.h"
#include <QFile>
#include <QSaveFile>
#include <QSysInfo>
#include <cstring>
#include <sys/stat.h>

namespace platform::detail {

namespace {

char16_t unitAt(const QByteArray& b, qsizetype i, TextEncoding e)
{
    const auto lo = static_cast<unsigned char>(b[i]);
    const auto hi = static_cast<unsigned char>(b[i + 1]);
    return e == TextEncoding::Utf16LE ? char16_t(lo | (hi << 8)) : char16_t(hi | (lo << 8));
}

} // namespace

int TextBytes::unitSize() const
{
    return encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE ? 2 : 1;
}

bool TextBytes::isChar(qsizetype i, char c) const
{
    if (unitSize() == 1)
        return i < bytes.size() && bytes[i] == c;
    return i + 1 < bytes.size() && unitAt(bytes, i, encoding) == char16_t(c);
}

LineSpan TextBytes::lineAt(qsizetype begin) const
{
    const int u = unitSize();
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    // Only whole units count: an odd trailing byte of a UTF-16 file stays with the last line.
    const qsizetype limit = size - ((size - bodyStart) % u);
    // A byte search finds LF; in UTF-16 it must also be a unit of its own at an aligned place.
    const qsizetype lfByte = encoding == TextEncoding::Utf16BE ? 1 : 0;
    for (qsizetype from = begin + lfByte; from < limit;) {
        const void* hit = std::memchr(data + from, '\n', size_t(limit - from));
        if (!hit)
            break;
        const qsizetype at = static_cast<const char*>(hit) - data;
        const qsizetype unit = at - lfByte;
        if (u == 1 || ((unit - bodyStart) % 2 == 0 && unitAt(bytes, unit, encoding) == u'\n')) {
            LineSpan line{begin, unit, unit + u};
            if (unit - u >= begin && isChar(unit - u, '\r'))
                line.contentEnd = unit - u;
            return line;
        }
        from = at + 1;
    }
    return LineSpan{begin, size, size};
}

QString TextBytes::decode(qsizetype begin, qsizetype end) const
{
    const char* p = bytes.constData() + begin;
    const qsizetype n = end - begin;
    switch (encoding) {
    case TextEncoding::Utf8:
        return QString::fromUtf8(p, n);
    case TextEncoding::Cp936:
        return fromCp936(QByteArray::fromRawData(p, n));
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        if (encoding == TextEncoding::Utf16LE && QSysInfo::ByteOrder == QSysInfo::LittleEndian)
            return QString(reinterpret_cast<const QChar*>(p), n / 2);
        QString s;
        s.reserve(n / 2);
        for (qsizetype i = begin; i + 1 < end; i += 2)
            s.append(QChar(unitAt(bytes, i, encoding)));
        return s;
    }
    }
    return {};
}

QByteArray TextBytes::encode(const QString& text) const
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return text.toUtf8();
    case TextEncoding::Cp936:
        return toCp936(text);
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        QByteArray b;
        b.reserve(text.size() * 2);
        for (QChar c : text) {
            const char lo = char(c.unicode() & 0xff), hi = char(c.unicode() >> 8);
            if (encoding == TextEncoding::Utf16LE)
                b.append(lo).append(hi);
            else
                b.append(hi).append(lo);
        }
        return b;
    }
    }
    return {};
}

QByteArray TextBytes::newLine() const
{
    bool sawCrLf = false, sawLf = false;
    forEachLine(*this, [&](const LineSpan& line) {
        if (line.end == line.contentEnd)
            return true;
        (line.end - line.contentEnd == unitSize() ? sawLf : sawCrLf) = true;
        return !sawCrLf;
    });
    return encode(sawLf && !sawCrLf ? QStringLiteral("\n") : QStringLiteral("\r\n"));
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, int newFileMode, bool forceMode)
{
    struct stat st {};
    const bool existed = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The replacement keeps the mode of the file it replaces; a new file gets the one asked.
    const int mode = existed && !forceMode ? int(st.st_mode & 07777) : newFileMode;
    if (mode >= 0 && ::fchmod(file.handle(), mode_t(mode)) != 0) {
        file.cancelWriting();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::optional<QByteArray> readWholeFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    // One buffer of the file's size: readAll() would grow it step by step and
    // hold twice the file at the end.
    const qint64 size = f.size();
    QByteArray bytes;
    if (size > 0) {
        bytes.resize(size);
        qint64 got = 0;
        while (got < size) {
            const qint64 n = f.read(bytes.data() + got, size - got);
            if (n < 0)
                return std::nullopt;
            if (n == 0)
                break;
            got += n;
        }
        bytes.truncate(got);
    }
    // A file that grew meanwhile (or one whose size says nothing, as in /proc) is read to its end.
    char more[4096];
    for (qint64 n; (n = f.read(more, sizeof more)) != 0;) {
        if (n < 0)
            return std::nullopt;
        bytes.append(more, n);
    }
    return bytes;
}

} // namespace platform::detail
