#include "engine/store.h"
#include "engine/viewindex.h"
#include <cstring>

namespace engine {

domino::NotesDateTime PackedDateTime::unpack() const
{
    domino::NotesDateTime dt;
    if (julianDay != kNone)
        dt.date = QDate::fromJulianDay(julianDay);
    if (msecs != kNone)
        dt.time = QTime::fromMSecsSinceStartOfDay(msecs);
    if (offsetSeconds != kNone)
        dt.offsetSeconds = offsetSeconds;
    return dt;
}

PackedDateTime PackedDateTime::pack(const domino::NotesDateTime& dt)
{
    PackedDateTime p;
    if (dt.date.isValid())
        p.julianDay = qint32(dt.date.toJulianDay());
    if (dt.time.isValid())
        p.msecs = dt.time.msecsSinceStartOfDay();
    if (dt.offsetSeconds)
        p.offsetSeconds = *dt.offsetSeconds;
    return p;
}

namespace arena {
void putU32(std::string& a, uint32_t v) { a.append(reinterpret_cast<const char*>(&v), 4); }
void putText(std::string& a, std::string_view utf8)
{
    putU32(a, uint32_t(utf8.size()));
    a.append(utf8.data(), utf8.size());
}
QString getText(const std::string& a, uint64_t& pos)
{
    uint32_t n = getU32(a, pos);
    QString s = QString::fromUtf8(a.data() + pos, qsizetype(n));
    pos += n;
    return s;
}
} // namespace arena

uint32_t Database::intern(std::string_view utf8)
{
    auto it = nameIds_.find(utf8);
    if (it != nameIds_.end())
        return it->second;
    uint32_t id = uint32_t(names.size());
    QString name = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    names.push_back(name);
    nameIds_.emplace(std::string(utf8), id);
    QString key = name.toCaseFolded();
    auto f = foldedIds_.constFind(key);
    if (f == foldedIds_.constEnd())
        f = foldedIds_.insert(key, id);
    folded_.push_back(*f);
    exactFolded_.insert(name, *f);
    return id;
}

uint32_t Database::lookupFolded(const QString& name) const
{
    if (const auto exact = exactFolded_.constFind(name); exact != exactFolded_.constEnd())
        return *exact;
    return foldedIds_.value(name.toCaseFolded(), UINT32_MAX);
}

void Database::finish()
{
    byNoteId_.reserve(qsizetype(notes.size()));
    // A file made from two exports can give two notes one ID: the ID then
    // finds the first of them in file order (inserted last, so it stays).
    for (size_t i = notes.size(); i-- > 0;)
        byNoteId_.insert(notes[i].noteId, int(i));
    indexes_.resize(views.size());
}

int Database::noteByNoteId(const QString& hexId) const
{
    QString t = hexId.trimmed();
    if (t.startsWith(QLatin1String("NT"), Qt::CaseInsensitive))
        t = t.mid(2);
    bool ok = false;
    uint id = t.toUInt(&ok, 16);
    if (!ok || t.isEmpty())
        return -1;
    return byNoteId_.value(id, -1);
}

int Database::noteByUnid(const QString& unid) const
{
    std::lock_guard lock(mutex_);
    if (!byUnid_) {
        byUnid_ = std::make_unique<QHash<QString, int>>();
        byUnid_->reserve(qsizetype(notes.size()));
        for (size_t i = 0; i < notes.size(); ++i)
            byUnid_->insert(notes[i].unidText(), int(i));
    }
    return byUnid_->value(unid.toUpper(), -1);
}

const ItemRecord* Database::findItem(uint32_t note, uint32_t foldedName) const
{
    if (foldedName == UINT32_MAX)
        return nullptr;
    const NoteRecord& n = notes[note];
    for (uint32_t i = 0; i < n.itemCount; ++i) {
        const ItemRecord& it = items[n.firstItem + i];
        if (it.folded == foldedName)
            return &it;
    }
    return nullptr;
}

const ItemRecord* Database::findItem(uint32_t note, const QString& name) const
{
    return findItem(note, lookupFolded(name));
}

domino::NotesValueList Database::itemValues(const ItemRecord& item) const
{
    domino::NotesValueList out;
    uint64_t pos = item.offset;
    switch (item.kind) {
    case ValueKind::Text: {
        uint32_t n = arena::getU32(arena, pos);
        out.reserve(n);
        for (uint32_t i = 0; i < n; ++i)
            out.append(arena::getText(arena, pos));
        break;
    }
    case ValueKind::Number: {
        uint32_t n = arena::getU32(arena, pos);
        out.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            double d;
            std::memcpy(&d, arena.data() + pos, sizeof d);
            pos += sizeof d;
            out.append(d);
        }
        break;
    }
    case ValueKind::DateTime: {
        uint32_t n = arena::getU32(arena, pos);
        out.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            char range = arena[pos++];
            PackedDateTime a;
            std::memcpy(&a, arena.data() + pos, sizeof a);
            pos += sizeof a;
            if (range) {
                PackedDateTime b;
                std::memcpy(&b, arena.data() + pos, sizeof b);
                pos += sizeof b;
                out.append(domino::NotesValue::list({a.unpack(), b.unpack()}));
            } else {
                out.append(a.unpack());
            }
        }
        break;
    }
    case ValueKind::RichText:
        out.append(richPlainText(item));
        break;
    case ValueKind::File:
        out.append(fileOf(item).name);
        break;
    case ValueKind::Raw:
        out.append(arena::getText(arena, pos));
        break;
    }
    return out;
}

