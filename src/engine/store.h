#pragma once
// The in-memory form of one DXL database: the notes' summary data kept
// compactly (item values serialised into one arena, item names interned) and
// the design of its views. Large values (attachments, embedded objects) are
// never held: a file keeps the byte range of its base64 text in the DXL file.
#include "domino/notesvalue.h"
#include "engine/sourcefile.h"
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace engine {

class ViewIndex;

// A date-time in 12 bytes; the fields are "absent" when at their sentinel.
struct PackedDateTime {
    static constexpr qint32 kNone = INT32_MIN;
    qint32 julianDay = kNone;
    qint32 msecs = kNone;
    qint32 offsetSeconds = kNone;
    bool isNull() const { return julianDay == kNone && msecs == kNone; }
    domino::NotesDateTime unpack() const;
    static PackedDateTime pack(const domino::NotesDateTime& dt);
};

// How an item's value is serialised in the arena.
enum class ValueKind : uint8_t {
    Text,      // u32 count, then per element u32 length + UTF-8
    Number,    // u32 count, then doubles
    DateTime,  // u32 count, then per element u8 (0 single, 1 range) + PackedDateTime(s)
    RichText,  // u32 length + UTF-8 paragraphs joined by '\n', u32 refs, per ref u8 kind + text
    File,      // u32 index into Database::files
    Raw,       // u32 length + UTF-8 of a text rendering (may be empty)
};

namespace ItemFlag {
inline constexpr uint8_t Summary = 1, Names = 2, Readers = 4, Authors = 8;
}

struct ItemRecord {
    uint32_t name = 0;       // interned exact name
    uint32_t folded = 0;     // interned case-folded name, for lookups
    uint16_t type = 0;       // Domino's type code
    uint8_t flags = 0;
    ValueKind kind = ValueKind::Text;
    uint64_t offset = 0;     // into Database::arena
};

enum class FileHost : uint8_t { Plain, ByteArrayExt, ByteArrayPage };
enum class FileCompression : uint8_t { None, Huffman, Lz1, Other };

struct FileRecord {
    QString name;
    FileHost host = FileHost::Plain;
    FileCompression compression = FileCompression::None;
    QString compressionName;
    uint32_t note = 0;
    qint64 offset = -1;      // byte range of the base64 text in the DXL file
    qint64 length = 0;
};

using Unid = std::array<char, 32>;  // upper-case hex, no terminator

struct NoteRecord {
    uint32_t noteId = 0;
    Unid unid{};
    Unid parent{};
    bool hasParent = false;
    PackedDateTime created;
    PackedDateTime modified;
    uint32_t firstItem = 0;
    uint32_t itemCount = 0;
    qint64 length = 0;       // bytes the note takes in the file
    QString unidText() const { return QString::fromLatin1(unid.data(), 32); }
};

enum class SortOrder : uint8_t { None, Ascending, Descending };

struct ColumnDesign {
    QString title;
    QString itemName;
    QString formula;         // empty: the value is the item itemName
    SortOrder sort = SortOrder::None;
    bool categorized = false;
    bool responsesOnly = false;
    bool hidden = false;
    bool separateMultipleValues = false;
    QString listSeparator;   // "comma", "semicolon", "space", "newline", "none" or empty
};

struct ViewDesign {
    QString name;            // the first of its names
    QStringList aliases;
    bool isFolder = false;
    bool compiledOnly = false;  // exported as <note class='view'>: no readable design
    bool hierarchy = true;      // responses shown below their parents
    QString selection;
    bool hasSelection = false;
    std::vector<ColumnDesign> columns;
    // Folder contents listed in the DXL (UNIDs or note IDs), when present.
    bool hasEntries = false;
    QStringList entries;
};

class Database {
public:
    QString filePath;
    QString title;
    qint64 fileSize = -1;        // of the file read, so extraction notices a changed file
    qint64 fileModifiedMs = -1;
    mutable SourceFile source;   // the file, kept open for extraction
    std::vector<NoteRecord> notes;   // documents, in file order
    std::vector<ItemRecord> items;
    std::vector<FileRecord> files;
    std::vector<ViewDesign> views;
    std::string arena;

    // Interned item names (exact spelling) and their case-folded forms.
    std::vector<QString> names;
    uint32_t intern(std::string_view utf8);
    uint32_t foldedOf(uint32_t name) const { return folded_[name]; }
    // The folded id of a name, or UINT32_MAX when no note has such an item.
    uint32_t lookupFolded(const QString& name) const;

    void finish();  // builds the lookup tables once reading is done

    // Note by note ID (hex text, any case); -1 when absent. Of two notes with
    // one ID, the first in file order.
    int noteByNoteId(const QString& hexId) const;
    int noteByUnid(const QString& unid) const;  // -1 when absent

    // Item access.
    const ItemRecord* findItem(uint32_t note, uint32_t foldedName) const;
    const ItemRecord* findItem(uint32_t note, const QString& name) const;
    domino::NotesValueList itemValues(const ItemRecord& item) const;
    QString richPlainText(const ItemRecord& item) const;
    // Attachment and embedded-object names referred to by a rich-text item.
    QStringList richReferences(const ItemRecord& item) const;
    const FileRecord& fileOf(const ItemRecord& item) const;
    // The plain attachments of a note (byte-array pages of OLE objects excluded).
    QStringList attachmentNames(uint32_t note) const;
    bool hasAttachments(uint32_t note) const;
    int findFile(uint32_t note, const QString& name, bool attachmentsOnly) const;

    int viewIndexOf(const QString& nameOrAlias) const;  // -1 when absent
    // The view's index, built on first use and kept with the database.
    std::shared_ptr<const ViewIndex> viewIndex(int view) const;

private:
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, uint32_t, NameHash, std::equal_to<>> nameIds_;
    std::vector<uint32_t> folded_;
    QHash<QString, uint32_t> foldedIds_;
    QHash<QString, uint32_t> exactFolded_;  // exact name -> folded id: lookups spelt as stored fold nothing
    QHash<quint32, int> byNoteId_;
    mutable std::unique_ptr<QHash<QString, int>> byUnid_;
    mutable std::mutex mutex_;
    mutable std::vector<std::shared_ptr<const ViewIndex>> indexes_;
};

using DatabasePtr = std::shared_ptr<const Database>;

// Serialisation helpers for the arena.
namespace arena {
void putU32(std::string& a, uint32_t v);
void putText(std::string& a, std::string_view utf8);
inline uint32_t getU32(const std::string& a, uint64_t& pos)
{
    uint32_t v;
    std::memcpy(&v, a.data() + pos, 4);
    pos += 4;
    return v;
}
QString getText(const std::string& a, uint64_t& pos);
} // namespace arena

} // namespace engine
