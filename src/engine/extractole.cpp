#include "engine/extractole.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <vector>

namespace engine {
namespace {

constexpr const char* kPackageClsid = "{0003000C-0000-0000-C000-000000000046}";
constexpr const char* kNativeStream = "\001Ole10Native";
// The packager's header (label, source path, temporary path) and its Unicode
// trailer are a few names of at most MAX_PATH each; more is no package.
constexpr qint64 kMaxHeader = 64 * 1024;

// Classes whose documents have a file of their own: the extension, and the
// stream that holds the file (null: the compound file is the document).
struct KnownClass {
    const char* clsid;
    const char* extension;
    const char* stream;
    bool sizePrefixed;  // the stream starts with the content's size (u32)
};
constexpr KnownClass kClasses[] = {
    {"{00020906-0000-0000-C000-000000000046}", ".doc", nullptr, false},   // Word 97-2003
    {"{00020900-0000-0000-C000-000000000046}", ".doc", nullptr, false},   // Word 6/95
    {"{00020820-0000-0000-C000-000000000046}", ".xls", nullptr, false},   // Excel 97-2003 sheet
    {"{00020821-0000-0000-C000-000000000046}", ".xls", nullptr, false},   // Excel 97-2003 chart
    {"{00020810-0000-0000-C000-000000000046}", ".xls", nullptr, false},   // Excel 5/95 sheet
    {"{00020811-0000-0000-C000-000000000046}", ".xls", nullptr, false},   // Excel 5/95 chart
    {"{64818D10-4F9B-11CF-86EA-00AA00B929E8}", ".ppt", nullptr, false},   // PowerPoint 97-2003
    {"{64818D11-4F9B-11CF-86EA-00AA00B929E8}", ".ppt", nullptr, false},   // PowerPoint slide
    {"{EA7BAE70-FB3B-11CD-A903-00AA00510EA3}", ".ppt", nullptr, false},   // PowerPoint 95
    {"{00021A14-0000-0000-C000-000000000046}", ".vsd", nullptr, false},   // Visio drawing
    {"{F4754C9B-64F5-4B40-8AF4-679732AC0607}", ".docx", "Package", false},
    {"{18A06B6B-2F3F-4E2B-A611-52BE631B2D22}", ".docm", "Package", false},
    {"{00020830-0000-0000-C000-000000000046}", ".xlsx", "Package", false},
    {"{00020832-0000-0000-C000-000000000046}", ".xlsm", "Package", false},
    {"{CF4F55F4-8F87-4D47-80BB-5808164BB3F8}", ".pptx", "Package", false},
    {"{B801CA65-A1FC-11D0-85AD-444553540000}", ".pdf", "CONTENTS", false}, // Acrobat document
    {"{0003000A-0000-0000-C000-000000000046}", ".bmp", kNativeStream, true}, // Paintbrush picture
};

QString classIdText(const guint8* b)
{
    // Stored as u32, u16, u16 little-endian, then eight bytes in order.
    auto hex = [](const guint8* p, int n, bool reverse) {
        QString s;
        for (int i = 0; i < n; ++i)
            s += QStringLiteral("%1").arg(p[reverse ? n - 1 - i : i], 2, 16, QLatin1Char('0'));
        return s;
    };
    return (u'{' + hex(b, 4, true) + u'-' + hex(b + 4, 2, true) + u'-' + hex(b + 6, 2, true) + u'-'
            + hex(b + 8, 2, false) + u'-' + hex(b + 10, 6, false) + u'}')
        .toUpper();
}

void initGsf()
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

// Reads little-endian fields and NUL-terminated strings from a block,
// remembering when it ran past the end.
class Fields {
public:
    Fields(const QByteArray& data, qint64 at = 0) : d_(data), at_(at) {}
    uint32_t u32()
    {
        if (at_ + 4 > d_.size()) {
            ok_ = false;
            return 0;
        }
        const auto* b = reinterpret_cast<const unsigned char*>(d_.constData() + at_);
        at_ += 4;
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    uint16_t u16()
    {
        if (at_ + 2 > d_.size()) {
            ok_ = false;
            return 0;
        }
        const auto* b = reinterpret_cast<const unsigned char*>(d_.constData() + at_);
        at_ += 2;
        return uint16_t(b[0] | b[1] << 8);
    }
    QByteArray cstring()
    {
        const qsizetype end = d_.indexOf('\0', at_);
        if (end < 0) {
            ok_ = false;
            return {};
        }
        QByteArray s = d_.mid(at_, end - at_);
        at_ = end + 1;
        return s;
    }
    QByteArray bytes(qint64 n)
    {
        if (n < 0 || at_ + n > d_.size()) {
            ok_ = false;
            return {};
        }
        QByteArray s = d_.mid(at_, n);
        at_ += n;
        return s;
    }
    QString utf16(uint32_t chars)
    {
        const QByteArray b = bytes(qint64(chars) * 2);
        QString s(reinterpret_cast<const QChar*>(b.constData()), b.size() / 2);
        // Stored little-endian, as everything in the file.
        if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN)
            for (QChar& c : s)
                c = QChar(qFromLittleEndian(c.unicode()));
        return s.left(s.indexOf(QChar(0)) < 0 ? s.size() : s.indexOf(QChar(0)));
    }
    qint64 at() const { return at_; }
    bool ok() const { return ok_; }

private:
    const QByteArray& d_;
    qint64 at_;
    bool ok_ = true;
};

} // namespace

struct OleObject::Gsf {
    GsfInput* input = nullptr;
    GsfInfile* ole = nullptr;
    // The object's own storage: Notes keeps it as the one storage below an
    // unclassed root, named after the object's class ("xmlfile",
    // "AcroExch.Document"); a compound file made elsewhere is the object itself.
    GsfInfile* storage = nullptr;
    GsfInfile* sub = nullptr;  // the storage when it is not the root (our reference)
    ~Gsf()
    {
        if (sub)
            g_object_unref(sub);
        if (ole)
            g_object_unref(ole);
        if (input)
            g_object_unref(input);
    }
    // The stream of that name in the object's storage; null when absent. Owned by the caller.
    GsfInput* child(const char* name) const { return gsf_infile_child_by_name(storage, name); }
};

namespace {

struct Unref {
    void operator()(GsfInput* p) const
    {
        if (p)
            g_object_unref(p);
    }
};
using InputPtr = std::unique_ptr<GsfInput, Unref>;

// gsf_input_seek answers TRUE on failure.
bool seekFails(GsfInput* in, qint64 offset) { return gsf_input_seek(in, gsf_off_t(offset), G_SEEK_SET); }

QByteArray readAt(GsfInput* in, qint64 offset, qint64 n)
{
    const qint64 size = qint64(gsf_input_size(in));
    n = std::min(n, size - offset);
    if (n <= 0 || seekFails(in, offset))
        return {};
    QByteArray out(n, Qt::Uninitialized);
    if (!gsf_input_read(in, size_t(n), reinterpret_cast<guint8*>(out.data())))
        return {};
    return out;
}

bool isStorage(GsfInput* in) { return GSF_IS_INFILE(in) && gsf_infile_num_children(GSF_INFILE(in)) >= 0; }

bool classIdOf(GsfInfile* storage, guint8* id)
{
    if (!gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(storage), id))
        return false;
    return std::any_of(id, id + 16, [](guint8 b) { return b != 0; });
}

// Copies a storage's children into an outfile, class ids included.
bool copyStorage(GsfInfile* from, GsfOutfile* to)
{
    for (int i = 0, n = gsf_infile_num_children(from); i < n; ++i) {
        const InputPtr child(gsf_infile_child_by_index(from, i));
        const char* name = gsf_infile_name_by_index(from, i);
        if (!child || !name)
            return false;
        const bool storage = isStorage(child.get());
        GsfOutput* out = gsf_outfile_new_child(to, name, storage);
        if (!out)
            return false;
        bool ok;
        if (storage) {
            guint8 id[16];
            if (classIdOf(GSF_INFILE(child.get()), id))
                gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(out), id);
            ok = copyStorage(GSF_INFILE(child.get()), GSF_OUTFILE(out));
        } else {
            ok = gsf_input_copy(child.get(), out);
        }
        ok = gsf_output_close(out) && ok;
        g_object_unref(out);
        if (!ok)
            return false;
    }
    return true;
}