QString Database::richPlainText(const ItemRecord& item) const
{
    if (item.kind != ValueKind::RichText)
        return {};
    uint64_t pos = item.offset;
    return arena::getText(arena, pos);
}

QStringList Database::richReferences(const ItemRecord& item) const
{
    QStringList out;
    if (item.kind != ValueKind::RichText)
        return out;
    uint64_t pos = item.offset;
    pos += arena::getU32(arena, pos);
    uint32_t n = arena::getU32(arena, pos);
    for (uint32_t i = 0; i < n; ++i) {
        ++pos;  // kind: attachment reference or object reference
        out << arena::getText(arena, pos);
    }
    return out;
}

const FileRecord& Database::fileOf(const ItemRecord& item) const
{
    uint64_t pos = item.offset;
    return files[arena::getU32(arena, pos)];
}

QStringList Database::attachmentNames(uint32_t note) const
{
    QStringList out;
    const NoteRecord& n = notes[note];
    for (uint32_t i = 0; i < n.itemCount; ++i) {
        const ItemRecord& it = items[n.firstItem + i];
        if (it.kind == ValueKind::File) {
            const FileRecord& f = fileOf(it);
            if (f.host == FileHost::Plain)
                out << f.name;
        }
    }
    return out;
}

bool Database::hasAttachments(uint32_t note) const
{
    const NoteRecord& n = notes[note];
    for (uint32_t i = 0; i < n.itemCount; ++i) {
        const ItemRecord& it = items[n.firstItem + i];
        if (it.kind == ValueKind::File && fileOf(it).host == FileHost::Plain)
            return true;
    }
    return false;
}

int Database::findFile(uint32_t note, const QString& name, bool attachmentsOnly) const
{
    const NoteRecord& n = notes[note];
    int loose = -1;
    for (uint32_t i = 0; i < n.itemCount; ++i) {
        const ItemRecord& it = items[n.firstItem + i];
        if (it.kind != ValueKind::File)
            continue;
        uint64_t pos = it.offset;
        uint32_t idx = arena::getU32(arena, pos);
        const FileRecord& f = files[idx];
        if (attachmentsOnly && f.host != FileHost::Plain)
            continue;
        if (f.name == name)
            return int(idx);
        if (loose < 0 && f.name.compare(name, Qt::CaseInsensitive) == 0)
            loose = int(idx);
    }
    return loose;
}

int Database::viewIndexOf(const QString& nameOrAlias) const
{
    // Exact first, then ignoring case, then ignoring blanks around the names
    // (the file tree shows view names trimmed).
    for (int pass = 0; pass < 3; ++pass) {
        const QString want = pass == 2 ? nameOrAlias.trimmed() : nameOrAlias;
        auto same = [&](const QString& name) {
            return pass == 0 ? name == want : (pass == 1 ? name : name.trimmed()).compare(want, Qt::CaseInsensitive) == 0;
        };
        for (size_t i = 0; i < views.size(); ++i) {
            if (same(views[i].name))
                return int(i);
            for (const QString& a : views[i].aliases)
                if (same(a))
                    return int(i);
        }
    }
    return -1;
}

std::shared_ptr<const ViewIndex> Database::viewIndex(int view) const
{
    {
        std::lock_guard lock(mutex_);
        if (indexes_[size_t(view)])
            return indexes_[size_t(view)];
    }
    auto built = std::make_shared<const ViewIndex>(*this, views[size_t(view)]);
    std::lock_guard lock(mutex_);
    if (!indexes_[size_t(view)])
        indexes_[size_t(view)] = built;
    return indexes_[size_t(view)];
}

} // namespace engine
