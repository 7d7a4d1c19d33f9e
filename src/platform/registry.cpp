#include "platform/registry.h"
#include "platform/codepage.h"
#include "platform/textlines.h"
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

using detail::LineSpan;
using detail::TextBytes;
using detail::TextEncoding;

namespace {

const QString kRootName = QStringLiteral("HKEY_LOCAL_MACHINE");
const QString kHeader5 = QStringLiteral("Windows Registry Editor Version 5.00");
const QString kHeader4 = QStringLiteral("REGEDIT4");

// Key paths relative to HKEY_LOCAL_MACHINE, without leading or trailing "\".
QString normalizeKeyPath(QString path)
{
    // "/" is an ordinary character in key names ("Content Type\\text/plain"), never a separator.
    while (path.startsWith(u'\\'))
        path.remove(0, 1);
    while (path.endsWith(u'\\'))
        path.chop(1);
    return path;
}

QString foldKey(const QString& s) { return s.toCaseFolded(); }

// Whether `ancestor` is `path` itself or a key above it.
bool isSelfOrAbove(QStringView ancestor, QStringView path)
{
    return path == ancestor
        || (path.size() > ancestor.size() && path.startsWith(ancestor) && path[ancestor.size()] == u'\\');
}

// --- the text of the hive -------------------------------------------------

// Decodes a "..." string starting at text[pos] (the opening quote). Regedit
// escapes only "\\" and "\""; any other backslash stays as it is.
std::optional<QString> parseQuoted(const QString& text, qsizetype& pos)
{
    QString out;
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size() && (text[i + 1] == u'\\' || text[i + 1] == u'"')) {
            out.append(text[++i]);
        } else if (c == u'"') {
            pos = i + 1;
            return out;
        } else {
            out.append(c);
        }
    }
    return std::nullopt;
}

QString quote(const QString& s)
{
    QString out;
    out.reserve(s.size() + 2);
    out.append(u'"');
    for (QChar c : s) {
        if (c == u'\\' || c == u'"')
            out.append(u'\\');
        out.append(c);
    }
    out.append(u'"');
    return out;
}

std::optional<QByteArray> parseHexBytes(QStringView data)
{
    QByteArray out;
    for (QStringView part : data.split(u',')) {
        part = part.trimmed();
        if (part.isEmpty())
            continue;
        bool ok = false;
        const uint b = part.toUInt(&ok, 16);
        if (!ok || b > 0xff)
            return std::nullopt;
        out.append(char(b));
    }
    return out;
}

// A hex(1) (REG_SZ) or hex(2) (REG_EXPAND_SZ) value: UTF-16LE in a version 5
// file, the ANSI code page in a REGEDIT4 one, up to the first NUL.
QString decodeHexString(const QByteArray& bytes, bool regedit4)
{
    if (regedit4) {
        const qsizetype nul = bytes.indexOf('\0');
        return fromCp936(nul < 0 ? bytes : bytes.left(nul));
    }
    QString s;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t u = char16_t(uchar(bytes[i]) | (uchar(bytes[i + 1]) << 8));
        if (u == 0)
            break;
        s.append(QChar(u));
    }
    return s;
}

struct Entry {
    enum class Kind { Set, Delete, Broken } kind = Kind::Broken;
    QString name;
    bool isString = false;
    QString text;
};

// One logical value line: "name"=data or @=data.
Entry parseEntry(const QString& line, bool regedit4)
{
    Entry e;
    const QString t = line.trimmed();
    qsizetype pos = 0;
    if (t.startsWith(u'@')) {
        pos = 1;
    } else if (t.startsWith(u'"')) {
        auto name = parseQuoted(t, pos);
        if (!name)
            return e;
        e.name = *name;
    } else {
        return e;
    }
    while (pos < t.size() && t[pos].isSpace())
        ++pos;
    if (pos >= t.size() || t[pos] != u'=')
        return e;
    ++pos;
    while (pos < t.size() && t[pos].isSpace())
        ++pos;
    const QStringView data = QStringView(t).mid(pos);
    if (data.startsWith(u'"')) {
        qsizetype p = pos;
        auto text = parseQuoted(t, p);
        if (!text || !QStringView(t).mid(p).trimmed().isEmpty())
            return e;
        e.kind = Entry::Kind::Set;
        e.isString = true;
        e.text = *text;
    } else if (data == u"-") {
        e.kind = Entry::Kind::Delete;
    } else if (data.startsWith(u"hex(1):", Qt::CaseInsensitive)
               || data.startsWith(u"hex(2):", Qt::CaseInsensitive)) {
        e.kind = Entry::Kind::Set;
        if (auto bytes = parseHexBytes(data.mid(7))) {
            e.isString = true;
            e.text = decodeHexString(*bytes, regedit4);
        }
    } else if (data.startsWith(u"hex", Qt::CaseInsensitive) || data.startsWith(u"dword:", Qt::CaseInsensitive)) {
        e.kind = Entry::Kind::Set;  // another type: present, not a string
    }
    return e;
}

