#include "platform/profile.h"
#include "platform/textlines.h"
#include <QFile>
#include <QStringDecoder>

namespace platform {

using detail::LineSpan;
using detail::TextBytes;
using detail::TextEncoding;

namespace {

constexpr qsizetype kMaxValueLength = 2047;  // a 2048-character buffer, as callers of the API pass
// Lines up to this size are decoded whole; longer ones only as far as needed,
// so one huge line costs no more than the file it is in.
constexpr qsizetype kShortLine = 1 << 16;

TextBytes bytesOf(QByteArray bytes)
{
    TextBytes t;
    // The profile API reads a file with a UTF-16LE BOM as Unicode; anything else is the ANSI code page.
    if (bytes.startsWith("\xFF\xFE")) {
        t.encoding = TextEncoding::Utf16LE;
        t.bodyStart = 2;
    } else {
        t.encoding = TextEncoding::Cp936;
    }
    t.bytes = std::move(bytes);
    return t;
}

std::optional<TextBytes> load(const QString& path)
{
    std::optional<QByteArray> bytes = detail::readWholeFile(path);
    if (!bytes)
        return std::nullopt;
    return bytesOf(std::move(*bytes));
}

// The profile API trims blanks and control characters (code 32 or less). In
// both encodings read here such a character is a unit of its own (in code
// page 936 every byte of a two-byte character is above 0x3F), and so are
// "=", quotes and a "[" that begins a line: they can be found in the bytes.
uint unit(const TextBytes& t, qsizetype i)
{
    const auto* b = reinterpret_cast<const uchar*>(t.bytes.constData());
    return t.unitSize() == 2 ? b[i] | (uint(b[i + 1]) << 8) : b[i];
}

struct Range {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype size() const { return end - begin; }
};

Range trimmedRange(const TextBytes& t, qsizetype begin, qsizetype end)
{
    const int u = t.unitSize();
    end -= (end - begin) % u;
    while (begin < end && unit(t, begin) <= 32)
        begin += u;
    while (end > begin && unit(t, end - u) <= 32)
        end -= u;
    return {begin, end};
}

qsizetype findUnit(const TextBytes& t, Range r, char c)
{
    r.end -= r.size() % t.unitSize();
    for (qsizetype i = r.begin; i < r.end; i += t.unitSize())
        if (unit(t, i) == uint(uchar(c)))
            return i;
    return -1;
}

QString trimmed(QStringView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32)
        ++b;
    while (e > b && s[e - 1].unicode() <= 32)
        --e;
    return s.mid(b, e - b).toString();
}

// The text of [begin, end) decoded up to and including the first `stop`
// character (all of it when there is none), in pieces for a long range.
QString decodeUntil(const TextBytes& t, Range r, QChar stop)
{
    if (r.size() <= kShortLine || t.unitSize() == 2) {
        qsizetype end = r.end;
        if (t.unitSize() == 2)
            if (const qsizetype at = findUnit(t, r, char(stop.unicode())); at >= 0)
                end = at + 2;
        return t.decode(r.begin, end);
    }
    QStringDecoder decoder("CP936");
    QString out;
    for (qsizetype at = r.begin; at < r.end; at += kShortLine) {
        out += decoder.decode(QByteArrayView(t.bytes).sliced(at, std::min(kShortLine, r.end - at)));
        if (const qsizetype hit = out.indexOf(stop); hit >= 0) {
            out.truncate(hit + 1);
            break;
        }
    }
    return out;
}

// "[name]" → name; nullopt for a line that is no section header.
std::optional<QString> sectionName(const TextBytes& t, const LineSpan& line)
{
    const Range r = trimmedRange(t, line.begin, line.contentEnd);
    if (r.size() == 0 || unit(t, r.begin) != '[')
        return std::nullopt;
    const QString text = decodeUntil(t, r, u']');
    const qsizetype close = text.indexOf(u']');
    return trimmed(QStringView(text).mid(1, close < 0 ? -1 : close - 1));
}

// A line "key=value": the key, trimmed, and the range of the value, trimmed.
struct KeyLine {
    Range key;
    Range value;
};

std::optional<KeyLine> keyLine(const TextBytes& t, const LineSpan& line)
{
    const qsizetype eq = findUnit(t, Range{line.begin, line.contentEnd}, '=');
    if (eq < 0)
        return std::nullopt;
    return KeyLine{trimmedRange(t, line.begin, eq), trimmedRange(t, eq + t.unitSize(), line.contentEnd)};
}

bool sameKey(const TextBytes& t, Range key, const QString& wanted)
{
    // A key far longer than the one asked for cannot be it (a unit is at most two bytes).
    if (key.size() > 2 * t.unitSize() * (wanted.size() + 1))
        return false;
    return t.decode(key.begin, key.end).compare(wanted, Qt::CaseInsensitive) == 0;
}

// The value as read: without matching quotes around it, at most kMaxValueLength characters.
QString valueText(const TextBytes& t, Range v)
{
    const int u = t.unitSize();
    if (v.size() >= 2 * u) {
        const uint first = unit(t, v.begin);
        if ((first == '"' || first == '\'') && unit(t, v.end - u) == first)
            v = Range{v.begin + u, v.end - u};
    }
    // Enough bytes for one character more than is kept: the cut cannot reach the text kept.
    const qsizetype enough = (kMaxValueLength + 2) * 2;
    QString value = t.decode(v.begin, std::min(v.end, v.begin + enough));
    if (value.size() > kMaxValueLength) {
        qsizetype n = kMaxValueLength;
        if (value[n - 1].isHighSurrogate())
            --n;
        value.truncate(n);
    }
    return value;
}

struct Found {
    std::optional<LineSpan> section;    // header of the first section of that name
    std::optional<LineSpan> lastEntry;  // last non-blank line in it
    std::optional<LineSpan> key;        // the first entry of the key
    Range keyName;
    std::optional<LineSpan> lastLine;   // the file's last line
};

Found find(const TextBytes& t, const QString& section, const QString& key)
{
    Found r;
    bool inside = false;
    bool done = false;
    detail::forEachLine(t, [&](const LineSpan& line) {
        r.lastLine = line;
        if (done)
            return true;  // only the last line is still wanted
        if (auto name = sectionName(t, line)) {
            if (inside) {
                done = true;  // only the first section of a name counts
                return true;
            }
            inside = name->compare(section, Qt::CaseInsensitive) == 0;
            if (inside)
                r.section = r.lastEntry = line;
            return true;
        }
        if (!inside || trimmedRange(t, line.begin, line.contentEnd).size() == 0)
            return true;
        r.lastEntry = line;
        if (!r.key) {
            auto kl = keyLine(t, line);
            if (kl && sameKey(t, kl->key, key)) {
                r.key = line;
                r.keyName = kl->key;
            }
        }
        return true;
    });
    return r;
}

// What goes before text appended after `line`: a line end when it has none,
// after a NUL that completes a UTF-16 file ending in half a character.
QByteArray lineEndAfter(const TextBytes& t, const std::optional<LineSpan>& line, const QByteArray& newLine)
{
    if (!line || line->end != line->contentEnd)
        return {};
    QByteArray out;
    if (t.unitSize() == 2 && (line->end - line->begin) % 2 != 0)
        out.append('\0');
    return out + newLine;
}

} // namespace

