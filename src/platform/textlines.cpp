#include "platform/textlines.h"
#include "platform/codepage.h"
#include <QFile>
#include <QSaveFile>
#include <QSysInfo>
#include <sys/stat.h>

namespace platform::detail {

namespace {

int unitSize(TextEncoding e) { return e == TextEncoding::Utf16LE || e == TextEncoding::Utf16BE ? 2 : 1; }

char16_t unitAt(const QByteArray& b, qsizetype i, TextEncoding e)
{
    const auto lo = static_cast<unsigned char>(b[i]);
    const auto hi = static_cast<unsigned char>(b[i + 1]);
    return e == TextEncoding::Utf16LE ? char16_t(lo | (hi << 8)) : char16_t(hi | (lo << 8));
}

} // namespace

QString TextFile::decode(const QByteArray& bytes) const
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return QString::fromUtf8(bytes);
    case TextEncoding::Cp936:
        return fromCp936(bytes);
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        if (encoding == TextEncoding::Utf16LE && QSysInfo::ByteOrder == QSysInfo::LittleEndian)
            return QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2);
        QString s;
        s.reserve(bytes.size() / 2);
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
            s.append(QChar(unitAt(bytes, i, encoding)));
        return s;
    }
    }
    return {};
}

QByteArray TextFile::encode(const QString& text) const
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

TextFile TextFile::split(const QByteArray& body, TextEncoding encoding, QByteArray bom)
{
    TextFile f;
    f.encoding = encoding;
    f.bom = std::move(bom);
    const int u = unitSize(encoding);
    auto isUnit = [&](qsizetype i, char16_t c) {
        return u == 1 ? body[i] == char(c) : unitAt(body, i, encoding) == c;
    };
    bool sawCrLf = false, sawLf = false;
    qsizetype start = 0;
    const qsizetype end = body.size() - (body.size() % u);
    for (qsizetype i = 0; i < end; i += u) {
        if (!isUnit(i, u'\n'))
            continue;
        qsizetype contentEnd = i;
        if (i - u >= start && isUnit(i - u, u'\r')) {
            contentEnd = i - u;
            sawCrLf = true;
        } else {
            sawLf = true;
        }
        TextLine line;
        line.raw = body.mid(start, contentEnd - start);
        line.eol = body.mid(contentEnd, i + u - contentEnd);
        f.lines.append(std::move(line));
        start = i + u;
    }
    if (start < body.size()) {
        TextLine line;
        line.raw = body.mid(start);  // an odd trailing byte stays with it, untouched
        f.lines.append(std::move(line));
    }
    for (TextLine& line : f.lines)
        line.text = f.decode(line.raw);
    f.newLine = f.encode(sawLf && !sawCrLf ? QStringLiteral("\n") : QStringLiteral("\r\n"));
    return f;
}

TextLine TextFile::makeLine(const QString& text) const
{
    TextLine line;
    line.raw = encode(text);
    line.eol = newLine;
    line.text = text;
    return line;
}

void TextFile::terminateLastLine()
{
    if (lines.isEmpty() || !lines.last().eol.isEmpty())
        return;
    // A broken UTF-16 file can end in half a character; complete it, or every
    // line after it would be read one byte out of step.
    if (unitSize(encoding) == 2 && lines.last().raw.size() % 2 != 0)
        lines.last().raw.append('\0');
    lines.last().eol = newLine;
}

QByteArray TextFile::serialize() const
{
    QByteArray out = bom;
    for (const TextLine& line : lines)
        out += line.raw + line.eol;
    return out;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, int newFileMode)
{
    struct stat st {};
    const bool existed = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The replacement keeps the mode of the file it replaces; a new file gets the one asked.
    const int mode = existed ? int(st.st_mode & 07777) : newFileMode;
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

} // namespace platform::detail