// Hex data continues on the next line when a value line ends with "\".
bool startsContinuation(const QString& line)
{
    if (!line.trimmed().endsWith(u'\\'))
        return false;
    const qsizetype eq = line.indexOf(u'=');
    return eq >= 0 && QStringView(line).mid(eq + 1).trimmed().startsWith(u"hex", Qt::CaseInsensitive);
}

// The key a section header names, relative to HKEY_LOCAL_MACHINE; nullopt for another root.
std::optional<QString> sectionKey(QStringView inner)
{
    const qsizetype slash = inner.indexOf(u'\\');
    const QStringView root = slash < 0 ? inner : inner.left(slash);
    if (root.compare(kRootName, Qt::CaseInsensitive) != 0 && root.compare(u"HKLM", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return normalizeKeyPath(slash < 0 ? QString() : inner.mid(slash + 1).toString());
}

enum class HeaderKind : quint8 { Add, Delete, Other };

struct ParsedHeader {
    HeaderKind kind = HeaderKind::Other;
    QString folded;  // the key's path, case-folded
};

// A line that begins with "[": a key's section, a key's deletion ("[-...]"),
// or anything else (another root, no "]"), which ends the section before it.
ParsedHeader parseHeader(const QString& trimmedLine)
{
    ParsedHeader h;
    const qsizetype close = trimmedLine.lastIndexOf(u']');
    if (close < 0)
        return h;
    QStringView inner = QStringView(trimmedLine).mid(1, close - 1);
    const bool deletion = inner.startsWith(u'-');
    if (deletion)
        inner = inner.mid(1);
    auto path = sectionKey(inner);
    if (!path || path->isEmpty())
        return h;
    h.kind = deletion ? HeaderKind::Delete : HeaderKind::Add;
    h.folded = foldKey(*path);
    return h;
}

// How a physical line looks at a glance, from its first and last units that
// are not ASCII blanks; Unsure when that takes decoding (a non-ASCII unit).
enum class Glance { Blank, Header, Comment, Other, Unsure };

struct LineLook {
    Glance start = Glance::Blank;
    bool endsWithBackslash = false;
    bool unsureEnd = false;
};

bool asciiBlank(uint u) { return u == 0x20 || (u >= 0x09 && u <= 0x0d); }

uint unitValue(const TextBytes& t, qsizetype i)
{
    const auto* b = reinterpret_cast<const uchar*>(t.bytes.constData());
    switch (t.encoding) {
    case TextEncoding::Utf16LE:
        return b[i] | (uint(b[i + 1]) << 8);
    case TextEncoding::Utf16BE:
        return b[i + 1] | (uint(b[i]) << 8);
    default:
        return b[i];
    }
}

LineLook look(const TextBytes& t, const LineSpan& line)
{
    LineLook l;
    const int u = t.unitSize();
    const qsizetype end = line.contentEnd - ((line.contentEnd - line.begin) % u);
    qsizetype first = line.begin;
    while (first < end && asciiBlank(unitValue(t, first)))
        first += u;
    if (first >= end) {
        // An odd byte left over, or nothing: decode to be sure of the first.
        l.start = end == line.contentEnd ? Glance::Blank : Glance::Unsure;
        return l;
    }
    const uint c = unitValue(t, first);
    l.start = c >= 0x80 ? Glance::Unsure : c == '[' ? Glance::Header : c == ';' ? Glance::Comment : Glance::Other;
    qsizetype last = end - u;
    while (last > first && asciiBlank(unitValue(t, last)))
        last -= u;
    const uint e = unitValue(t, last);
    l.endsWithBackslash = e == '\\';
    // A trailing non-ASCII unit may be a blank after a "\", and in code page
    // 936 a "\" byte may be the second half of a character.
    l.unsureEnd = e >= 0x80 || end != line.contentEnd || (t.encoding == TextEncoding::Cp936 && e == '\\');
    return l;
}

// The hive's index: every "[" line of the file and, per key path (by a
// 64-bit hash of its folded text), the last section that made the key exist,
// its own last section and the last deletion. Values stay in the file's bytes
// and are parsed only when a key is read, so the memory is the file plus a
// few dozen bytes a key, and reading is one pass.
struct Header {
    qsizetype offset = 0;   // the line's first byte
    qint32 previousOwn = -1;  // the previous Add header of the same path (by hash)
    HeaderKind kind = HeaderKind::Other;
};

struct Marks {
    qint32 lastAdd = -1;     // last Add header of the key or a key below it
    qint32 lastOwn = -1;     // last Add header of the key itself
    qint32 lastDelete = -1;  // last Delete header of the key
};

quint64 hashStep(quint64 h, char16_t c) { return (h ^ c) * 1099511628211ull; }
constexpr quint64 kHashBasis = 14695981039346656037ull;

quint64 pathHash(QStringView folded)
{
    quint64 h = kHashBasis;
    for (QChar c : folded)
        h = hashStep(h, c.unicode());
    return h;
}

struct Hive {
    TextBytes text;
    bool regedit4 = false;
    bool recognised = false;  // the first line that is not blank is a regedit header
    QList<Header> headers;
    QHash<quint64, Marks> marks;

    qsizetype sectionEnd(int header) const
    {
        return header + 1 < headers.size() ? headers[header + 1].offset : text.bytes.size();
    }
    QString headerPath(int header) const
    {
        const LineSpan line = text.lineAt(headers[header].offset);
        return parseHeader(text.text(line).trimmed()).folded;
    }
};

// What a section holds for one value name, and where it ends.
struct SectionScan {
    bool found = false;
    Entry entry;
    LineSpan firstLine;  // the entry's physical lines
    LineSpan lastLine;
    bool hasEntries = false;
    LineSpan lastEntryLine;  // the last physical line of the last entry
    bool lastEntryOpen = false;  // it ends in a "\" that would join the next line to it
};

// Reads the lines of one section, as the file is read from top to bottom:
// blank lines and comments skipped, hex continuations joined.
SectionScan scanSection(const Hive& hive, int header, const QString& foldedName)
{
    SectionScan s;
    const TextBytes& t = hive.text;
    const qsizetype end = hive.sectionEnd(header);
    qsizetype at = t.lineAt(hive.headers[header].offset).end;
    while (at < end) {
        const LineSpan first = t.lineAt(at);
        at = first.end;
        const QString text = t.text(first);
        const QString trimmed = text.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u';'))
            continue;
        QString logical = text;
        LineSpan last = first;
        bool more = startsContinuation(logical);
        if (more) {
            while (more && at < end) {
                const LineSpan next = t.lineAt(at);
                at = next.end;
                const QString nextText = t.text(next).trimmed();
                logical = logical.trimmed();
                logical.chop(1);
                logical += nextText;
                last = next;
                more = nextText.endsWith(u'\\');
            }
        }
        s.hasEntries = true;
        s.lastEntryLine = last;
        s.lastEntryOpen = more;
        const Entry e = parseEntry(logical, hive.regedit4);
        if (e.kind != Entry::Kind::Broken && foldKey(e.name) == foldedName) {
            s.found = true;
            s.entry = e;
            s.firstLine = first;
            s.lastLine = last;
        }
    }
    return s;
}

