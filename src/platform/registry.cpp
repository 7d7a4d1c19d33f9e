#include "platform/registry.h"
#include "platform/codepage.h"
#include "platform/textlines.h"
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

using detail::TextEncoding;
using detail::TextFile;
using detail::TextLine;

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

bool isSelfOrBelow(const QString& folded, const QString& candidate)
{
    return candidate == folded || (candidate.size() > folded.size() && candidate.startsWith(folded)
                                   && candidate[folded.size()] == u'\\');
}

// --- the parsed hive ------------------------------------------------------

struct Value {
    QString name;        // as written in the file
    bool isString = false;
    QString text;
    int lastLine = -1;   // physical line range of the entry that set it
    int firstLine = -1;
};

struct Key {
    QString path;          // as first written
    int section = -1;      // header line of the last live section, -1 when implicit only
    int sectionEnd = -1;   // last non-blank line of that section
    QHash<QString, Value> values;  // by folded name
};

struct Hive {
    TextFile file;
    bool regedit4 = false;
    QHash<QString, Key> keys;  // by folded path; parents of every key are present

    const Key* find(const QString& path) const
    {
        auto it = keys.constFind(foldKey(normalizeKeyPath(path)));
        return it == keys.cend() ? nullptr : &*it;
    }
};

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
std::optional<QString> decodeHexString(const QByteArray& bytes, bool regedit4)
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
            e.text = *decodeHexString(*bytes, regedit4);
        }
    } else if (data.startsWith(u"hex", Qt::CaseInsensitive) || data.startsWith(u"dword:", Qt::CaseInsensitive)) {
        e.kind = Entry::Kind::Set;  // another type: present, not a string
    }
    return e;
}

// Hex data continues on the next line when a line ends with "\".
bool continues(const QString& logical)
{
    if (!logical.trimmed().endsWith(u'\\'))
        return false;
    const qsizetype eq = logical.indexOf(u'=');
    if (eq < 0)
        return false;
    return QStringView(logical).mid(eq + 1).trimmed().startsWith(u"hex", Qt::CaseInsensitive);
}

void addKey(Hive& hive, const QString& path, int headerLine)
{
    // Parents exist implicitly, as regedit creates them on import; walking up
    // stops at the first one already known.
    const QString folded = foldKey(path);
    Key& k = hive.keys[folded];
    if (k.path.isEmpty()) {
        k.path = path;
        for (qsizetype cut = path.lastIndexOf(u'\\'); cut > 0; cut = path.lastIndexOf(u'\\', cut - 1)) {
            Key& parent = hive.keys[foldKey(path.left(cut))];
            if (!parent.path.isEmpty())
                break;
            parent.path = path.left(cut);
        }
    }
    Key& self = hive.keys[folded];  // the inserts above may have moved it
    self.section = headerLine;
    self.sectionEnd = headerLine;
}

void deleteKey(Hive& hive, const QString& path)
{
    const QString folded = foldKey(path);
    for (auto it = hive.keys.begin(); it != hive.keys.end();) {
        if (isSelfOrBelow(folded, it.key()))
            it = hive.keys.erase(it);
        else
            ++it;
    }
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

void parse(Hive& hive)
{
    hive.keys.clear();
    const auto& lines = hive.file.lines;
    Key* current = nullptr;
    QString currentPath;
    bool sawHeader = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QString trimmed = lines[i].text.trimmed();
        if (!sawHeader && !trimmed.isEmpty()) {
            sawHeader = true;
            if (trimmed.compare(kHeader4, Qt::CaseInsensitive) == 0) {
                hive.regedit4 = true;
                continue;
            }
            if (trimmed == kHeader5)
                continue;
        }
        if (trimmed.isEmpty() || trimmed.startsWith(u';'))
            continue;
        if (trimmed.startsWith(u'[')) {
            current = nullptr;
            const qsizetype close = trimmed.lastIndexOf(u']');
            if (close < 0)
                continue;  // broken header: the lines below belong to no key
            QStringView inner = QStringView(trimmed).mid(1, close - 1);
            const bool deletion = inner.startsWith(u'-');
            if (deletion)
                inner = inner.mid(1);
            auto path = sectionKey(inner);
            if (!path || path->isEmpty())
                continue;
            if (deletion) {
                deleteKey(hive, *path);
                continue;
            }
            addKey(hive, *path, i);
            currentPath = foldKey(*path);
            current = &hive.keys[currentPath];
            continue;
        }
        // A value entry, possibly continued over several physical lines.
        const int first = i;
        QString logical = lines[i].text;
        while (continues(logical) && i + 1 < lines.size()) {
            logical = logical.trimmed();
            logical.chop(1);
            logical += lines[++i].text.trimmed();
        }
        if (!current)
            continue;
        current->sectionEnd = i;
        const Entry e = parseEntry(logical, hive.regedit4);
        const QString name = foldKey(e.name);
        if (e.kind == Entry::Kind::Set)
            current->values.insert(name, Value{e.name, e.isString, e.text, i, first});
        else if (e.kind == Entry::Kind::Delete)
            current->values.remove(name);
    }
}

