#include "sharedstrings.h"

#include "byteorder.h"
#include "compoundfile.h"

#include <QHash>
#include <algorithm>

namespace xls {
namespace {

constexpr std::size_t kBlockSize = 1 << 20;     // holds any string (at most 3 + 65,534 bytes)
constexpr std::size_t kMaxRecordData = 8224;    // BIFF8 record body limit
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kExtSst = 0x00FF;

std::size_t entrySize(const char* e)
{
    const std::size_t cch = std::uint8_t(e[0]) | (std::uint8_t(e[1]) << 8);
    return 3 + cch * ((e[2] & 1) ? 2 : 1);
}

// Builds SST and CONTINUE records one at a time.
class RecordWriter {
public:
    explicit RecordWriter(CompoundFileWriter& out) : out_(out) { start(kSst); }
    void start(std::uint16_t type)
    {
        recordStart_ = out_.position();
        put16(buf_, type);
        len_ = 0;
    }
    void flush()
    {
        put16(buf_ + 2, std::uint16_t(len_));
        out_.write(buf_, 4 + len_);
    }
    void next()
    {
        flush();
        start(kContinue);
    }
    std::size_t room() const { return kMaxRecordData - len_; }
    char* tail() { return buf_ + 4 + len_; }
    void advance(std::size_t n) { len_ += n; }
    std::uint64_t streamPos() const { return recordStart_ + 4 + len_; }
    std::uint16_t recordOffset() const { return std::uint16_t(4 + len_); }

private:
    CompoundFileWriter& out_;
    std::uint64_t recordStart_ = 0;
    std::size_t len_ = 0;
    char buf_[4 + kMaxRecordData];
};

} // namespace

SharedStrings::SharedStrings() : blockUsed_(kBlockSize), table_(1024, 0)
{
    scratch_.resize(3 + 2 * 32767);
}

SharedStrings::~SharedStrings() = default;

const char* SharedStrings::entry(std::uint32_t index) const
{
    const std::uint64_t o = offsets_[index];
    return blocks_[std::size_t(o >> 32)].get() + std::size_t(o & 0xFFFFFFFFu);
}

void SharedStrings::grow()
{
    std::vector<std::uint64_t> table(table_.size() * 2, 0);
    const std::size_t mask = table.size() - 1;
    for (const std::uint64_t v : table_) {
        if (!v)
            continue;
        std::size_t slot = std::size_t(v >> 32) & mask;
        while (table[slot])
            slot = (slot + 1) & mask;
        table[slot] = v;
    }
    table_.swap(table);
}

std::uint32_t SharedStrings::add(QStringView text)
{
    const std::size_t cch = std::size_t(text.size());
    Q_ASSERT(cch <= 32767);
    const char16_t* u = text.utf16();
    char16_t any = 0;
    for (std::size_t i = 0; i < cch; ++i)
        any |= u[i];
    const bool wide = any >= 0x100;
    char* e = scratch_.data();
    put16(e, std::uint16_t(cch));
    e[2] = wide ? 1 : 0;
    char* p = e + 3;
    if (wide) {
        for (std::size_t i = 0; i < cch; ++i)
            p = put16(p, u[i]);
    } else {
        for (std::size_t i = 0; i < cch; ++i)
            *p++ = char(u[i]);
    }
    const std::size_t size = std::size_t(p - e);
    const std::uint32_t hash = std::uint32_t(qHashBits(e, size, 0x51a7));

    const std::size_t mask = table_.size() - 1;
    std::size_t slot = hash & mask;
    while (const std::uint64_t v = table_[slot]) {
        if (std::uint32_t(v >> 32) == hash) {
            const std::uint32_t index = std::uint32_t(v) - 1;
            const char* other = entry(index);
            if (entrySize(other) == size && std::memcmp(other, e, size) == 0)
                return index;
        }
        slot = (slot + 1) & mask;
    }

    if (kBlockSize - blockUsed_ < size) {
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
        blockUsed_ = 0;
    }
    std::memcpy(blocks_.back().get() + blockUsed_, e, size);
    const std::uint32_t index = std::uint32_t(offsets_.size());
    offsets_.push_back((std::uint64_t(blocks_.size() - 1) << 32) | blockUsed_);
    blockUsed_ += size;
    entryBytes_ += size;
    table_[slot] = (std::uint64_t(hash) << 32) | (index + 1);
    if (offsets_.size() * 2 > table_.size())
        grow();
    return index;
}

std::uint64_t SharedStrings::maxWrittenSize() const
{
    // Each CONTINUE costs its header, the repeated flags, the end of a record
    // that a string header does not fit (4 bytes) and a surrogate pair kept
    // whole (2 bytes); EXTSST has at most 1,027 entries.
    const std::uint64_t body = 8 + entryBytes_;
    const std::uint64_t continues = body / (kMaxRecordData - 11) + 1;
    return 4 + body + continues * 11 + 6 + 8 * ((kMaxRecordData - 2) / 8);
}

void SharedStrings::write(CompoundFileWriter& out, std::uint32_t totalRefs) const
{
    const std::uint32_t count = uniqueCount();
    // Excel's choice of bucket size keeps EXTSST to about 128 entries.
    const std::uint32_t perBucket = std::min<std::uint32_t>(0xFFFF, std::max<std::uint32_t>(8, count / 128 + 1));
    const std::size_t maxInfos = (kMaxRecordData - 2) / 8;
    std::vector<char> ext;
    ext.reserve(8 * maxInfos);

    auto rec = std::make_unique<RecordWriter>(out);
    put32(rec->tail(), totalRefs);
    put32(rec->tail() + 4, count);
    rec->advance(8);
    for (std::uint32_t i = 0; i < count; ++i) {
        const char* e = entry(i);
        const std::size_t cch = std::uint8_t(e[0]) | (std::uint8_t(e[1]) << 8);
        const std::size_t charSize = (e[2] & 1) ? 2 : 1;
        // The header, with the first character, never splits.
        if (rec->room() < 3 + (cch ? charSize : 0))
            rec->next();
        if (i % perBucket == 0 && ext.size() < 8 * maxInfos) {
            char info[8] = {};
            put32(info, std::uint32_t(rec->streamPos()));
            put16(info + 4, rec->recordOffset());
            ext.insert(ext.end(), info, info + 8);
        }
        std::memcpy(rec->tail(), e, 3);
        rec->advance(3);
        const char* chars = e + 3;
        std::size_t left = cch;
        while (left > 0) {
            std::size_t n = std::min(left, rec->room() / charSize);
            // A surrogate pair stays in one record: readers decode each
            // record's piece on its own.
            if (n < left && charSize == 2 && n > 0) {
                const unsigned last = std::uint8_t(chars[2 * n - 2]) | (std::uint8_t(chars[2 * n - 1]) << 8);
                if (last >= 0xD800 && last < 0xDC00)
                    --n;
            }
            if (n == 0) {
                // The rest continues in a new record that repeats the flags.
                rec->next();
                *rec->tail() = e[2];
                rec->advance(1);
                continue;
            }
            std::memcpy(rec->tail(), chars, n * charSize);
            rec->advance(n * charSize);
            chars += n * charSize;
            left -= n;
        }
    }
    rec->flush();

    char head[6];
    put16(head, kExtSst);
    put16(head + 2, std::uint16_t(2 + ext.size()));
    put16(head + 4, std::uint16_t(perBucket));
    out.write(head, sizeof head);
    out.write(ext.data(), ext.size());
}

} // namespace xls