// A key as the file leaves it: whether it exists and its own sections since
// it was last deleted, latest first.
struct KeyState {
    bool exists = false;
    QList<int> sections;
};

// The same answer from every header in order, for when a hash names another path.
KeyState locateByScan(const Hive& hive, const QString& folded)
{
    KeyState k;
    for (int i = 0; i < hive.headers.size(); ++i) {
        if (hive.headers[i].kind == HeaderKind::Other)
            continue;
        const QString path = hive.headerPath(i);
        if (hive.headers[i].kind == HeaderKind::Delete) {
            if (isSelfOrAbove(path, folded)) {
                k.exists = false;
                k.sections.clear();
            }
        } else if (isSelfOrAbove(folded, path)) {
            k.exists = true;
            if (path == folded)
                k.sections.prepend(i);
        }
    }
    return k;
}

KeyState locate(const Hive& hive, const QString& folded)
{
    KeyState k;
    if (folded.isEmpty())
        return k;
    const auto self = hive.marks.constFind(pathHash(folded));
    if (self == hive.marks.cend() || self->lastAdd < 0)
        return k;
    if (!isSelfOrAbove(folded, hive.headerPath(self->lastAdd)))
        return locateByScan(hive, folded);
    // The last deletion of the key or of a key above it.
    qint32 deleted = -1;
    quint64 h = kHashBasis;
    for (qsizetype i = 0; i <= folded.size(); ++i) {
        if (i == folded.size() || (folded[i] == u'\\' && i > 0)) {
            const auto m = hive.marks.constFind(h);
            if (m != hive.marks.cend() && m->lastDelete > deleted) {
                if (hive.headerPath(m->lastDelete) != QStringView(folded).left(i))
                    return locateByScan(hive, folded);
                deleted = m->lastDelete;
            }
        }
        if (i < folded.size())
            h = hashStep(h, folded[i].unicode());
    }
    if (self->lastAdd < deleted)
        return k;
    k.exists = true;
    for (qint32 i = self->lastOwn; i > deleted; i = hive.headers[i].previousOwn)
        if (hive.headerPath(i) == folded)
            k.sections << i;
    return k;
}