QString decodeName(const QByteArray& ansi)
{
    // The packager writes names in the creator's ANSI code page; ours is 936.
    return platform::fromCp936(ansi);
}

} // namespace

QString baseNameOfWindowsPath(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    return path.mid(cut + 1);
}

OleObject::OleObject(std::unique_ptr<FILE, int (*)(FILE*)> file, const QString& objectName)
    : file_(std::move(file)), gsf_(std::make_unique<Gsf>())
{
    initGsf();
    std::rewind(file_.get());
    GError* err = nullptr;
    // The descriptor stays ours: the whole file is copied from it where the
    // object is not read as a compound file.
    gsf_->input = gsf_input_stdio_new_FILE("object", file_.get(), TRUE);
    if (gsf_->input)
        gsf_->ole = gsf_infile_msole_new(gsf_->input, &err);
    if (err)
        g_error_free(err);
    fileName_ = objectName;
    if (!gsf_->ole)
        return;
    gsf_->storage = gsf_->ole;
    guint8 id[16];
    if (!classIdOf(gsf_->ole, id) && gsf_infile_num_children(gsf_->ole) >= 1) {
        for (int i = 0, n = gsf_infile_num_children(gsf_->ole); i < n && !gsf_->sub; ++i) {
            GsfInput* child = gsf_infile_child_by_index(gsf_->ole, i);
            if (child && isStorage(child))
                gsf_->sub = GSF_INFILE(child);
            else if (child)
                g_object_unref(child);
        }
        if (gsf_->sub)
            gsf_->storage = gsf_->sub;
    }
    choose(objectName);
}

OleObject::~OleObject() = default;

