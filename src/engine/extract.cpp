#include "engine/extract.h"
#include "engine/extractole.h"
#include "platform/error.h"
#include <QFile>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace engine {
namespace {

constexpr std::array<signed char, 256> makeTable()
{
    std::array<signed char, 256> t{};
    for (auto& v : t)
        v = -1;
    const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(a[i])] = static_cast<signed char>(i);
    t[' '] = t['\n'] = t['\r'] = t['\t'] = -2;
    t['='] = -3;
    return t;
}
constexpr auto kTable = makeTable();

void checkCompression(const FileRecord& f)
{
    if (f.compression != FileCompression::None)
        throw platform::Error(QStringLiteral("附件\"%1\"以%2方式压缩保存，无法解压")
                                  .arg(f.name, f.compressionName));
}

// The page names an OLE object's byte-array extent lists, in order: a header
// of 32 bytes (version, page count, page size) and then one name of 10 bytes
// (8 characters and two NULs) per page.
QStringList pageNames(const QByteArray& ext, const QString& objectName)
{
    auto le32 = [&](int at) {
        const auto* b = reinterpret_cast<const unsigned char*>(ext.constData() + at);
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    };
    if (ext.size() < 32)
        throw platform::Error(QStringLiteral("嵌入对象\"%1\"的数据页目录已损坏").arg(objectName));
    const uint32_t count = le32(4);
    QStringList names;
    int pos = 32;
    while (pos < ext.size() && uint32_t(names.size()) < count) {
        while (pos < ext.size() && ext[pos] == '\0')
            ++pos;
        int end = pos;
        while (end < ext.size() && ext[end] != '\0')
            ++end;
        if (end > pos)
            names << QString::fromLatin1(ext.constData() + pos, end - pos);
        pos = end;
    }
    if (uint32_t(names.size()) != count)
        throw platform::Error(QStringLiteral("嵌入对象\"%1\"的数据页目录已损坏(应有%2页，列出%3页)")
                                  .arg(objectName)
                                  .arg(count)
                                  .arg(names.size()));
    return names;
}

QByteArray decodeSmall(const Database& db, int fd, const FileRecord& f)
{
    QByteArray out;
    decodeBase64Range(fd, db.filePath, f.offset, f.length, [&](const char* p, size_t n) {
        if (out.size() + qsizetype(n) > (1 << 20))
            throw platform::Error(QStringLiteral("嵌入对象\"%1\"的数据页目录过大").arg(f.name));
        out.append(p, qsizetype(n));
    });
    return out;
}

// The files whose bytes make up the record, in order.
std::vector<int> partsOf(const Database& db, int fd, int file)
{
    const FileRecord& f = db.files[size_t(file)];
    checkCompression(f);
    if (f.host != FileHost::ByteArrayExt)
        return {file};
    std::vector<int> parts;
    for (const QString& page : pageNames(decodeSmall(db, fd, f), f.name)) {
        const int p = db.findFile(f.note, page, false);
        if (p < 0)
            throw platform::Error(QStringLiteral("嵌入对象\"%1\"缺少数据页%2").arg(f.name, page));
        checkCompression(db.files[size_t(p)]);
        parts.push_back(p);
    }
    return parts;
}

using TempFile = std::unique_ptr<FILE, int (*)(FILE*)>;

// The compound file of an OLE object, its pages joined in a temporary file
// (unlinked already: it goes with the last close). Objects can be larger
// than memory should hold.
TempFile joinPages(const Database& db, int fd, const std::vector<int>& parts)
{
    const QString& name = db.files[size_t(parts.empty() ? 0 : parts.front())].name;
    TempFile tmp(std::tmpfile(), &std::fclose);
    if (!tmp)
        throw platform::Error(QStringLiteral("无法创建临时文件(%1)，不能读取嵌入对象")
                                  .arg(QString::fromLocal8Bit(std::strerror(errno))));
    for (int p : parts) {
        const FileRecord& f = db.files[size_t(p)];
        decodeBase64Range(fd, db.filePath, f.offset, f.length, [&](const char* d, size_t n) {
            if (std::fwrite(d, 1, n, tmp.get()) != n)
                throw platform::Error(QStringLiteral("写入临时文件出错(%1)，不能读取嵌入对象%2")
                                          .arg(QString::fromLocal8Bit(std::strerror(errno)), name));
        });
    }
    if (std::fflush(tmp.get()) != 0)
        throw platform::Error(QStringLiteral("写入临时文件出错(%1)，不能读取嵌入对象%2")
                                  .arg(QString::fromLocal8Bit(std::strerror(errno)), name));
    return tmp;
}

// An OLE object read from the database's file; record: its byte-array extent.
std::unique_ptr<OleObject> oleObject(const Database& db, int fd, int record)
{
    const std::vector<int> parts = partsOf(db, fd, record);
    return std::make_unique<OleObject>(joinPages(db, fd, parts), db.files[size_t(record)].name);
}

bool isObject(const Database& db, int file) { return db.files[size_t(file)].host == FileHost::ByteArrayExt; }

// The bytes that ExtractTo writes for the record, handed to sink.
void eachBlock(const Database& db, int fd, int file, const ByteSink& sink)
{
    if (isObject(db, file)) {
        oleObject(db, fd, file)->write(sink);
        return;
    }
    for (int p : partsOf(db, fd, file)) {
        const FileRecord& f = db.files[size_t(p)];
        decodeBase64Range(fd, db.filePath, f.offset, f.length, sink);
    }
}

QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