// The latest entry of a value name in the key's sections.
struct ValueAt {
    bool found = false;
    Entry entry;
    LineSpan firstLine;
    LineSpan lastLine;
};

ValueAt findValue(const Hive& hive, const KeyState& key, const QString& name)
{
    const QString folded = foldKey(name);
    for (int section : key.sections) {
        const SectionScan s = scanSection(hive, section, folded);
        if (s.found)
            return ValueAt{s.entry.kind == Entry::Kind::Set, s.entry, s.firstLine, s.lastLine};
    }
    return {};
}

// Adds a header to the index; path is its folded key path.
void indexHeader(Hive& hive, qsizetype offset, const ParsedHeader& h)
{
    const qint32 index = qint32(hive.headers.size());
    Header header{offset, -1, h.kind};
    if (h.kind == HeaderKind::Add) {
        // The key exists, and so does every key above it, as regedit creates them on import.
        quint64 hash = kHashBasis;
        for (qsizetype i = 0; i < h.folded.size(); ++i) {
            if (h.folded[i] == u'\\' && i > 0)
                hive.marks[hash].lastAdd = index;
            hash = hashStep(hash, h.folded[i].unicode());
        }
        Marks& self = hive.marks[hash];
        self.lastAdd = index;
        header.previousOwn = self.lastOwn;
        self.lastOwn = index;
    } else if (h.kind == HeaderKind::Delete) {
        hive.marks[pathHash(h.folded)].lastDelete = index;
    }
    hive.headers.append(header);
}

void index(Hive& hive)
{
    hive.headers.clear();
    hive.marks.clear();
    hive.regedit4 = false;
    hive.recognised = false;
    const TextBytes& t = hive.text;
    bool sawFirst = false;
    bool continuing = false;
    detail::forEachLine(t, [&](const LineSpan& line) {
        LineLook l = look(t, line);
        QString text;  // decoded only where a glance does not tell
        bool isDecoded = false;
        auto decoded = [&]() -> const QString& {
            if (!isDecoded) {
                text = t.text(line);
                isDecoded = true;
            }
            return text;
        };
        if (continuing) {
            continuing = l.unsureEnd ? decoded().trimmed().endsWith(u'\\') : l.endsWithBackslash;
            return true;
        }
        if (l.start == Glance::Unsure) {
            const QString trimmed = decoded().trimmed();
            l.start = trimmed.isEmpty()             ? Glance::Blank
                : trimmed.startsWith(u'[')          ? Glance::Header
                : trimmed.startsWith(u';')          ? Glance::Comment
                                                    : Glance::Other;
        }
        if (l.start == Glance::Blank)
            return true;
        if (!sawFirst) {
            sawFirst = true;
            const QString trimmed = decoded().trimmed();
            if (trimmed.compare(kHeader4, Qt::CaseInsensitive) == 0) {
                hive.regedit4 = hive.recognised = true;
                return true;
            }
            if (trimmed == kHeader5) {
                hive.recognised = true;
                return true;
            }
        }
        if (l.start == Glance::Comment)
            return true;
        if (l.start == Glance::Header) {
            indexHeader(hive, line.begin, parseHeader(decoded().trimmed()));
            return true;
        }
        if (l.endsWithBackslash || l.unsureEnd)
            continuing = startsContinuation(decoded());
        return true;
    });
}

