#include "compoundfile.h"

#include "byteorder.h"
#include "platform/error.h"

#include <QCoreApplication>
#include <QIODevice>
#include <algorithm>
#include <functional>

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

constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::uint32_t kMiniStreamCutoff = 4096;

std::uint32_t ceilDiv(std::uint64_t a, std::uint64_t b) { return std::uint32_t((a + b - 1) / b); }

// Sectors after the large stream's: the mini stream, the mini FAT, the directory.
struct Extra {
    std::uint32_t miniSectors = 0;      // 64-byte sectors of the mini stream
    std::uint32_t miniStreamSectors = 0;
    std::uint32_t miniFatSectors = 0;
    std::uint32_t dirSectors = 0;
    std::uint32_t total() const { return miniStreamSectors + miniFatSectors + dirSectors; }
};

Extra extraSectors(const std::vector<CompoundFileWriter::SmallStream>& small)
{
    Extra e;
    for (const auto& s : small)
        e.miniSectors += ceilDiv(std::uint64_t(s.data.size()), kMiniSectorSize);
    e.miniStreamSectors = ceilDiv(std::uint64_t(e.miniSectors) * kMiniSectorSize, kSectorSize);
    e.miniFatSectors = ceilDiv(e.miniSectors, kIdsPerSector);
    e.dirSectors = ceilDiv(2 + small.size(), kSectorSize / 128);
    return e;
}

// FAT and DIFAT sectors for a file of `sectors` other sectors: they count
// themselves, so iterate to the fixed point.
void fatSectorsFor(std::uint64_t sectors, std::uint32_t& fat, std::uint32_t& difat)
{
    fat = difat = 0;
    for (;;) {
        const std::uint32_t f = ceilDiv(sectors + fat + difat, kIdsPerSector);
        const std::uint32_t d = f > kHeaderDifatEntries ? ceilDiv(f - kHeaderDifatEntries, kIdsPerSector - 1) : 0;
        if (f == fat && d == difat)
            return;
        fat = f;
        difat = d;
    }
}

// Directory entries compare by name length, then by upper-case characters.
bool entryLess(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return a.size() < b.size();
    return a.toUpper() < b.toUpper();
}

// One 128-byte directory entry.
void putEntry(char* p, const QString& name, std::uint8_t type, std::uint32_t child,
              std::uint32_t start, std::uint32_t size, std::uint32_t left = kNoStream,
              std::uint32_t right = kNoStream, bool black = true)
{
    std::fill(p, p + 128, 0);
    if (type != 0) {
        char* q = p;
        for (QChar c : name)
            q = put16(q, c.unicode());
        put16(p + 64, std::uint16_t((name.size() + 1) * 2));
        p[66] = char(type);
        p[67] = black ? 1 : 0;
    }
    put32(p + 68, left);
    put32(p + 72, right);
    put32(p + 76, type == 0 ? kNoStream : child);
    put32(p + 116, type == 0 ? 0 : start);
    put32(p + 120, size);
}

} // namespace