// The target, opened for writing without ever following a symbolic link: a
// link planted where a file of the export goes would have the file written
// wherever it points. Only a regular file is replaced; a FIFO or device in
// its place is refused (the open does not wait on a FIFO).
int openTarget(const QString& target)
{
    const QByteArray path = QFile::encodeName(target);
    int fd;
    do
        fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const QString why = errnoText();
        struct stat st{};
        if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            throw platform::Error(QStringLiteral("无法写入文件%1: 它是一个符号链接，为安全起见不通过链接写入").arg(target));
        if (::lstat(path.constData(), &st) == 0 && !S_ISREG(st.st_mode))  // a FIFO without reader, a socket
            throw platform::Error(QStringLiteral("无法写入文件%1: 已有同名的非普通文件").arg(target));
        throw platform::Error(QStringLiteral("无法写入文件%1: %2").arg(target, why));
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw platform::Error(QStringLiteral("无法写入文件%1: 已有同名的非普通文件").arg(target));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (::ftruncate(fd, 0) != 0) {
        const QString why = errnoText();
        ::close(fd);
        throw platform::Error(QStringLiteral("无法写入文件%1: %2").arg(target, why));
    }
    return fd;
}

void writeAll(int fd, const char* data, size_t n, const QString& target)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            throw platform::Error(QStringLiteral("写入文件%1出错: %2").arg(target, errnoText()));
        data += w;
        n -= size_t(w);
    }
}

} // namespace

void decodeBase64Range(int fd, const QString& path, qint64 offset, qint64 length,
                       const std::function<void(const char*, size_t)>& sink)
{
    if (offset < 0 || length <= 0)
        return;
    auto corrupt = [&] { return platform::Error(QStringLiteral("附件数据已损坏(base64格式错误): %1").arg(path)); };
    // Sized to the range: most attachments are small, and a block of 1 MiB
    // for each would cost more than the decoding.
    const size_t block = size_t(std::min<qint64>(length, 1 << 20));
    std::vector<char> in(block);
    std::vector<char> out(block / 4 * 3 + 3);
    uint32_t quad = 0;  // the sextets of the group of four being read
    int sextets = 0;
    bool ended = false;
    qint64 at = offset;
    qint64 left = length;
    while (left > 0) {
        const ssize_t got = ::pread(fd, in.data(), size_t(std::min<qint64>(left, qint64(block))), at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw platform::Error(QStringLiteral("无法读取数据库文件: %1").arg(path));
        if (got == 0)
            throw platform::Error(QStringLiteral("数据库文件不完整，附件数据缺失: %1").arg(path));
        at += got;
        left -= got;
        char* o = out.data();
        for (const char* p = in.data(), *end = p + got; p != end; ++p) {
            // Whole groups of four between line breaks: no state to keep.
            while (sextets == 0 && !ended && end - p >= 4) {
                const auto* u = reinterpret_cast<const unsigned char*>(p);
                const signed char a = kTable[u[0]], b = kTable[u[1]], c = kTable[u[2]], d = kTable[u[3]];
                if ((a | b | c | d) < 0)
                    break;
                const uint32_t group = uint32_t(a) << 18 | uint32_t(b) << 12 | uint32_t(c) << 6 | uint32_t(d);
                *o++ = char(group >> 16);
                *o++ = char(group >> 8);
                *o++ = char(group);
                p += 4;
            }
            if (p == end)
                break;
            const signed char v = kTable[static_cast<unsigned char>(*p)];
            if (v >= 0) {
                if (ended)
                    throw corrupt();
                quad = (quad << 6) | uint32_t(v);
                if (++sextets == 4) {
                    *o++ = char(quad >> 16);
                    *o++ = char(quad >> 8);
                    *o++ = char(quad);
                    quad = 0;
                    sextets = 0;
                }
            } else if (v == -3) {
                ended = true;
            } else if (v == -1) {
                throw corrupt();
            }
        }
        // The bytes of a group cut short by padding or by the end of the
        // range: two sextets give one byte, three give two.
        if (left == 0 && sextets >= 2) {
            quad <<= 6 * (4 - sextets);
            *o++ = char(quad >> 16);
            if (sextets == 3)
                *o++ = char(quad >> 8);
        }
        if (o != out.data())
            sink(out.data(), size_t(o - out.data()));
    }
}

qint64 decodedFileSize(const Database& db, int file)
{
    const auto source = db.source.checked(db.filePath, db.fileSize, db.fileModifiedMs);
    qint64 total = 0;
    eachBlock(db, source->fd(), file, [&](const char*, size_t n) { total += qint64(n); });
    return total;
}

QString extractedFileName(const Database& db, int file)
{
    if (!isObject(db, file))
        return db.files[size_t(file)].name;
    const auto source = db.source.checked(db.filePath, db.fileSize, db.fileModifiedMs);
    return oleObject(db, source->fd(), file)->fileName();
}

void extractFile(const Database& db, int file, const QString& target)
{
    const auto source = db.source.checked(db.filePath, db.fileSize, db.fileModifiedMs);
    // What is read before the target is opened: a broken object leaves no empty file.
    std::unique_ptr<OleObject> object;
    std::vector<int> parts;
    if (isObject(db, file))
        object = oleObject(db, source->fd(), file);
    else
        parts = partsOf(db, source->fd(), file);
    int fd = openTarget(target);
    try {
        const ByteSink sink = [&](const char* d, size_t n) { writeAll(fd, d, n, target); };
        if (object) {
            object->write(sink);
        } else {
            for (int p : parts) {
                const FileRecord& f = db.files[size_t(p)];
                decodeBase64Range(source->fd(), db.filePath, f.offset, f.length, sink);
            }
        }
        const int closed = ::close(std::exchange(fd, -1));
        if (closed != 0)
            throw platform::Error(QStringLiteral("写入文件%1出错: %2").arg(target, errnoText()));
    } catch (...) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(QFile::encodeName(target).constData());
        throw;
    }
}

} // namespace engine