bool validUtf8(const QByteArray& bytes)
{
    // In pieces: the check must not cost a decoded copy of the whole file.
    QStringDecoder utf8(QStringDecoder::Utf8);
    constexpr qsizetype kPiece = 1 << 16;
    for (qsizetype at = 0; at < bytes.size(); at += kPiece) {
        (void)QString(utf8.decode(QByteArrayView(bytes).sliced(at, std::min(kPiece, bytes.size() - at))));
        if (utf8.hasError())
            return false;
    }
    return true;
}

TextBytes detect(QByteArray bytes)
{
    TextBytes t;
    auto has = [&](const char* prefix) { return bytes.startsWith(QByteArray(prefix)); };
    if (has("\xFF\xFE")) {
        t.encoding = TextEncoding::Utf16LE;
        t.bodyStart = 2;
    } else if (has("\xFE\xFF")) {
        t.encoding = TextEncoding::Utf16BE;
        t.bodyStart = 2;
    } else if (has("\xEF\xBB\xBF")) {
        t.encoding = TextEncoding::Utf8;
        t.bodyStart = 3;
    } else if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0) {
        t.encoding = TextEncoding::Utf16LE;
    } else {
        // Without a BOM: UTF-8 when it is valid, else the ANSI code page of a REGEDIT4 export.
        t.encoding = validUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Cp936;
    }
    t.bytes = std::move(bytes);
    return t;
}

Hive parseBytes(QByteArray bytes)
{
    Hive hive;
    hive.text = detect(std::move(bytes));
    index(hive);
    return hive;
}

Hive newHive()
{
    Hive hive;
    hive.text.encoding = TextEncoding::Utf16LE;
    hive.text.bodyStart = 2;
    hive.text.bytes = QByteArray("\xFF\xFE", 2) + hive.text.encode(kHeader5 + QStringLiteral("\r\n\r\n"));
    index(hive);
    return hive;
}

// --- edits: each one splices the bytes and indexes the result ----------------

// The file's last line; nullopt for an empty body.
std::optional<LineSpan> lastLine(const TextBytes& t)
{
    std::optional<LineSpan> last;
    detail::forEachLine(t, [&](const LineSpan& line) {
        last = line;
        return true;
    });
    return last;
}

// What goes before text appended after `last`: a line end when the last line
// has none, after a NUL that completes a UTF-16 file ending in half a
// character (or every line after it would be read one byte out of step).
QByteArray lineEndFor(const TextBytes& t, const std::optional<LineSpan>& last, const QByteArray& newLine)
{
    if (!last || last->end != last->contentEnd)
        return {};
    QByteArray out;
    if (t.unitSize() == 2 && (last->end - last->begin) % 2 != 0)
        out.append('\0');
    return out + newLine;
}

// The bytes with a section header for the key appended at the end, parted
// from what is above by a blank line.
QByteArray appendSection(const Hive& hive, const QString& path, const QByteArray& newLine, const QByteArray& more)
{
    const TextBytes& t = hive.text;
    const std::optional<LineSpan> last = lastLine(t);
    QByteArray tail = lineEndFor(t, last, newLine);
    if (last && !t.text(*last).trimmed().isEmpty())
        tail += newLine;
    tail += t.encode(u'[' + kRootName + u'\\' + path + u']') + newLine + more;
    QByteArray bytes;
    bytes.reserve(t.bytes.size() + tail.size());
    bytes += t.bytes;
    bytes += tail;
    return bytes;
}

