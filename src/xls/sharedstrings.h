#pragma once
// The shared string table of a workbook: every distinct cell text once, in
// the order first seen. The strings are kept in the form the SST record stores
// them (count, flags, 8-bit or UTF-16LE characters) in large blocks, with an
// open-addressing hash of indices over them: a few bytes per string beyond
// the text itself, and no allocation per string.
#include <QStringView>
#include <cstdint>
#include <memory>
#include <vector>

namespace xls {

class CompoundFileWriter;

class SharedStrings {
public:
    SharedStrings();
    ~SharedStrings();
    SharedStrings(const SharedStrings&) = delete;
    SharedStrings& operator=(const SharedStrings&) = delete;

    // The index of the text, added if new. At most 32,767 UTF-16 units.
    std::uint32_t add(QStringView text);
    std::uint32_t uniqueCount() const { return std::uint32_t(offsets_.size()); }
    // What write() puts in the stream, at most.
    std::uint64_t maxWrittenSize() const;

    // Writes SST (with CONTINUE records as needed) and EXTSST. totalRefs is
    // the number of cells that refer to the table.
    void write(CompoundFileWriter& out, std::uint32_t totalRefs) const;

private:
    const char* entry(std::uint32_t index) const;
    void grow();

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t blockUsed_;
    std::uint64_t entryBytes_ = 0;
    std::vector<std::uint64_t> offsets_; // block << 32 | position in block
    // Slots of hash << 32 | (index + 1), 0 for a free slot: one memory read
    // per probe tells a different string apart without touching the text.
    std::vector<std::uint64_t> table_;
    std::vector<char> scratch_;
};

} // namespace xls