void OleObject::choose(const QString& objectName)
{
    guint8 id[16];
    if (classIdOf(gsf_->storage, id))
        classId_ = classIdText(id);
    if (classId_ == QLatin1String(kPackageClsid) && choosePackage())
        return;
    for (const KnownClass& k : kClasses) {
        if (classId_ != QLatin1String(k.clsid))
            continue;
        if (k.stream) {
            const InputPtr in(gsf_->child(k.stream));
            if (!in)
                break;  // not as the class writes it: the compound file as it is
            stream_ = k.stream;
            offset_ = k.sizePrefixed ? 4 : 0;
            size_ = -1;
            if (k.sizePrefixed) {
                Fields f(readAt(in.get(), 0, 4));
                size_ = std::min<qint64>(f.u32(), qint64(gsf_input_size(in.get())) - 4);
            }
        }
        const QString ext = QString::fromLatin1(k.extension);
        fileName_ = objectName.endsWith(ext, Qt::CaseInsensitive) ? objectName : objectName + ext;
        return;
    }
}

// The Ole10Native stream of a package: u32 size, u16 type (2: an embedded
// file), the label and the source path (ANSI, NUL-terminated), u16 0, u16 3,
// u32 length + the temporary path, u32 size + the file's bytes; then, from
// newer packagers, the three names again in UTF-16 (u32 characters + text).
bool OleObject::choosePackage()
{
    const InputPtr in(gsf_->child(kNativeStream));
    if (!in)
        return false;
    const qint64 streamSize = qint64(gsf_input_size(in.get()));
    const QByteArray head = readAt(in.get(), 0, kMaxHeader);
    Fields f(head);
    f.u32();
    const uint16_t type = f.u16();
    const QByteArray label = f.cstring();
    const QByteArray source = f.cstring();
    f.u16();
    f.u16();
    f.bytes(f.u32());  // the temporary path
    const uint32_t dataSize = f.u32();
    const qint64 dataAt = f.at();
    if (!f.ok() || type != 2 || dataAt + qint64(dataSize) > streamSize)
        return false;

    QString name;
    const QByteArray tail = readAt(in.get(), dataAt + dataSize, kMaxHeader);
    if (!tail.isEmpty()) {
        Fields u(tail);
        u.utf16(u.u32());  // the temporary path
        const QString wideLabel = u.utf16(u.u32());
        const QString wideSource = u.utf16(u.u32());
        if (u.ok())
            name = baseNameOfWindowsPath(wideLabel.isEmpty() ? wideSource : wideLabel);
    }
    if (name.isEmpty())
        name = baseNameOfWindowsPath(decodeName(label));
    if (name.isEmpty())
        name = baseNameOfWindowsPath(decodeName(source));
    if (!name.isEmpty())
        fileName_ = name;
    stream_ = kNativeStream;
    offset_ = dataAt;
    size_ = dataSize;
    return true;
}

void OleObject::write(const ByteSink& sink) const
{
    std::vector<char> block(1 << 16);
    if (stream_.isEmpty()) {
        FILE* from = file_.get();
        std::unique_ptr<FILE, int (*)(FILE*)> rebuilt(nullptr, &std::fclose);
        if (gsf_->sub && !classId_.isEmpty()) {
            // The document is the storage below the root: a file of its own,
            // with that storage as its root, opens in its program.
            rebuilt.reset(std::tmpfile());
            if (!rebuilt)
                throw platform::Error(QStringLiteral("无法创建临时文件，不能写出嵌入对象\"%1\"").arg(fileName_));
            GsfOutput* out = gsf_output_stdio_new_FILE("object", rebuilt.get(), TRUE);
            GsfOutfile* ole = out ? gsf_outfile_msole_new(out) : nullptr;
            bool ok = ole != nullptr;
            if (ole) {
                guint8 id[16];
                if (classIdOf(gsf_->sub, id))
                    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(ole), id);
                ok = copyStorage(gsf_->sub, ole);
                ok = gsf_output_close(GSF_OUTPUT(ole)) && ok;
                g_object_unref(ole);
            }
            if (out)
                g_object_unref(out);
            if (!ok || std::fflush(rebuilt.get()) != 0)
                throw platform::Error(QStringLiteral("嵌入对象\"%1\"的数据已损坏").arg(fileName_));
            from = rebuilt.get();
        }
        std::rewind(from);
        size_t n;
        while ((n = std::fread(block.data(), 1, block.size(), from)) > 0)
            sink(block.data(), n);
        if (std::ferror(from))
            throw platform::Error(QStringLiteral("读取嵌入对象\"%1\"的数据出错").arg(fileName_));
        return;
    }
    const InputPtr in(gsf_->child(stream_.constData()));
    if (!in || seekFails(in.get(), offset_))
        throw platform::Error(QStringLiteral("嵌入对象\"%1\"的数据已损坏").arg(fileName_));
    qint64 left = size_ < 0 ? qint64(gsf_input_remaining(in.get())) : size_;
    while (left > 0) {
        const size_t n = size_t(std::min<qint64>(left, qint64(block.size())));
        if (!gsf_input_read(in.get(), n, reinterpret_cast<guint8*>(block.data())))
            throw platform::Error(QStringLiteral("嵌入对象\"%1\"的数据已损坏").arg(fileName_));
        sink(block.data(), n);
        left -= qint64(n);
    }
}

} // namespace engine