std::optional<QByteArray> setString(const Hive& hive, const QString& keyPath, const QString& name,
                                    const QString& value)
{
    if (name.contains(u'\n') || name.contains(u'\r'))
        return std::nullopt;
    const KeyState key = locate(hive, foldKey(keyPath));
    if (!key.exists)
        return std::nullopt;  // deleted meanwhile
    const ValueAt existing = findValue(hive, key, name);
    // An existing value keeps its name as written, as Windows keeps it.
    const QString& written = existing.found ? existing.entry.name : name;
    const QString nameText = written.isEmpty() ? QStringLiteral("@") : quote(written);
    QString data;
    if (value.contains(u'\n') || value.contains(u'\r')) {
        // A line break cannot stand inside a quoted string: the REG_SZ goes in hex form.
        QStringList bytes;
        const QByteArray raw = hive.regedit4 ? toCp936(value) + QByteArray(1, '\0')
                                             : QByteArray(reinterpret_cast<const char*>(value.utf16()),
                                                          value.size() * 2) + QByteArray(2, '\0');
        for (char b : raw)
            bytes << QString::number(uchar(b), 16).rightJustified(2, u'0');
        data = u"hex(1):" + bytes.join(u',');
    } else {
        data = quote(value);
    }
    const TextBytes& t = hive.text;
    const QByteArray line = t.encode(nameText + u'=' + data);
    if (existing.found) {
        if (existing.entry.isString && existing.entry.text == value)
            return t.bytes;
        const LineSpan& first = existing.firstLine;
        const LineSpan& last = existing.lastLine;
        QByteArray bytes = t.bytes;
        bytes.replace(first.begin, last.contentEnd - first.begin, line);
        return bytes;
    }
    const QByteArray newLine = t.newLine();
    if (key.sections.isEmpty()) {
        // A key that only exists because of the keys below it gets a section of its own.
        return appendSection(hive, keyPath, newLine, line + newLine);
    }
    const int section = key.sections.first();
    const SectionScan s = scanSection(hive, section, QString());
    const LineSpan after = s.hasEntries ? s.lastEntryLine : t.lineAt(hive.headers[section].offset);
    // After hex data whose last line still says "continued", a blank line
    // takes the join, or the new entry would become part of that data.
    const QByteArray join = s.hasEntries && s.lastEntryOpen ? newLine : QByteArray();
    QByteArray bytes = t.bytes;
    bytes.insert(after.end, lineEndFor(t, after, newLine) + join + line + newLine);
    return bytes;
}

std::optional<QByteArray> createKeyIn(const Hive& hive, const QString& keyPath)
{
    if (locate(hive, foldKey(keyPath)).exists)
        return hive.text.bytes;
    const QByteArray newLine = hive.text.newLine();
    return appendSection(hive, keyPath, newLine, newLine);
}

// --- the file behind a hive ---------------------------------------------

struct FileStamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    bool operator==(const FileStamp& o) const
    {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size
            && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

FileStamp stampOf(const QString& path)
{
    FileStamp s;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        s.exists = true;
        s.dev = st.st_dev;
        s.ino = st.st_ino;
        s.size = st.st_size;
        s.mtime = st.st_mtim;
    }
    return s;
}

class HiveFile {
public:
    explicit HiveFile(QString path) : path_(std::move(path)) {}

    // The hive as the file holds it now (re-read when the file changed).
    std::shared_ptr<const Hive> current()
    {
        std::lock_guard lock(mutex_);
        return loadLocked();
    }

    // Replacing the file needs both the file and its folder writable, and the
    // file readable: a rewrite of what could not be read would lose it.
    bool writable() const
    {
        const QByteArray file = QFile::encodeName(path_);
        const QByteArray dir = QFile::encodeName(QFileInfo(path_).absolutePath());
        if (::access(dir.constData(), W_OK | X_OK) != 0)
            return false;
        return ::access(file.constData(), F_OK) != 0 || ::access(file.constData(), R_OK | W_OK) == 0;
    }

    // Applies edit to the hive as it is on disk now and writes the bytes it
    // returns back; edit returns nullopt to refuse (nothing is written).
    template <class Edit>
    bool update(Edit edit)
    {
        std::lock_guard lock(mutex_);
        if (!writable())
            return false;
        std::shared_ptr<const Hive> now = loadLocked();
        if (!stamp_.exists)
            now = std::make_shared<const Hive>(newHive());
        std::optional<QByteArray> bytes = edit(*now);
        if (!bytes)
            return false;
        if (stamp_.exists && *bytes == now->text.bytes)
            return true;
        if (!detail::writeFileAtomically(path_, *bytes))
            return false;
        now.reset();
        cached_.reset();
        cached_ = std::make_shared<const Hive>(parseBytes(std::move(*bytes)));
        stamp_ = stampOf(path_);
        return true;
    }

    const QString& path() const { return path_; }

private:
    std::shared_ptr<const Hive> loadLocked()
    {
        const FileStamp s = stampOf(path_);
        if (cached_ && s == stamp_)
            return cached_;
        cached_.reset();  // the old bytes go before the new ones come
        std::optional<QByteArray> bytes = s.exists ? detail::readWholeFile(path_) : std::nullopt;
        cached_ = std::make_shared<const Hive>(bytes ? parseBytes(std::move(*bytes)) : Hive{});
        stamp_ = s;
        return cached_;
    }

