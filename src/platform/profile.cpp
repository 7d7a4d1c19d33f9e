#include "platform/profile.h"
#include "platform/textlines.h"
#include <QFile>

namespace platform {

using detail::TextEncoding;
using detail::TextFile;

namespace {

constexpr qsizetype kMaxValueLength = 2047;  // a 2048-character buffer, as callers of the API pass

TextFile load(const QString& path, bool* exists = nullptr)
{
    QFile f(path);
    const bool ok = f.open(QIODevice::ReadOnly);
    if (exists)
        *exists = ok;
    const QByteArray bytes = ok ? f.readAll() : QByteArray();
    // The profile API reads a file with a UTF-16LE BOM as Unicode; anything else is the ANSI code page.
    if (bytes.startsWith("\xFF\xFE"))
        return TextFile::split(bytes.mid(2), TextEncoding::Utf16LE, bytes.left(2));
    return TextFile::split(bytes, TextEncoding::Cp936, {});
}

// Lines are trimmed of blanks and control characters, as the profile API does.
QString trimmed(QStringView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32)
        ++b;
    while (e > b && s[e - 1].unicode() <= 32)
        --e;
    return s.mid(b, e - b).toString();
}

// "[name]" → name; nullopt for a line that is no section header.
std::optional<QString> sectionName(const QString& line)
{
    const QString t = trimmed(line);
    if (!t.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = t.indexOf(u']');
    return trimmed(QStringView(t).mid(1, close < 0 ? -1 : close - 1));
}

struct KeyLine {
    QString key;
    QString value;
};

std::optional<KeyLine> keyLine(const QString& line)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    return KeyLine{trimmed(QStringView(line).left(eq)), trimmed(QStringView(line).mid(eq + 1))};
}

bool same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

struct Found {
    int section = -1;   // header line of the first section of that name
    int lastEntry = -1; // last non-blank line in it
    int key = -1;       // line of the first entry of the key
};

Found find(const TextFile& f, const QString& section, const QString& key)
{
    Found r;
    bool inside = false;
    for (int i = 0; i < f.lines.size(); ++i) {
        const QString& text = f.lines[i].text;
        if (auto name = sectionName(text)) {
            if (inside)
                break;  // only the first section of a name counts
            inside = same(*name, section);
            if (inside)
                r.section = r.lastEntry = i;
            continue;
        }
        if (!inside || trimmed(text).isEmpty())
            continue;
        r.lastEntry = i;
        if (r.key < 0) {
            auto kl = keyLine(text);
            if (kl && same(kl->key, key))
                r.key = i;
        }
    }
    return r;
}

} // namespace

QString ReadProfileString(const QString& file, const QString& section, const QString& key,
                          const QString& defaultValue)
{
    const TextFile f = load(file);
    const Found at = find(f, trimmed(section), trimmed(key));
    QString value;
    if (at.key < 0) {
        value = defaultValue;
        while (!value.isEmpty() && value.back().unicode() <= 32)
            value.chop(1);
    } else {
        value = keyLine(f.lines[at.key].text)->value;
        // A value written between matching quotes is read without them.
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
    }
    if (value.size() > kMaxValueLength) {
        qsizetype n = kMaxValueLength;
        if (value[n - 1].isHighSurrogate())
            --n;
        value.truncate(n);
    }
    return value;
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
    bool existed = false;
    TextFile f = load(file, &existed);
    if (!existed && QFile::exists(file))
        return false;  // there but unreadable: rewriting it would lose its contents
    const Found at = find(f, s, k);
    if (at.key >= 0) {
        // The entry keeps its key as written, the line its end.
        const QString line = keyLine(f.lines[at.key].text)->key + u'=' + value;
        if (f.lines[at.key].text == line)
            return true;
        auto replacement = f.makeLine(line);
        replacement.eol = f.lines[at.key].eol;
        f.lines[at.key] = replacement;
    } else if (at.section >= 0) {
        if (at.lastEntry == f.lines.size() - 1)
            f.terminateLastLine();
        f.lines.insert(at.lastEntry + 1, f.makeLine(k + u'=' + value));
    } else {
        f.terminateLastLine();
        f.lines << f.makeLine(u'[' + s + u']') << f.makeLine(k + u'=' + value);
    }
    return detail::writeFileAtomically(file, f.serialize(), 0600);
}

} // namespace platform