QString ReadProfileString(const QString& file, const QString& section, const QString& key,
                          const QString& defaultValue)
{
    const std::optional<TextBytes> t = load(file);
    const Found at = t ? find(*t, trimmed(section), trimmed(key)) : Found{};
    if (!at.key) {
        QString value = defaultValue;
        while (!value.isEmpty() && value.back().unicode() <= 32)
            value.chop(1);
        if (value.size() > kMaxValueLength)
            value.truncate(value[kMaxValueLength - 1].isHighSurrogate() ? kMaxValueLength - 1 : kMaxValueLength);
        return value;
    }
    return valueText(*t, keyLine(*t, *at.key)->value);
}

bool WriteProfileString(const QString& file, const QString& section, const QString& key,
                        const QString& value)
{
    const QString s = trimmed(section), k = trimmed(key);
    // A line break would end the entry and leave the rest as a stray line.
    for (const QString* t : {&s, &k, &value})
        if (t->contains(u'\n') || t->contains(u'\r'))
            return false;
    if (s.isEmpty() || k.isEmpty())
        return false;
    std::optional<TextBytes> loaded = load(file);
    if (!loaded && QFile::exists(file))
        return false;  // there but unreadable: rewriting it would lose its contents
    const TextBytes t = loaded ? std::move(*loaded) : bytesOf({});
    const Found at = find(t, s, k);
    const QByteArray newLine = t.newLine();
    QByteArray bytes;
    if (at.key) {
        // The entry keeps its key as written, the line its end.
        const QByteArray line = t.encode(t.decode(at.keyName.begin, at.keyName.end) + u'=' + value);
        if (QByteArrayView(t.bytes).sliced(at.key->begin, at.key->contentEnd - at.key->begin) == line)
            return true;
        bytes = t.bytes;
        bytes.replace(at.key->begin, at.key->contentEnd - at.key->begin, line);
    } else if (at.section) {
        const LineSpan after = *at.lastEntry;
        bytes = t.bytes;
        bytes.insert(after.end, lineEndAfter(t, after, newLine) + t.encode(k + u'=' + value) + newLine);
    } else {
        bytes.reserve(t.bytes.size() + 64);
        bytes = t.bytes;
        bytes += lineEndAfter(t, at.lastLine, newLine) + t.encode(u'[' + s + u']') + newLine
            + t.encode(k + u'=' + value) + newLine;
    }
    // Always private: the file holds a password, whatever mode it had before.
    return detail::writeFileAtomically(file, bytes, 0600, true);
}

} // namespace platform
