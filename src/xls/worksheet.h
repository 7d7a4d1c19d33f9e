#pragma once
// One sheet of a workbook being written. Its cells arrive row by row; the row
// in hand is kept (so that its cells may come in any column order and a format
// may be set before or after the value), and every row left behind goes as
// LABELSST/BLANK records into a temporary file of the sheet's own. Memory is
// one row and one write buffer, whatever the number of rows.
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
    // Writes the sheet's substream; the sheet stays as it is and can be
    // written again.
    void write(CompoundFileWriter& out, bool active);

private:
    void enterRow(int row);
    void touch(int column);
    void flushRow();
    std::size_t encodeRow(char* out) const;
    void flushBuffer();

    QString name_;
    int currentRow_ = -1;
    // The row in hand: per column its string index and state.
    std::array<std::uint32_t, 256> sst_{};
    std::array<std::uint8_t, 256> state_{};
    int rowFirst_ = 256, rowLast_ = -1;
    // Extent of the cells, for DIMENSIONS.
    int firstRow_ = -1, lastRow_ = -1, firstCol_ = 256, lastCol_ = -1;
    std::array<std::int16_t, 256> widths_;
    std::uint64_t flushedStringCells_ = 0;
    std::vector<char> buffer_;
    std::unique_ptr<TempFile> cells_;
};

} // namespace xls
