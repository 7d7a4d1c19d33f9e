#pragma once
// One sheet of a workbook being written. Its cells arrive row by row; the row
// in hand is kept (so that its cells may come in any column order and a format
// may be set before or after the value). Finished rows gather in blocks of 32,
// as Excel stores them (the rows' ROW records, their LABELSST/BLANK records, a
// DBCELL that indexes them); every finished block goes into a temporary file
// of the sheet's own. Memory is one block and one write buffer, whatever the
// number of rows.
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace xls {

class CompoundFileWriter;

// An unnamed temporary file (removed from its folder as soon as it is made):
// appended to, read back from the start.
class TempFile {
public:
    TempFile();
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    // All or nothing: on failure the file is cut back to what it held.
    void append(const char* data, std::size_t size);
    // Sends the content to out, in large blocks.
    void copyTo(CompoundFileWriter& out) const;
    std::uint64_t size() const { return size_; }
    // Reads up to size bytes at offset; returns how many were read.
    std::size_t read(std::uint64_t offset, char* data, std::size_t size) const;

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

class Worksheet {
public:
    explicit Worksheet(QString name);
    ~Worksheet();
    Worksheet(const Worksheet&) = delete;
    Worksheet& operator=(const Worksheet&) = delete;

    const QString& name() const { return name_; }
    // 0-based row and column, checked by the caller against the limits and
    // against currentRow().
    int currentRow() const { return currentRow_; }
    void setValue(int row, int column, std::uint32_t sstIndex);
    void clearValue(int row, int column);
    void setTextFormat(int row, int column, bool text);
    void setColumnWidth(int column, int widthChars);

    // Cells that refer to the shared strings, the row in hand included.
    std::uint64_t stringCells() const;
    // Writes the sheet's substream, starting at the writer's position; the
    // sheet stays as it is and can be written again. The selected sheet is
    // the one the workbook opens on.
    void write(CompoundFileWriter& out, bool selected);

    // Bytes of a sheet substream beyond its cell table, at most.
    static constexpr std::uint64_t kMaxFixedBytes = 16 * 1024;
    // What a cell, the ROW record of a new row and the DBCELL and INDEX
    // entry of a new block add to the substream, at most.
    static constexpr std::uint64_t kCellBytes = 14;
    static constexpr std::uint64_t kRowBytes = 20 + 2;
    static constexpr std::uint64_t kBlockBytes = 8 + 4;
    static constexpr int kRowsPerBlock = 32;

private:
    struct RowInfo {
        std::uint16_t row, first, end;  // columns first..end-1
        std::uint16_t cellBytes;
    };

    void enterRow(int row);
    void touch(int column);
    void flushRow();
    std::size_t encodeRow(char* out) const;
    void flushBlock();
    void flushBuffer();
    // ROW records, the cells and a DBCELL for rows of one block, appended to
    // out; the DBCELL's offset in the cell table goes to dbcells.
    static void encodeBlock(std::vector<char>& out, std::uint64_t tableOffset, const std::vector<RowInfo>& rows,
                            const char* cells, std::size_t cellsSize, std::vector<std::uint32_t>& dbcells);
    std::size_t writeHead(char* out, std::uint32_t sheetStart, const std::vector<std::uint32_t>& dbcells) const;

    QString name_;
    int currentRow_ = -1;
    // The row in hand: per column its string index and state.
    std::array<std::uint32_t, 256> sst_{};
    std::array<std::uint8_t, 256> state_{};
    int rowFirst_ = 256, rowLast_ = -1;
    // Extent of the cells, for DIMENSIONS and INDEX.
    int firstRow_ = -1, lastRow_ = -1, firstCol_ = 256, lastCol_ = -1;
    std::array<std::int16_t, 256> widths_;
    std::uint64_t flushedStringCells_ = 0;
    // The finished rows of the block not yet written out.
    std::vector<RowInfo> blockRows_;
    std::vector<char> blockCells_;
    // The cell table written so far (temporary file, then buffer), and where
    // in it each DBCELL lies.
    std::uint64_t tableSize_ = 0;
    std::vector<std::uint32_t> dbcells_;
    std::vector<char> buffer_;
    std::unique_ptr<TempFile> cells_;
};

} // namespace xls
