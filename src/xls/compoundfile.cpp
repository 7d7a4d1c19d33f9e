#include "compoundfile.h"

#include "byteorder.h"
#include "platform/error.h"

#include <QCoreApplication>
#include <QIODevice>
#include <algorithm>

namespace xls {
namespace {

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kIdsPerSector = kSectorSize / 4;
constexpr std::uint32_t kHeaderDifatEntries = 109;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::size_t kBufferSize = 1 << 20;

std::uint32_t ceilDiv(std::uint64_t a, std::uint64_t b) { return std::uint32_t((a + b - 1) / b); }

// One 128-byte directory entry.
void putEntry(char* p, const QString& name, std::uint8_t type, std::uint32_t child,
              std::uint32_t start, std::uint32_t size)
{
    std::fill(p, p + 128, 0);
    if (type != 0) {
        char* q = p;
        for (QChar c : name)
            q = put16(q, c.unicode());
        put16(p + 64, std::uint16_t((name.size() + 1) * 2));
        p[66] = char(type);
        p[67] = 1; // black: a tree of one node each level is a valid red-black tree
    }
    put32(p + 68, kNoStream);
    put32(p + 72, kNoStream);
    put32(p + 76, type == 0 ? kNoStream : child);
    put32(p + 116, type == 0 ? 0 : start);
    put32(p + 120, size);
}

} // namespace

CompoundFileWriter::CompoundFileWriter(QIODevice& device, QString streamName)
    : device_(device), streamName_(std::move(streamName))
{
    buffer_.reserve(kBufferSize);
    // The header's place; it is written for real at finish().
    const char zeros[kSectorSize] = {};
    rawWrite(zeros, kSectorSize);
}

void CompoundFileWriter::fail(const QString& what) const
{
    throw platform::Error(QStringLiteral("写入文件失败：%1（%2）").arg(device_.errorString(), what));
}

void CompoundFileWriter::rawWrite(const char* data, std::size_t size)
{
    while (size > 0) {
        const qint64 n = device_.write(data, qint64(size));
        if (n <= 0)
            fail(QStringLiteral("write"));
        data += n;
        size -= std::size_t(n);
    }
}

void CompoundFileWriter::flushBuffer()
{
    rawWrite(buffer_.data(), buffer_.size());
    flushed_ += buffer_.size();
    buffer_.clear();
}

void CompoundFileWriter::write(const char* data, std::size_t size)
{
    if (position() + size > kMaxStreamSize)
        throw platform::Error(QStringLiteral("工作簿超过 Excel 97-2003 文件的大小上限（2 GB）"));
    append(data, size);
}

// The stream's bytes and, at finish(), the sectors after it.
void CompoundFileWriter::append(const char* data, std::size_t size)
{
    while (size > 0) {
        if (buffer_.size() >= kBufferSize)
            flushBuffer();
        const std::size_t n = std::min(kBufferSize - buffer_.size(), size);
        buffer_.insert(buffer_.end(), data, data + n);
        data += n;
        size -= n;
    }
}

void CompoundFileWriter::patch(std::uint64_t streamOffset, const char* data, std::size_t size)
{
    Q_ASSERT(streamOffset + size <= position());
    // The part still in the buffer is changed there, the rest in the file.
    while (size > 0 && streamOffset < flushed_) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(size, flushed_ - streamOffset));
        const qint64 end = device_.pos();
        if (!device_.seek(qint64(kSectorSize + streamOffset)))
            fail(QStringLiteral("seek"));
        rawWrite(data, n);
        if (!device_.seek(end))
            fail(QStringLiteral("seek"));
        data += n;
        size -= n;
        streamOffset += n;
    }
    if (size > 0)
        std::copy(data, data + size, buffer_.begin() + std::ptrdiff_t(streamOffset - flushed_));
}

