#include "engine/dxlreader.h"
#include "domino/dominoobjects.h"
#include "engine/dxlvalues.h"
#include "engine/sourcefile.h"
#include "platform/error.h"
#include <QFileInfo>
#include <expat.h>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <array>

namespace engine {
namespace {

enum class Tag : uint8_t {
    Other, Database, Document, Note, NoteInfo, UpdatedBy, Revisions, Name, Item, Text, TextList,
    Number, NumberList, DateTime, DateTimeList, DateTimePair, RichText, Par, Break, Object, File,
    FileData, RawItemData, AttachmentRef, ObjectRef, View, Folder, Column, ColumnHeader, Code,
    Formula, Binary, SectionTitle, NoteRef, Acl, Created, Modified,
};

struct TagName {
    const char* name;
    Tag tag;
};

// The same text: an inline comparison, as the names compared are a few bytes.
bool sameName(const char* a, const char* b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// The part of a qualified name after its prefix; null when it has none.
const char* afterPrefix(const char* qname)
{
    const char* colon = std::strrchr(qname, ':');
    return colon ? colon + 1 : nullptr;
}

// Called for every element of files of hundreds of megabytes: a scan of the
// few names that share the first letter is cheaper than hashing. Names are
// matched as they stand first: DXL rarely has a prefix, and a prefixed name
// never matches one of the table's.
Tag tagOf(const char* qname)
{
    static const TagName names[] = {
        {"database", Tag::Database},
        {"document", Tag::Document},
        {"note", Tag::Note},
        {"noteinfo", Tag::NoteInfo},
        {"updatedby", Tag::UpdatedBy},
        {"revisions", Tag::Revisions},
        {"name", Tag::Name},
        {"item", Tag::Item},
        {"text", Tag::Text},
        {"textlist", Tag::TextList},
        {"number", Tag::Number},
        {"numberlist", Tag::NumberList},
        {"datetime", Tag::DateTime},
        {"datetimelist", Tag::DateTimeList},
        {"datetimepair", Tag::DateTimePair},
        {"richtext", Tag::RichText},
        {"par", Tag::Par},
        {"break", Tag::Break},
        {"object", Tag::Object},
        {"file", Tag::File},
        {"filedata", Tag::FileData},
        {"rawitemdata", Tag::RawItemData},
        {"attachmentref", Tag::AttachmentRef},
        {"objectref", Tag::ObjectRef},
        {"view", Tag::View},
        {"folder", Tag::Folder},
        {"column", Tag::Column},
        {"columnheader", Tag::ColumnHeader},
        {"code", Tag::Code},
        {"formula", Tag::Formula},
        {"sectiontitle", Tag::SectionTitle},
        {"picture", Tag::Binary},
        {"notesbitmap", Tag::Binary},
        {"jpeg", Tag::Binary},
        {"gif", Tag::Binary},
        {"png", Tag::Binary},
        {"bmp", Tag::Binary},
        {"imagedata", Tag::Binary},
        {"itemdata", Tag::Binary},
        {"cgm", Tag::Binary},
        {"notesdata", Tag::Binary},
        {"svg", Tag::Binary},
        {"pict", Tag::Binary},
        {"noteref", Tag::NoteRef},
        {"entry", Tag::NoteRef},
        {"acl", Tag::Acl},
        {"created", Tag::Created},
        {"modified", Tag::Modified}
    };
    static const auto buckets = [] {
        std::array<std::vector<const TagName*>, 26> b;
        for (const TagName& n : names)
            b[size_t(n.name[0] - 'a')].push_back(&n);
        return b;
    }();
    auto lookup = [](const char* name) {
        if (*name < 'a' || *name > 'z')
            return Tag::Other;
        for (const TagName* n : buckets[size_t(*name - 'a')])
            if (sameName(n->name, name))
                return n->tag;
        return Tag::Other;
    };
    const Tag tag = lookup(qname);
    if (tag != Tag::Other)
        return tag;
    const char* local = afterPrefix(qname);
    return local ? lookup(local) : Tag::Other;
}

// Whether an attribute's name without its prefix is `name`.
bool isAttribute(const char* key, const char* name)
{
    if (sameName(key, name))
        return true;
    const char* local = afterPrefix(key);
    return local && sameName(local, name);
}

const char* attr(const char** atts, const char* name)
{
    for (int i = 0; atts[i]; i += 2)
        if (isAttribute(atts[i], name))
            return atts[i + 1];
    return nullptr;
}

// The values of several attributes in one pass over the element's attributes
// (the first of each name, as attr() gives it; null where absent).
template <size_t N>
std::array<const char*, N> attrs(const char** atts, const std::array<const char*, N>& names)
{
    std::array<const char*, N> values{};
    for (int i = 0; atts[i]; i += 2) {
        const char* key = atts[i];
        for (int pass = 0; pass < 2 && key; ++pass) {
            auto k = std::find_if(names.begin(), names.end(), [&](const char* n) { return sameName(key, n); });
            if (k != names.end()) {
                const size_t at = size_t(k - names.begin());
                if (!values[at])
                    values[at] = atts[i + 1];
                break;
            }
            key = pass == 0 ? afterPrefix(key) : nullptr;
        }
    }
    return values;
}

// The elements DXL exports a design note other than a view or folder as.
bool isDesignNote(const char* qname)
{
    static constexpr const char* kDesign[] = {
        "form", "subform", "page", "frameset", "agent", "scriptlibrary", "sharedfield", "sharedcolumn",
        "sharedactions", "imageresource", "fileresource", "stylesheetresource", "appletresource",
        "databasescript", "helpaboutdocument", "helpusingdocument", "outline", "navigator",
        "dataconnection", "wsprovider", "wsconsumer", "databaseinfo", "acl",
    };
    const char* local = afterPrefix(qname);
    for (const char* d : kDesign)
        if (sameName(d, qname) || (local && sameName(d, local)))
            return true;
    return false;
}

bool isTrue(const char* v) { return v && (std::strcmp(v, "true") == 0 || std::strcmp(v, "1") == 0); }

enum class NoteKind { None, Document, CompiledDesign, Skipped };

// The value collected for the item being read.
struct ItemState {
    bool active = false;
    std::string name;
    uint8_t flags = 0;
    // Text values; the strings are reused from item to item, so reading
    // millions of values does not allocate for each.
    std::vector<std::string> textStore;
    size_t textCount = 0;
    std::vector<double> numbers;
    std::vector<std::pair<PackedDateTime, std::optional<PackedDateTime>>> dates;
    bool sawText = false, sawNumber = false, sawDate = false, sawRich = false;
    bool sawRaw = false, sawFile = false;
    int rawType = 0;
    std::string raw;
    std::string rich;
    std::vector<std::pair<uint8_t, std::string>> refs;
    uint32_t file = 0;

    void addText(std::string_view t)
    {
        if (textCount < textStore.size())
            textStore[textCount].assign(t);
        else
            textStore.emplace_back(t);
        ++textCount;
    }
    void reset()
    {
        active = false;
        name.clear();
        flags = 0;
        textCount = 0;
        numbers.clear();
        dates.clear();
        sawText = sawNumber = sawDate = sawRich = sawRaw = sawFile = false;
        rawType = 0;
        raw.clear();
        rich.clear();
        refs.clear();
        file = 0;
    }
};

class Reader {
public:
    Reader(const QString& path, std::shared_ptr<Database> db) : path_(path), db_(std::move(db))
    {
        parser_ = XML_ParserCreate(nullptr);
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &Reader::onStart, &Reader::onEnd);
        // The character data handler is set only while a value is collected:
        // most of a large file is base64 that nothing needs to see.
        XML_SetStartDoctypeDeclHandler(parser_, &Reader::onDoctype);
        XML_SetEntityDeclHandler(parser_, &Reader::onEntity);
        XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
    }
    ~Reader() { XML_ParserFree(parser_); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    XML_Parser parser() const { return parser_; }

    // Raises the error of a failed parse.
    [[noreturn]] void fail(const QString& text)
    {
        throw platform::Error(text);
    }
    [[noreturn]] void failParse()
    {
        if (!stopText_.isEmpty())
            fail(stopText_);
        XML_Error code = XML_GetErrorCode(parser_);
        const auto line = XML_GetCurrentLineNumber(parser_);
        const auto column = XML_GetCurrentColumnNumber(parser_) + 1;
        if (!rootSeen_ && code == XML_ERROR_NO_ELEMENTS)
            fail(QStringLiteral("文件不是DXL数据库(没有XML内容): %1").arg(path_));
        QString what;
        switch (code) {
        case XML_ERROR_NO_ELEMENTS:
        case XML_ERROR_UNCLOSED_TOKEN:
        case XML_ERROR_UNCLOSED_CDATA_SECTION:
        case XML_ERROR_PARTIAL_CHAR:
            what = QStringLiteral("文件不完整，可能已被截断");
            break;
        case XML_ERROR_TAG_MISMATCH:
            what = QStringLiteral("开始标记与结束标记不匹配");
            break;
        case XML_ERROR_INVALID_TOKEN:
        case XML_ERROR_SYNTAX:
            what = QStringLiteral("语法错误");
            break;
        case XML_ERROR_UNDEFINED_ENTITY:
            what = QStringLiteral("引用了未定义的实体");
            break;
        case XML_ERROR_UNKNOWN_ENCODING:
        case XML_ERROR_INCORRECT_ENCODING:
            what = QStringLiteral("不支持的字符编码");
            break;
        case XML_ERROR_AMPLIFICATION_LIMIT_BREACH:
            what = QStringLiteral("实体展开过多");
            break;
        default:
            what = QString::fromUtf8(XML_ErrorString(code));
        }
        fail(QStringLiteral("DXL文件格式错误(第%1行第%2列): %3 (%4): %5")
                 .arg(line)
                 .arg(column)
                 .arg(what, QString::fromUtf8(XML_ErrorString(code)), path_));
    }

    void finish()
    {
        if (!rootSeen_)
            fail(QStringLiteral("文件不是DXL数据库(没有XML内容): %1").arg(path_));
        // Notes without a note ID in the file get ones that no other note uses.
        uint32_t next = 4;
        for (const NoteRecord& n : db_->notes)
            next = std::max(next, n.noteId + 4);
        for (NoteRecord& n : db_->notes) {
            if (n.noteId == 0) {
                n.noteId = next;
                next += 4;
            }
            if (n.unid[0] == 0) {
                QByteArray u = QByteArray::number(n.noteId, 16).toUpper().rightJustified(32, '0');
                std::memcpy(n.unid.data(), u.constData(), 32);
            }
        }
        if (db_->title.isEmpty())
            db_->title = QFileInfo(path_).completeBaseName();
        db_->finish();
    }

private:
    static void XMLCALL onStart(void* self, const char* name, const char** atts)
    {
        static_cast<Reader*>(self)->start(name, atts);
    }
    static void XMLCALL onEnd(void* self, const char* name)
    {
        static_cast<Reader*>(self)->end(name);
    }
    static void XMLCALL onText(void* self, const char* s, int len)
    {
        auto* r = static_cast<Reader*>(self);
        if (r->collect_ > 0 && r->binary_ == 0)
            r->chars_.append(s, size_t(len));
    }
    static void XMLCALL onDoctype(void* self, const char*, const char*, const char*, int internalSubset)
    {
        if (internalSubset)
            static_cast<Reader*>(self)->stop(
                QStringLiteral("DXL文件含有内部DTD定义，出于安全原因拒绝读取: %1")
                    .arg(static_cast<Reader*>(self)->path_));
    }
    static void XMLCALL onEntity(void* self, const char*, int, const char*, int, const char*,
                                 const char*, const char*, const char*)
    {
        static_cast<Reader*>(self)->stop(
            QStringLiteral("DXL文件声明了实体，出于安全原因拒绝读取: %1").arg(static_cast<Reader*>(self)->path_));
    }

    void stop(const QString& text)
    {
        if (stopText_.isEmpty())
            stopText_ = text;
        XML_StopParser(parser_, XML_FALSE);
    }

    qint64 byteIndex() const { return qint64(XML_GetCurrentByteIndex(parser_)); }

    void start(const char* name, const char** atts)
    {
        if (!stopText_.isEmpty())
            return;
        if (++depth_ > kMaxDepth) {
            stop(QStringLiteral("DXL文件嵌套层次过深(超过%1层): %2").arg(kMaxDepth).arg(path_));
            return;
        }
        if (hasLongAttribute(atts)) {
            stop(QStringLiteral("DXL文件中的属性值过长(超过%1字节): %2").arg(kMaxAttributeBytes).arg(path_));
            return;
        }
        if (skip_ > 0) {
            ++skip_;
            return;
        }
        const Tag tag = tagOf(name);
        if (!rootSeen_) {
            rootSeen_ = true;
            // A design note exported alone (<form>, <agent>...) is a DXL file
            // as <note class='form'> is: read, with nothing in it to list.
            if ((tag == Tag::Other || tag == Tag::Acl) && isDesignNote(name)) {
                skip_ = 1;
                return;
            }
            if (tag != Tag::Database && tag != Tag::Document && tag != Tag::Note && tag != Tag::View
                && tag != Tag::Folder) {
                stop(QStringLiteral("文件不是DXL数据库(根元素为<%1>): %2")
                         .arg(QString::fromUtf8(name), path_));
                return;
            }
        }
        stack_.push_back(tag);
        switch (tag) {
        case Tag::Database:
            if (stack_.size() == 1)
                if (const char* t = attr(atts, "title"))
                    db_->title = QString::fromUtf8(t);
            break;
        case Tag::Acl:
            skipElement();
            break;
        case Tag::Document:
            if (view_)
                startInView(tag, atts);  // a folder's entry
            else if (note_ != NoteKind::None)
                skipElement();
            else
                beginNote(atts, NoteKind::Document);
            break;
        case Tag::Note: {
            if (note_ != NoteKind::None || view_) {
                skipElement();
                break;
            }
            const char* cls = attr(atts, "class");
            if (!cls || std::strcmp(cls, "document") == 0)
                beginNote(atts, NoteKind::Document);
            else if (std::strcmp(cls, "view") == 0 || std::strcmp(cls, "folder") == 0) {
                beginNote(atts, NoteKind::CompiledDesign);
                compiledFolder_ = std::strcmp(cls, "folder") == 0;
            } else
                skipElement();
            break;
        }
        case Tag::View:
        case Tag::Folder:
            if (note_ != NoteKind::None || view_) {
                skipElement();
                break;
            }
            beginView(atts, tag == Tag::Folder);
            break;
        default:
            if (view_)
                startInView(tag, atts);
            else if (note_ != NoteKind::None)
                startInNote(tag, atts);
            else if (tag != Tag::Database)
                skipElement();  // forms, agents, database info and other design notes
        }
    }

    bool hasLongAttribute(const char** atts) const
    {
        // A value decoded to UTF-8 takes at most twice the bytes of its tag in
        // the file (UTF-16 and Latin-1 grow, references shrink), so only tags
        // of half the limit or more need their values measured.
        if (size_t(XML_GetCurrentByteCount(parser_)) * 2 <= kMaxAttributeBytes)
            return false;
        for (int i = 0; atts[i]; i += 2)
            if (std::strlen(atts[i + 1]) > kMaxAttributeBytes)
                return true;
        return false;
    }

    void skipElement()
    {
        stack_.pop_back();
        skip_ = 1;
    }

    void end(const char* name)
    {
        if (!stopText_.isEmpty())
            return;
        --depth_;
        if (skip_ > 0) {
            --skip_;
            return;
        }
        if (stack_.empty())
            return;
        const Tag tag = stack_.back();
        stack_.pop_back();
        if (view_)
            endInView(tag);
        else if (note_ != NoteKind::None)
            endInNote(tag);
    }

    // --- notes -----------------------------------------------------------------------------

    void beginNote(const char** atts, NoteKind kind)
    {
        note_ = kind;
        noteDepth_ = stack_.size();
        cur_ = NoteRecord();
        cur_.firstItem = uint32_t(db_->items.size());
        noteStart_ = byteIndex();
        arenaStart_ = db_->arena.size();
        formAttr_.clear();
        hasFormItem_ = false;
        title_.clear();
        const auto [form, parent] = attrs<2>(atts, {"form", "parent"});
        if (form)
            formAttr_ = form;
        if (parent)
            setParent(parent);
    }

    void setParent(std::string_view unid)
    {
        std::string u;
        for (char c : unid)
            if (std::isxdigit(static_cast<unsigned char>(c)))
                u += char(std::toupper(static_cast<unsigned char>(c)));
        if (u.size() != 32)
            return;
        std::memcpy(cur_.parent.data(), u.data(), 32);
        cur_.hasParent = true;
    }

    void endNote()
    {
        cur_.length = byteIndex() + XML_GetCurrentByteCount(parser_) - noteStart_;
        if (note_ == NoteKind::CompiledDesign) {
            ViewDesign v;
            v.compiledOnly = true;
            v.isFolder = compiledFolder_;
            setViewNames(v, title_, {});
            db_->items.resize(cur_.firstItem);
            db_->arena.resize(arenaStart_);
            // Untitled, as a <view> without a name is: listed all the same.
            db_->views.push_back(std::move(v));
        } else {
            if (!formAttr_.empty() && !hasFormItem_) {
                // DXL gives the form as an attribute; the document has it as its Form item.
                ItemRecord rec;
                rec.name = db_->intern("Form");
                rec.folded = db_->foldedOf(rec.name);
                rec.type = domino::ItemTypes::Text;
                rec.flags = ItemFlag::Summary;
                rec.kind = ValueKind::Text;
                rec.offset = db_->arena.size();
                arena::putU32(db_->arena, 1);
                arena::putText(db_->arena, formAttr_);
                db_->items.insert(db_->items.begin() + cur_.firstItem, rec);
            }
            cur_.itemCount = uint32_t(db_->items.size() - cur_.firstItem);
            db_->notes.push_back(cur_);
        }
        note_ = NoteKind::None;
    }

    void startInNote(Tag tag, const char** atts)
    {
        switch (tag) {
        case Tag::NoteInfo:
            if (stack_.size() == noteDepth_ + 1) {
                const auto [id, u] = attrs<2>(atts, {"noteid", "unid"});
                if (id) {
                    uint32_t v = 0;
                    auto r = std::from_chars(id, id + std::strlen(id), v, 16);
                    if (r.ec == std::errc())
                        cur_.noteId = v;
                }
                if (u) {
                    std::string s;
                    for (const char* c = u; *c; ++c)
                        s += char(std::toupper(static_cast<unsigned char>(*c)));
                    if (s.size() == 32)
                        std::memcpy(cur_.unid.data(), s.data(), 32);
                }
            }
            break;
        case Tag::Created:
        case Tag::Modified:
            if (stack_.size() == noteDepth_ + 2 && stack_[noteDepth_] == Tag::NoteInfo)
                dateTarget_ = tag == Tag::Created ? 1 : 2;
            break;
        case Tag::UpdatedBy:
        case Tag::Revisions:
            if (stack_.size() == noteDepth_ + 1) {
                item_.reset();
                item_.active = true;
                item_.name = tag == Tag::UpdatedBy ? "$UpdatedBy" : "$Revisions";
                item_.flags = tag == Tag::UpdatedBy ? ItemFlag::Names : 0;
            }
            break;
        case Tag::Name:
            if (item_.active && parentIs(Tag::UpdatedBy))
                beginChars();
            break;
        case Tag::Item:
            if (stack_.size() == noteDepth_ + 1) {
                item_.reset();
                item_.active = true;
                const auto [n, summary, names, readers, authors] =
                    attrs<5>(atts, {"name", "summary", "names", "readers", "authors"});
                item_.name = n ? n : "";
                if (isTrue(summary))
                    item_.flags |= ItemFlag::Summary;
                if (isTrue(names))
                    item_.flags |= ItemFlag::Names;
                if (isTrue(readers))
                    item_.flags |= ItemFlag::Readers;
                if (isTrue(authors))
                    item_.flags |= ItemFlag::Authors;
            }
            break;
        case Tag::Text:
            if (item_.active && !item_.sawRich && richDepth_ == 0)
                beginChars();
            break;
        case Tag::Break:
            if (collect_ > 0 && binary_ == 0)
                chars_ += '\n';
            break;
        case Tag::Number:
            if (item_.active)
                beginChars();
            break;
        case Tag::DateTime:
            if (inNoteInfoDate() || (item_.active && richDepth_ == 0 && !inFile_))
                beginChars();
            break;
        case Tag::RichText:
            if (item_.active) {
                item_.sawRich = true;
                ++richDepth_;
            }
            break;
        case Tag::Par:
        case Tag::SectionTitle:
            if (richDepth_ > 0) {
                ++parDepth_;
                if (parDepth_ == 1)
                    beginChars();
            }
            break;
        case Tag::AttachmentRef:
        case Tag::ObjectRef:
            if (richDepth_ > 0) {
                if (const char* n = attr(atts, "name"))
                    item_.refs.emplace_back(tag == Tag::ObjectRef ? 1 : 0, n);
                ++binary_;
            }
            break;
        case Tag::Binary:
            ++binary_;
            break;
        case Tag::File:
            if (item_.active && !inFile_) {
                inFile_ = true;
                FileRecord f;
                const auto [n, host, comp] = attrs<3>(atts, {"name", "hosttype", "compression"});
                f.name = QString::fromUtf8(n ? n : "");
                if (host && std::strcmp(host, "bytearrayext") == 0)
                    f.host = FileHost::ByteArrayExt;
                else if (host && std::strcmp(host, "bytearraypage") == 0)
                    f.host = FileHost::ByteArrayPage;
                if (comp && std::strcmp(comp, "none") != 0 && *comp) {
                    f.compressionName = QString::fromUtf8(comp);
                    f.compression = std::strcmp(comp, "huffman") == 0 ? FileCompression::Huffman
                                    : std::strcmp(comp, "lz1") == 0   ? FileCompression::Lz1
                                                                      : FileCompression::Other;
                }
                f.note = uint32_t(db_->notes.size());
                item_.file = uint32_t(db_->files.size());
                item_.sawFile = true;
                db_->files.push_back(std::move(f));
            }
            break;
        case Tag::FileData:
            if (inFile_) {
                fileDataStart_ = byteIndex() + XML_GetCurrentByteCount(parser_);
                ++binary_;
            }
            break;
        case Tag::RawItemData:
            if (item_.active) {
                item_.sawRaw = true;
                if (const char* t = attr(atts, "type"))
                    std::from_chars(t, t + std::strlen(t), item_.rawType, 16);
                // Only small raw values that mean something are kept (the parent reference).
                if (isRefItem())
                    beginChars();
            }
            break;
        default:
            break;
        }
    }

    bool parentIs(Tag t) const { return stack_.size() >= 2 && stack_[stack_.size() - 2] == t; }
    bool inNoteInfoDate() const
    {
        // noteinfo/created|modified/datetime
        return stack_.size() == noteDepth_ + 3 && stack_[noteDepth_] == Tag::NoteInfo;
    }
    static bool isFormName(std::string_view n)
    {
        // Only ASCII letters fold to "form", so the bytes can be compared.
        return n.size() == 4 && (n[0] | 0x20) == 'f' && (n[1] | 0x20) == 'o' && (n[2] | 0x20) == 'r'
               && (n[3] | 0x20) == 'm';
    }
    bool isRefItem() const { return item_.name == "$REF" || item_.name == "$ref"; }

    void beginChars()
    {
        if (collect_ == 0) {
            chars_.clear();
            XML_SetCharacterDataHandler(parser_, &Reader::onText);
        }
        ++collect_;
    }
    // The collected text; valid until the next collection begins.
    std::string_view takeChars()
    {
        if (collect_ > 0)
            --collect_;
        if (collect_ > 0)
            return {};
        XML_SetCharacterDataHandler(parser_, nullptr);
        return chars_;
    }

    void endInNote(Tag tag)
    {
        if (stack_.size() + 1 == noteDepth_) {
            endNote();
            return;
        }
        switch (tag) {
        case Tag::NoteInfo:
            break;
        case Tag::Name:
            if (item_.active && !stack_.empty() && stack_.back() == Tag::UpdatedBy) {
                item_.addText(takeChars());
                item_.sawText = true;
            }
            break;
        case Tag::UpdatedBy:
        case Tag::Revisions:
            if (stack_.size() == noteDepth_)
                endItem();
            break;
        case Tag::Item:
            if (stack_.size() == noteDepth_)
                endItem();
            break;
        case Tag::Text:
            if (item_.active && !item_.sawRich && richDepth_ == 0 && collect_ > 0) {
                item_.addText(takeChars());
                item_.sawText = true;
            }
            break;
        case Tag::Number:
            if (item_.active && collect_ > 0) {
                const std::string_view s = takeChars();
                item_.numbers.push_back(dxl::parseNumber(s));
                item_.sawNumber = true;
            }
            break;
        case Tag::DateTime:
            if (stack_.size() == noteDepth_ + 2 && stack_[noteDepth_] == Tag::NoteInfo) {
                const std::string_view s = takeChars();
                const PackedDateTime dt = PackedDateTime::pack(dxl::parseDateTime(s));
                if (dateTarget_ == 1)
                    cur_.created = dt;
                else if (dateTarget_ == 2)
                    cur_.modified = dt;
                dateTarget_ = 0;
            } else if (item_.active && richDepth_ == 0 && !inFile_ && collect_ > 0) {
                const std::string_view s = takeChars();
                PackedDateTime dt = PackedDateTime::pack(dxl::parseDateTime(s));
                item_.sawDate = true;
                if (!stack_.empty() && stack_.back() == Tag::DateTimePair) {
                    if (pairOpen_) {
                        item_.dates.back().second = dt;
                        pairOpen_ = false;
                    } else {
                        item_.dates.emplace_back(dt, std::nullopt);
                        pairOpen_ = true;
                    }
                } else {
                    item_.dates.emplace_back(dt, std::nullopt);
                }
            }
            break;
        case Tag::DateTimePair:
            pairOpen_ = false;
            break;
        case Tag::RichText:
            if (richDepth_ > 0 && --richDepth_ == 0) {
                while (!item_.rich.empty() && item_.rich.back() == '\n')
                    item_.rich.pop_back();
            }
            break;
        case Tag::Par:
        case Tag::SectionTitle:
            if (parDepth_ > 0 && --parDepth_ == 0) {
                item_.rich += takeChars();
                item_.rich += '\n';
            }
            break;
        case Tag::AttachmentRef:
        case Tag::ObjectRef:
            if (richDepth_ > 0 && binary_ > 0)
                --binary_;
            break;
        case Tag::Binary:
            if (binary_ > 0)
                --binary_;
            break;
        case Tag::FileData:
            if (inFile_ && binary_ > 0) {
                --binary_;
                FileRecord& f = db_->files.back();
                f.offset = fileDataStart_;
                f.length = std::max<qint64>(0, byteIndex() - fileDataStart_);
            }
            break;
        case Tag::File:
            inFile_ = false;
            break;
        case Tag::RawItemData:
            if (item_.active && isRefItem() && collect_ > 0)
                item_.raw.assign(takeChars());
            break;
        default:
            break;
        }
    }

    // Unbalanced markup must not leave a collection running into the next value.
    void resetChars()
    {
        collect_ = 0;
        binary_ = 0;
        richDepth_ = 0;
        parDepth_ = 0;
        inFile_ = false;
        chars_.clear();
        XML_SetCharacterDataHandler(parser_, nullptr);
    }

    void endItem()
    {
        resetChars();
        if (!item_.active)
            return;
        item_.active = false;
        std::string& a = db_->arena;
        ItemRecord rec;
        rec.name = db_->intern(item_.name);
        rec.folded = db_->foldedOf(rec.name);
        rec.flags = item_.flags;
        rec.offset = a.size();
        if (note_ == NoteKind::CompiledDesign && (item_.name == "$TITLE" || item_.name == "$Title")) {
            std::string t;
            for (size_t i = 0; i < item_.textCount; ++i)
                t += (i ? "|" : "") + item_.textStore[i];
            title_ = QString::fromUtf8(t.data(), qsizetype(t.size()));
        }
        if (isFormName(item_.name))
            hasFormItem_ = true;
        if (item_.sawFile) {
            rec.kind = ValueKind::File;
            const FileRecord& f = db_->files[item_.file];
            rec.type = f.host == FileHost::Plain ? domino::ItemTypes::Attachment
                                                 : domino::ItemTypes::EmbeddedObject;
            arena::putU32(a, item_.file);
        } else if (item_.sawRich) {
            rec.kind = ValueKind::RichText;
            rec.type = domino::ItemTypes::RichText;
            arena::putText(a, item_.rich);
            arena::putU32(a, uint32_t(item_.refs.size()));
            for (auto& [kind, name] : item_.refs) {
                a += char(kind);
                arena::putText(a, name);
            }
        } else if (item_.sawRaw) {
            rec.kind = ValueKind::Raw;
            rec.type = uint16_t(item_.rawType);
            std::string text;
            if (isRefItem()) {
                std::string parent = dxl::unidFromNoteRef(item_.raw);
                if (!parent.empty()) {
                    setParent(parent);
                    text = parent;
                }
            }
            arena::putText(a, text);
        } else if (item_.sawDate && !item_.sawText && !item_.sawNumber) {
            rec.kind = ValueKind::DateTime;
            rec.type = domino::ItemTypes::DateTime;
            arena::putU32(a, uint32_t(item_.dates.size()));
            for (auto& [first, second] : item_.dates) {
                a += char(second ? 1 : 0);
                a.append(reinterpret_cast<const char*>(&first), sizeof first);
                if (second)
                    a.append(reinterpret_cast<const char*>(&*second), sizeof *second);
            }
        } else if (item_.sawNumber && !item_.sawText) {
            rec.kind = ValueKind::Number;
            rec.type = domino::ItemTypes::Number;
            arena::putU32(a, uint32_t(item_.numbers.size()));
            a.append(reinterpret_cast<const char*>(item_.numbers.data()),
                     item_.numbers.size() * sizeof(double));
        } else {
            rec.kind = ValueKind::Text;
            rec.type = (item_.flags & ItemFlag::Readers)   ? domino::ItemTypes::Readers
                       : (item_.flags & ItemFlag::Authors) ? domino::ItemTypes::Authors
                       : (item_.flags & ItemFlag::Names)   ? domino::ItemTypes::Names
                                                           : domino::ItemTypes::Text;
            // An item without values reads as one empty text, as Notes gives it.
            if (item_.textCount == 0)
                item_.addText({});
            arena::putU32(a, uint32_t(item_.textCount));
            for (size_t i = 0; i < item_.textCount; ++i)
                arena::putText(a, item_.textStore[i]);
            if (isRefItem() && item_.textCount == 1)
                setParent(item_.textStore.front());
        }
        db_->items.push_back(rec);
    }

    // --- views -----------------------------------------------------------------------------

    static void setViewNames(ViewDesign& v, const QString& nameAttr, const QString& aliasAttr)
    {
        if (nameAttr.contains(u'|')) {
            const QStringList parts = nameAttr.split(u'|');
            v.name = parts.first().trimmed();
            for (int i = 1; i < parts.size(); ++i)
                if (!parts[i].trimmed().isEmpty())
                    v.aliases << parts[i].trimmed();
        } else {
            v.name = nameAttr;
        }
        for (const QString& a : aliasAttr.split(u'|'))
            if (!a.trimmed().isEmpty())
                v.aliases << a.trimmed();
    }

    void beginView(const char** atts, bool folder)
    {
        view_ = std::make_unique<ViewDesign>();
        viewDepth_ = stack_.size();
        view_->isFolder = folder;
        const char* n = attr(atts, "name");
        const char* al = attr(atts, "alias");
        setViewNames(*view_, QString::fromUtf8(n ? n : ""), QString::fromUtf8(al ? al : ""));
        const char* h = attr(atts, "showresponsehierarchy");
        view_->hierarchy = !(h && std::strcmp(h, "false") == 0);
        codeEvent_.clear();
    }

    void startInView(Tag tag, const char** atts)
    {
        const size_t rel = stack_.size() - viewDepth_;  // 1: child of the view
        switch (tag) {
        case Tag::Column:
            if (rel == 1) {
                ColumnDesign c;
                if (const char* v = attr(atts, "itemname"))
                    c.itemName = QString::fromUtf8(v);
                if (const char* v = attr(atts, "sort"))
                    c.sort = std::strcmp(v, "descending") == 0 ? SortOrder::Descending
                             : std::strcmp(v, "ascending") == 0 ? SortOrder::Ascending
                                                                 : SortOrder::None;
                c.categorized = isTrue(attr(atts, "categorized"));
                if (c.categorized && c.sort == SortOrder::None)
                    c.sort = SortOrder::Ascending;
                c.responsesOnly = isTrue(attr(atts, "responsesonly"));
                c.hidden = isTrue(attr(atts, "hidden"));
                c.separateMultipleValues = isTrue(attr(atts, "separatemultiplevalues"));
                if (const char* v = attr(atts, "listseparator"))
                    c.listSeparator = QString::fromUtf8(v);
                view_->columns.push_back(std::move(c));
                inColumn_ = true;
            }
            break;
        case Tag::ColumnHeader:
            if (inColumn_ && rel == 2)
                if (const char* t = attr(atts, "title"))
                    view_->columns.back().title = QString::fromUtf8(t);
            break;
        case Tag::Code:
            if (rel == 1 || (inColumn_ && rel == 2)) {
                const char* e = attr(atts, "event");
                codeEvent_ = e ? e : "";
            }
            break;
        case Tag::Formula:
            if (parentIs(Tag::Code) && (codeEvent_ == "selection" || codeEvent_ == "value"))
                beginChars();
            break;
        case Tag::NoteRef:
        case Tag::Document:
            if (view_->isFolder && !inColumn_) {
                const char* u = attr(atts, "unid");
                const char* id = attr(atts, "noteid");
                if (u || id) {
                    view_->hasEntries = true;
                    view_->entries << QString::fromUtf8(u ? u : id);
                }
            }
            break;
        default:
            break;
        }
    }

    void endInView(Tag tag)
    {
        if (stack_.size() + 1 == viewDepth_) {
            db_->views.push_back(std::move(*view_));
            view_.reset();
            resetChars();
            inColumn_ = false;
            return;
        }
        const size_t rel = stack_.size() + 1 - viewDepth_;
        switch (tag) {
        case Tag::Column:
            if (rel == 1)
                inColumn_ = false;
            break;
        case Tag::Code:
            codeEvent_.clear();
            break;
        case Tag::Formula:
            if (collect_ > 0) {
                const std::string_view f = takeChars();
                QString text = QString::fromUtf8(f.data(), qsizetype(f.size()));
                if (codeEvent_ == "selection" && !inColumn_) {
                    view_->selection = text;
                    view_->hasSelection = true;
                } else if (codeEvent_ == "value" && inColumn_) {
                    view_->columns.back().formula = text;
                }
            }
            break;
        default:
            break;
        }
    }

    QString path_;
    std::shared_ptr<Database> db_;
    XML_Parser parser_ = nullptr;
    QString stopText_;
    bool rootSeen_ = false;
    int depth_ = 0;
    int skip_ = 0;
    std::vector<Tag> stack_;
    std::string chars_;
    int collect_ = 0;
    int binary_ = 0;

    NoteKind note_ = NoteKind::None;
    size_t noteDepth_ = 0;
    NoteRecord cur_;
    qint64 noteStart_ = 0;
    size_t arenaStart_ = 0;
    std::string formAttr_;
    bool hasFormItem_ = false;
    QString title_;
    bool compiledFolder_ = false;
    ItemState item_;
    int richDepth_ = 0;
    int parDepth_ = 0;
    bool inFile_ = false;
    bool pairOpen_ = false;
    qint64 fileDataStart_ = 0;
    int dateTarget_ = 0;  // 1: the next noteinfo date is the creation, 2: the modification

    std::unique_ptr<ViewDesign> view_;
    size_t viewDepth_ = 0;
    bool inColumn_ = false;
    std::string codeEvent_;
};

struct Source {
    int fd = -1;
    ~Source()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

void checkStart(const char* data, size_t n, const QString& path)
{
    size_t i = 0;
    if (n >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
        i = 3;
    else if (n >= 2 && ((data[0] == '\xFF' && data[1] == '\xFE') || (data[0] == '\xFE' && data[1] == '\xFF')))
        return;  // UTF-16: expat decides
    while (i < n && std::isspace(static_cast<unsigned char>(data[i])))
        ++i;
    if (n == 0 || i == n)
        throw platform::Error(QStringLiteral("数据库文件为空，不是DXL数据库: %1").arg(path));
    if (n >= 2 && data[0] == '\x1A' && data[1] == '\0')
        throw platform::Error(
            QStringLiteral("%1 是二进制格式的NSF数据库，本引擎只能读取DXL(XML)格式导出的数据库").arg(path));
    if (data[i] != '<')
        throw platform::Error(QStringLiteral("文件不是DXL数据库(不是XML文件): %1").arg(path));
}

} // namespace

namespace {

// One pass over the blocks that read gives. The first block is checked for
// what is no DXL at all; after each block, the part the parser still holds
// unparsed (an unfinished token) must stay below kMaxTokenBytes.
void parseBlocks(Reader& reader, const ReadBlock& read, const QString& path, int chunk)
{
    XML_Parser p = reader.parser();
    qint64 fed = 0;
    bool first = true;
    for (;;) {
        void* buf = XML_GetBuffer(p, chunk);
        if (!buf)
            throw platform::Error(QStringLiteral("内存不足，无法读取: %1").arg(path));
        const qint64 n = read(static_cast<char*>(buf), chunk);
        if (first) {
            checkStart(static_cast<const char*>(buf), size_t(n), path);
            first = false;
        }
        if (XML_ParseBuffer(p, int(n), n == 0) != XML_STATUS_OK)
            reader.failParse();
        if (n == 0)
            break;
        fed += n;
        const XML_Index parsed = XML_GetCurrentByteIndex(p);
        if (parsed >= 0 && fed - qint64(parsed) > kMaxTokenBytes)
            reader.fail(QStringLiteral("DXL文件中的标记过长(超过%1字节，其中的属性值不能超过%2字节): %3")
                            .arg(kMaxTokenBytes)
                            .arg(kMaxAttributeBytes)
                            .arg(path));
    }
    reader.finish();
}

} // namespace

std::shared_ptr<Database> readDxlFile(const QString& path)
{
    Source src;
    QString error;
    src.fd = openRegularFile(path, &error);
    if (src.fd < 0)
        throw platform::Error(error);
    struct stat st{};
    if (::fstat(src.fd, &st) != 0)
        throw platform::Error(QStringLiteral("无法读取数据库文件(%1): %2")
                                  .arg(QString::fromLocal8Bit(std::strerror(errno)), path));
    auto db = std::make_shared<Database>();
    db->filePath = QFileInfo(path).absoluteFilePath();
    db->fileSize = qint64(st.st_size);
    db->fileModifiedMs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    // Address space only: pages not written stay out of memory, and the arena
    // is not copied while it grows.
    db->arena.reserve(size_t(std::min<qint64>(db->fileSize / 3, qint64(1) << 32)));
    Reader reader(path, db);
    parseBlocks(reader, [&](char* buf, qint64 capacity) {
        ssize_t n;
        do
            n = ::read(src.fd, buf, size_t(capacity));
        while (n < 0 && errno == EINTR);
        if (n < 0)
            throw platform::Error(QStringLiteral("读取数据库文件出错(%1): %2")
                                      .arg(QString::fromLocal8Bit(std::strerror(errno)), path));
        return qint64(n);
    }, path, 4 << 20);
    return db;
}

std::shared_ptr<Database> readDxlStream(const ReadBlock& read, const QString& path)
{
    auto db = std::make_shared<Database>();
    db->filePath = path;
    Reader reader(path, db);
    parseBlocks(reader, read, path, 4 << 20);
    return db;
}

std::shared_ptr<Database> readDxlBytes(const char* data, size_t size, const QString& path)
{
    auto db = std::make_shared<Database>();
    db->filePath = path;
    Reader reader(path, db);
    size_t off = 0;
    parseBlocks(reader, [&](char* buf, qint64 capacity) {
        const size_t n = std::min(size_t(capacity), size - off);
        std::memcpy(buf, data + off, n);
        off += n;
        return qint64(n);
    }, path, 1 << 16);
    return db;
}

} // namespace engine