    QString path_;
    std::mutex mutex_;
    std::shared_ptr<const Hive> cached_;
    FileStamp stamp_;
};

class HiveKey : public RegistryKey {
public:
    HiveKey(std::shared_ptr<HiveFile> file, QString path, bool writable)
        : file_(std::move(file)), path_(std::move(path)), writable_(writable)
    {
    }

    std::optional<QString> readString(const QString& valueName) const override
    {
        const auto hive = file_->current();
        const KeyState key = locate(*hive, foldKey(path_));
        if (!key.exists)
            return std::nullopt;
        const ValueAt v = findValue(*hive, key, valueName);
        if (!v.found || !v.entry.isString)
            return std::nullopt;
        return v.entry.text;
    }

    bool writeString(const QString& valueName, const QString& value) override
    {
        if (!writable_)
            return false;
        return file_->update([&](const Hive& hive) { return setString(hive, path_, valueName, value); });
    }

private:
    std::shared_ptr<HiveFile> file_;
    QString path_;
    bool writable_;
};

class HiveRegistry : public Registry {
public:
    explicit HiveRegistry(const QString& path) : file_(std::make_shared<HiveFile>(path)) {}

    std::unique_ptr<RegistryKey> openKey(const QString& keyPath, KeyAccess access) override
    {
        const QString path = normalizeKeyPath(keyPath);
        if (path.isEmpty())
            return nullptr;
        const auto hive = file_->current();
        if (!locate(*hive, foldKey(path)).exists)
            return nullptr;
        const bool write = access == KeyAccess::ReadWrite;
        if (write && !file_->writable())
            return nullptr;
        return std::make_unique<HiveKey>(file_, path, write);
    }

    std::unique_ptr<RegistryKey> createKey(const QString& keyPath) override
    {
        const QString path = normalizeKeyPath(keyPath);
        if (path.isEmpty())
            return nullptr;
        if (!file_->update([&](const Hive& hive) { return createKeyIn(hive, path); }))
            return nullptr;
        return std::make_unique<HiveKey>(file_, path, true);
    }

    const QString& path() const { return file_->path(); }

private:
    std::shared_ptr<HiveFile> file_;
};

// The machine registry stays one object for the whole run; it follows the
// hive path, which tests change between cases.
class MachineRegistry : public Registry {
public:
    std::unique_ptr<RegistryKey> openKey(const QString& keyPath, KeyAccess access) override
    {
        return current()->openKey(keyPath, access);
    }
    std::unique_ptr<RegistryKey> createKey(const QString& keyPath) override
    {
        return current()->createKey(keyPath);
    }

    void setPath(const QString& path)
    {
        std::lock_guard lock(mutex_);
        path_ = path;
    }
    QString path()
    {
        std::lock_guard lock(mutex_);
        return path_.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/hklm.reg") : path_;
    }

private:
    std::shared_ptr<HiveRegistry> current()
    {
        const QString p = path();
        std::lock_guard lock(mutex_);
        if (!registry_ || registry_->path() != p)
            registry_ = std::make_shared<HiveRegistry>(p);
        return registry_;
    }

    std::mutex mutex_;
    QString path_;
    std::shared_ptr<HiveRegistry> registry_;
};

MachineRegistry& machine()
{
    static MachineRegistry m;
    return m;
}

} // namespace

std::unique_ptr<Registry> openHiveFile(const QString& path) { return std::make_unique<HiveRegistry>(path); }

void setMachineHivePath(const QString& path) { machine().setPath(path); }

QString machineHivePath() { return machine().path(); }

Registry& machineRegistry() { return machine(); }

QString hiveProblem(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? QStringLiteral("找不到注册表文件%1").arg(path)
                               : QStringLiteral("无法读取注册表文件%1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("注册表文件%1不是普通文件").arg(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取注册表文件%1：%2").arg(path, f.errorString());
    // The header is on the first lines; a look at the file's beginning tells.
    Hive head;
    head.text = detect(f.read(1 << 16));
    index(head);
    if (!head.recognised)
        return QStringLiteral("注册表文件%1已损坏：不是注册表导出文件").arg(path);
    return {};
}

} // namespace platform