Hive parseBytes(const QByteArray& bytes)
{
    Hive hive;
    auto has = [&](const char* prefix) { return bytes.startsWith(QByteArray(prefix)); };
    if (has("\xFF\xFE"))
        hive.file = TextFile::split(bytes.mid(2), TextEncoding::Utf16LE, bytes.left(2));
    else if (has("\xFE\xFF"))
        hive.file = TextFile::split(bytes.mid(2), TextEncoding::Utf16BE, bytes.left(2));
    else if (has("\xEF\xBB\xBF"))
        hive.file = TextFile::split(bytes.mid(3), TextEncoding::Utf8, bytes.left(3));
    else if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0)
        hive.file = TextFile::split(bytes, TextEncoding::Utf16LE, {});
    else {
        // Without a BOM: UTF-8 when it is valid, else the ANSI code page of a REGEDIT4 export.
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString decoded = utf8.decode(bytes);  // decodes only when turned into a string
        hive.file = TextFile::split(bytes, utf8.hasError() ? TextEncoding::Cp936 : TextEncoding::Utf8, {});
    }
    parse(hive);
    return hive;
}

Hive newHive()
{
    Hive hive;
    hive.file.encoding = TextEncoding::Utf16LE;
    hive.file.bom = QByteArray("\xFF\xFE", 2);
    hive.file.newLine = hive.file.encode(QStringLiteral("\r\n"));
    hive.file.lines << hive.file.makeLine(kHeader5) << hive.file.makeLine(QString());
    return hive;
}

// Appends a section for the key at the end of the file, parted from what is above by a blank line.
int appendSection(Hive& hive, const QString& path)
{
    TextFile& f = hive.file;
    f.terminateLastLine();
    if (!f.lines.isEmpty() && !f.lines.last().text.trimmed().isEmpty())
        f.lines << f.makeLine(QString());
    f.lines << f.makeLine(u'[' + kRootName + u'\\' + path + u']');
    return int(f.lines.size() - 1);
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

    // Applies edit to the hive as it is on disk now and writes it back.
    // edit returns false to refuse (nothing is written); it sets changed when it edited.
    template <class Edit>
    bool update(Edit edit)
    {
        std::lock_guard lock(mutex_);
        if (!writable())
            return false;
        std::shared_ptr<const Hive> now = loadLocked();
        Hive hive = stamp_.exists ? *now : newHive();
        bool changed = false;
        if (!edit(hive, changed))
            return false;
        if (!changed)
            return true;
        if (!detail::writeFileAtomically(path_, hive.file.serialize()))
            return false;
        parse(hive);
        cached_ = std::make_shared<const Hive>(std::move(hive));
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
        QFile f(path_);
        QByteArray bytes;
        if (s.exists && f.open(QIODevice::ReadOnly))
            bytes = f.readAll();
        cached_ = std::make_shared<const Hive>(s.exists ? parseBytes(bytes) : Hive{});
        stamp_ = s;
        return cached_;
    }

    QString path_;
    std::mutex mutex_;
    std::shared_ptr<const Hive> cached_;
    FileStamp stamp_;
};

bool setString(Hive& hive, const QString& keyPath, const QString& name, const QString& value, bool& changed)
{
    if (name.contains(u'\n') || name.contains(u'\r'))
        return false;
    const QString folded = foldKey(keyPath);
    auto kit = hive.keys.constFind(folded);  // const: no deep copy of a shared hive
    if (kit == hive.keys.cend())
        return false;  // deleted meanwhile
    auto vit = kit->values.constFind(foldKey(name));
    // An existing value keeps its name as written, as Windows keeps it.
    const QString& written = vit != kit->values.cend() ? vit->name : name;
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
    const QString line = nameText + u'=' + data;
    TextFile& f = hive.file;
    if (vit != kit->values.cend()) {
        if (vit->isString && vit->text == value)
            return true;
        TextLine replacement = f.makeLine(line);
        replacement.eol = f.lines[vit->lastLine].eol;
        f.lines.remove(vit->firstLine, vit->lastLine - vit->firstLine + 1);
        f.lines.insert(vit->firstLine, replacement);
    } else {
        int at = kit->section >= 0 ? kit->sectionEnd : appendSection(hive, kit->path);
        if (at == int(f.lines.size()) - 1)
            f.terminateLastLine();
        f.lines.insert(at + 1, f.makeLine(line));
    }
    changed = true;
    return true;
}

bool createKeyIn(Hive& hive, const QString& keyPath, bool& changed)
{
    if (hive.keys.contains(foldKey(keyPath)))
        return true;
    const int header = appendSection(hive, keyPath);
    hive.file.lines << hive.file.makeLine(QString());
    addKey(hive, keyPath, header);
    changed = true;
    return true;
}

class HiveKey : public RegistryKey {
public:
    HiveKey(std::shared_ptr<HiveFile> file, QString path, bool writable)
        : file_(std::move(file)), path_(std::move(path)), writable_(writable)
    {
    }

    std::optional<QString> readString(const QString& valueName) const override
    {
        const auto hive = file_->current();
        const Key* key = hive ? hive->find(path_) : nullptr;
        if (!key)
            return std::nullopt;
        auto it = key->values.constFind(foldKey(valueName));
        if (it == key->values.cend() || !it->isString)
            return std::nullopt;
        return it->text;
    }

    bool writeString(const QString& valueName, const QString& value) override
    {
        if (!writable_)
            return false;
        return file_->update([&](Hive& hive, bool& changed) {
            return setString(hive, path_, valueName, value, changed);
        });
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
        const auto hive = file_->current();
        if (path.isEmpty() || !hive || !hive->find(path))
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
        if (!file_->update([&](Hive& hive, bool& changed) { return createKeyIn(hive, path, changed); }))
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

} // namespace platform