std::uint64_t CompoundFileWriter::maxStreamSize(const std::vector<SmallStream>& smallStreams)
{
    const std::uint32_t extra = extraSectors(smallStreams).total();
    const std::uint64_t limit = kMaxFileSize / kSectorSize - 1; // sectors after the header
    auto fits = [&](std::uint64_t n) {
        std::uint32_t fat, difat;
        fatSectorsFor(n + extra, fat, difat);
        return n + extra + fat + difat <= limit;
    };
    std::uint64_t lo = 0, hi = limit;
    while (lo < hi) {
        const std::uint64_t mid = (lo + hi + 1) / 2;
        if (fits(mid))
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo * kSectorSize;
}

CompoundFileWriter::CompoundFileWriter(QIODevice& device, QString streamName, std::vector<SmallStream> smallStreams)
    : device_(device), streamName_(std::move(streamName)), small_(std::move(smallStreams)),
      maxStream_(maxStreamSize(small_))
{
    for (const auto& s : small_)
        Q_ASSERT(s.data.size() < qsizetype(kMiniStreamCutoff));
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
    if (position() + size > maxStream_)
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

    const Extra extra = extraSectors(small_);
    const std::uint32_t firstMini = dataSectors;
    const std::uint32_t firstMiniFat = firstMini + extra.miniStreamSectors;
    const std::uint32_t dirSector = firstMiniFat + extra.miniFatSectors;
    std::uint32_t fatSectors = 0, difatSectors = 0;
    fatSectorsFor(std::uint64_t(dirSector) + extra.dirSectors, fatSectors, difatSectors);
    const std::uint32_t firstFat = dirSector + extra.dirSectors;
    const std::uint32_t firstDifat = firstFat + fatSectors;
    const std::uint32_t totalSectors = firstDifat + difatSectors;

    char sector[kSectorSize];
    // The mini stream: each small stream in whole 64-byte sectors.
    std::vector<char> mini(std::size_t(extra.miniStreamSectors) * kSectorSize, 0);
    std::vector<std::uint32_t> miniStart;
    {
        std::uint32_t at = 0;
        for (const auto& s : small_) {
            miniStart.push_back(at);
            std::copy(s.data.begin(), s.data.end(), mini.begin() + std::ptrdiff_t(at) * kMiniSectorSize);
            at += ceilDiv(std::uint64_t(s.data.size()), kMiniSectorSize);
        }
    }
    append(mini.data(), mini.size());
    if (extra.miniFatSectors) {
        std::vector<char> miniFat(std::size_t(extra.miniFatSectors) * kSectorSize);
        char* p = miniFat.data();
        std::uint32_t id = 0;
        for (std::size_t i = 0; i < small_.size(); ++i) {
            const std::uint32_t n = ceilDiv(std::uint64_t(small_[i].data.size()), kMiniSectorSize);
            for (std::uint32_t k = 0; k < n; ++k, ++id)
                p = put32(p, k + 1 < n ? id + 1 : kEndOfChain);
        }
        while (p < miniFat.data() + miniFat.size())
            p = put32(p, kFreeSect);
        append(miniFat.data(), miniFat.size());
    }

    // Directory: the root entry (holding the mini stream), then the streams,
    // its children, as a balanced tree in the order of their names; the nodes
    // below the last full level are red.
    {
        const std::size_t n = 1 + small_.size();
        std::vector<QString> names{streamName_};
        for (const auto& s : small_)
            names.push_back(s.name);
        std::vector<std::uint32_t> order(n);
        for (std::size_t i = 0; i < n; ++i)
            order[i] = std::uint32_t(i);
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return entryLess(names[a], names[b]); });
        std::vector<std::uint32_t> left(n, kNoStream), right(n, kNoStream);
        std::vector<bool> black(n, true);
        int fullLevels = 0;
        while ((std::size_t(1) << (fullLevels + 1)) - 1 <= n)
            ++fullLevels;
        std::function<std::uint32_t(std::size_t, std::size_t, int)> build = [&](std::size_t lo, std::size_t hi, int depth) {
            if (lo >= hi)
                return kNoStream;
            const std::size_t mid = (lo + hi) / 2;
            const std::uint32_t node = order[mid];
            black[node] = depth < fullLevels;
            left[node] = build(lo, mid, depth + 1);
            right[node] = build(mid + 1, hi, depth + 1);
            return node + 1; // entry 0 is the root
        };
        const std::uint32_t top = build(0, n, 0);

        std::vector<char> dir(std::size_t(extra.dirSectors) * kSectorSize, 0);
        putEntry(dir.data(), QStringLiteral("Root Entry"), 5, top, extra.miniSectors ? firstMini : kEndOfChain,
                 extra.miniSectors * kMiniSectorSize);
        putEntry(dir.data() + 128, streamName_, 2, kNoStream, dataSectors ? 0 : kEndOfChain, std::uint32_t(streamSize),
                 left[0], right[0], black[0]);
        for (std::size_t i = 0; i < small_.size(); ++i)
            putEntry(dir.data() + 128 * (i + 2), small_[i].name, 2, kNoStream,
                     small_[i].data.isEmpty() ? kEndOfChain : miniStart[i], std::uint32_t(small_[i].data.size()),
                     left[i + 1], right[i + 1], black[i + 1]);
        for (std::size_t i = n + 1; i < dir.size() / 128; ++i)
            putEntry(dir.data() + 128 * i, QString(), 0, kNoStream, 0, 0);
        append(dir.data(), dir.size());
    }

    // FAT, built sector by sector: one chain each for the large stream, the
    // mini stream, the mini FAT and the directory.
    auto chainEnd = [](std::uint32_t id, std::uint32_t first, std::uint32_t count) {
        return count && id + 1 == first + count;
    };
    std::uint32_t id = 0;
    for (std::uint32_t s = 0; s < fatSectors; ++s) {
        char* p = sector;
        for (std::uint32_t k = 0; k < kIdsPerSector; ++k, ++id) {
            std::uint32_t v = kFreeSect;
            if (id < firstFat) {
                if (chainEnd(id, 0, dataSectors) || chainEnd(id, firstMini, extra.miniStreamSectors) ||
                    chainEnd(id, firstMiniFat, extra.miniFatSectors) || chainEnd(id, dirSector, extra.dirSectors))
                    v = kEndOfChain;
                else
                    v = id + 1;
            } else if (id < firstDifat) {
                v = kFatSect;
            } else if (id < totalSectors) {
                v = kDifSect;
            }
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
    p = put32(p, kMiniStreamCutoff);
    p = put32(p, extra.miniFatSectors ? firstMiniFat : kEndOfChain);
    p = put32(p, extra.miniFatSectors);
    p = put32(p, difatSectors ? firstDifat : kEndOfChain);
    p = put32(p, difatSectors);
    for (std::uint32_t k = 0; k < kHeaderDifatEntries; ++k)
        p = put32(p, k < fatSectors ? firstFat + k : kFreeSect);
    if (!device_.seek(0))
        fail(QStringLiteral("seek"));
    rawWrite(header, kSectorSize);
}

} // namespace xls