void CompoundFileWriter::finish(std::uint64_t minStreamSize)
{
    // Pad to the minimum size, then to whole sectors (the padding of the last
    // sector lies outside the stream).
    static const char zeros[4096] = {};
    while (position() < minStreamSize)
        write(zeros, std::size_t(std::min<std::uint64_t>(sizeof zeros, minStreamSize - position())));
    const std::uint64_t streamSize = position();
    const std::uint32_t dataSectors = ceilDiv(streamSize, kSectorSize);
    buffer_.insert(buffer_.end(), std::size_t(dataSectors) * kSectorSize - streamSize, 0);

    // FAT and DIFAT sectors count themselves: iterate to the fixed point.
    const std::uint32_t dirSector = dataSectors;
    std::uint32_t fatSectors = 0, difatSectors = 0;
    for (;;) {
        const std::uint64_t total = std::uint64_t(dataSectors) + 1 + fatSectors + difatSectors;
        const std::uint32_t f = ceilDiv(total, kIdsPerSector);
        const std::uint32_t d = f > kHeaderDifatEntries ? ceilDiv(f - kHeaderDifatEntries, kIdsPerSector - 1) : 0;
        if (f == fatSectors && d == difatSectors)
            break;
        fatSectors = f;
        difatSectors = d;
    }
    const std::uint32_t firstFat = dirSector + 1;
    const std::uint32_t firstDifat = firstFat + fatSectors;
    const std::uint32_t totalSectors = firstDifat + difatSectors;

    char sector[kSectorSize];
    // Directory: root entry, the stream, two empty entries.
    putEntry(sector, QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0);
    putEntry(sector + 128, streamName_, 2, kNoStream, dataSectors ? 0 : kEndOfChain, std::uint32_t(streamSize));
    putEntry(sector + 256, QString(), 0, kNoStream, 0, 0);
    putEntry(sector + 384, QString(), 0, kNoStream, 0, 0);
    append(sector, kSectorSize);

    // FAT, built sector by sector.
    std::uint32_t id = 0;
    for (std::uint32_t s = 0; s < fatSectors; ++s) {
        char* p = sector;
        for (std::uint32_t k = 0; k < kIdsPerSector; ++k, ++id) {
            std::uint32_t v = kFreeSect;
            if (id + 1 < dataSectors)
                v = id + 1;
            else if (id + 1 == dataSectors || id == dirSector)
                v = kEndOfChain;
            else if (id >= firstFat && id < firstDifat)
                v = kFatSect;
            else if (id >= firstDifat && id < totalSectors)
                v = kDifSect;
            p = put32(p, v);
        }
        append(sector, kSectorSize);
    }

    // DIFAT sectors: the FAT sectors past the header's 109, 127 a sector and
    // the next DIFAT sector last.
    std::uint32_t fat = kHeaderDifatEntries;
    for (std::uint32_t s = 0; s < difatSectors; ++s) {
        char* p = sector;
        for (std::uint32_t k = 0; k < kIdsPerSector - 1; ++k, ++fat)
            p = put32(p, fat < fatSectors ? firstFat + fat : kFreeSect);
        put32(p, s + 1 < difatSectors ? firstDifat + s + 1 : kEndOfChain);
        append(sector, kSectorSize);
    }
    flushBuffer();

    char header[kSectorSize] = {};
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    char* p = putBytes(header, signature, 8);
    p += 16;                  // CLSID
    p = put16(p, 0x003E);     // minor version
    p = put16(p, 0x0003);     // major version
    p = put16(p, 0xFFFE);     // byte order
    p = put16(p, 9);          // sector shift
    p = put16(p, 6);          // mini sector shift
    p += 6;                   // reserved
    p = put32(p, 0);          // directory sectors (0 in version 3)
    p = put32(p, fatSectors);
    p = put32(p, dirSector);
    p = put32(p, 0);          // transaction signature
    p = put32(p, 4096);       // mini stream cutoff
    p = put32(p, kEndOfChain); // mini FAT
    p = put32(p, 0);
    p = put32(p, difatSectors ? firstDifat : kEndOfChain);
    p = put32(p, difatSectors);
    for (std::uint32_t k = 0; k < kHeaderDifatEntries; ++k)
        p = put32(p, k < fatSectors ? firstFat + k : kFreeSect);
    if (!device_.seek(0))
        fail(QStringLiteral("seek"));
    rawWrite(header, kSectorSize);
}

} // namespace xls
