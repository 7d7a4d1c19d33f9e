#include "worksheet.h"

#include "byteorder.h"
#include "compoundfile.h"
#include "platform/error.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace xls {
namespace {

constexpr std::uint8_t kHasValue = 1;
constexpr std::uint8_t kTextFormat = 2;
constexpr std::uint16_t kDefaultXf = 15;
constexpr std::uint16_t kTextXf = 16;
constexpr std::size_t kBufferSize = 256 * 1024;
constexpr std::size_t kLabelSstSize = 4 + 10;
constexpr std::size_t kMaxRowBytes = 256 * kLabelSstSize;
constexpr std::size_t kMaxBlockBytes = 32 * (20 + kMaxRowBytes + 2) + 8;
constexpr std::uint16_t kRowHeight = 285; // 14.25 points, the height of a row in the 12-point font
constexpr std::size_t kMaxColInfos = 255;

char* record(char* p, std::uint16_t type, std::uint16_t size)
{
    return put16(put16(p, type), size);
}

QString systemError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

} // namespace

TempFile::TempFile()
{
    QByteArray name = QFile::encodeName(QDir::tempPath() + QStringLiteral("/quillet-sheet-XXXXXX"));
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0)
        throw platform::Error(QStringLiteral("无法创建临时文件：%1").arg(systemError(errno)));
    ::unlink(name.constData());
}

TempFile::~TempFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void TempFile::append(const char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd_, data + done, size - done, off_t(size_ + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            if (::ftruncate(fd_, off_t(size_)) != 0) {
                // The size is kept in size_; what lies past it is never read.
            }
            throw platform::Error(QStringLiteral("写入临时文件失败：%1").arg(systemError(err)));
        }
        done += std::size_t(n);
    }
    size_ += size;
}

void TempFile::copyTo(CompoundFileWriter& out) const
{
    std::vector<char> chunk(1 << 20);
    std::uint64_t at = 0;
    while (at < size_) {
        const ssize_t n = ::pread(fd_, chunk.data(), std::size_t(std::min<std::uint64_t>(chunk.size(), size_ - at)), off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw platform::Error(QStringLiteral("读取临时文件失败：%1").arg(systemError(n < 0 ? errno : EIO)));
        out.write(chunk.data(), std::size_t(n));
        at += std::uint64_t(n);
    }
}

std::size_t TempFile::read(std::uint64_t offset, char* data, std::size_t size) const
{
    const std::size_t want = std::size_t(std::min<std::uint64_t>(size, size_ > offset ? size_ - offset : 0));
    std::size_t done = 0;
    while (done < want) {
        const ssize_t n = ::pread(fd_, data + done, want - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw platform::Error(QStringLiteral("读取临时文件失败：%1").arg(systemError(n < 0 ? errno : EIO)));
        done += std::size_t(n);
    }
    return done;
}

Worksheet::Worksheet(QString name) : name_(std::move(name)) { widths_.fill(-1); }

Worksheet::~Worksheet() = default;

void Worksheet::enterRow(int row)
{
    if (row != currentRow_) {
        flushRow();
        currentRow_ = row;
    }
}

void Worksheet::touch(int column)
{
    rowFirst_ = std::min(rowFirst_, column);
    rowLast_ = std::max(rowLast_, column);
    if (firstRow_ < 0)
        firstRow_ = currentRow_;
    lastRow_ = currentRow_;
    firstCol_ = std::min(firstCol_, column);
    lastCol_ = std::max(lastCol_, column);
}

void Worksheet::setValue(int row, int column, std::uint32_t sstIndex)
{
    enterRow(row);
    sst_[column] = sstIndex;
    state_[column] |= kHasValue;
    touch(column);
}

void Worksheet::clearValue(int row, int column)
{
    enterRow(row);
    state_[column] &= ~kHasValue;
}

void Worksheet::setTextFormat(int row, int column, bool text)
{
    enterRow(row);
    if (text) {
        state_[column] |= kTextFormat;
        touch(column);
    } else {
        state_[column] &= ~kTextFormat;
    }
}

void Worksheet::setColumnWidth(int column, int widthChars) { widths_[column] = std::int16_t(widthChars); }

std::size_t Worksheet::encodeRow(char* out) const
{
    char* p = out;
    for (int c = rowFirst_; c <= rowLast_; ++c) {
        const std::uint8_t s = state_[c];
        if (!s)
            continue;
        const std::uint16_t xf = (s & kTextFormat) ? kTextXf : kDefaultXf;
        if (s & kHasValue) {
            p = record(p, 0x00FD, 10); // LABELSST
            p = put16(p, std::uint16_t(currentRow_));
            p = put16(p, std::uint16_t(c));
            p = put16(p, xf);
            p = put32(p, sst_[c]);
        } else {
            p = record(p, 0x0201, 6); // BLANK keeps the format of an empty cell
            p = put16(p, std::uint16_t(currentRow_));
            p = put16(p, std::uint16_t(c));
            p = put16(p, xf);
        }
    }
    return std::size_t(p - out);
}

std::uint64_t Worksheet::stringCells() const
{
    std::uint64_t n = flushedStringCells_;
    for (int c = rowFirst_; c <= rowLast_; ++c)
        n += state_[c] & kHasValue;
    return n;
}

void Worksheet::flushRow()
{
    if (rowLast_ < 0)
        return;
    if (!blockRows_.empty() && blockRows_.front().row / kRowsPerBlock != currentRow_ / kRowsPerBlock)
        flushBlock();
    char row[kMaxRowBytes];
    const std::size_t n = encodeRow(row);
    if (n > 0) {
        blockCells_.insert(blockCells_.end(), row, row + n);
        int first = rowFirst_, last = rowLast_;
        while (!state_[first])
            ++first;
        while (!state_[last])
            --last;
        blockRows_.push_back({std::uint16_t(currentRow_), std::uint16_t(first), std::uint16_t(last + 1), std::uint16_t(n)});
    }
    flushedStringCells_ = stringCells();
    for (int c = rowFirst_; c <= rowLast_; ++c)
        state_[c] = 0;
    rowFirst_ = 256;
    rowLast_ = -1;
}

void Worksheet::encodeBlock(std::vector<char>& out, std::uint64_t tableOffset, const std::vector<RowInfo>& rows,
                            const char* cells, std::size_t cellsSize, std::vector<std::uint32_t>& dbcells)
{
    if (rows.empty())
        return;
    const std::size_t rowBytes = 20 * rows.size();
    const std::size_t at = out.size();
    out.resize(at + rowBytes + cellsSize + 8 + 2 * rows.size());
    char* p = out.data() + at;
    for (const RowInfo& r : rows) {
        p = record(p, 0x0208, 16); // ROW
        p = put16(p, r.row);
        p = put16(p, r.first);
        p = put16(p, r.end);
        p = put16(p, kRowHeight);
        p = put16(p, 0);
        p = put16(p, 0);
        p = put16(p, 0x0100); // height follows the font; no outline
        p = put16(p, kDefaultXf);
    }
    p = putBytes(p, cells, cellsSize);
    dbcells.push_back(std::uint32_t(tableOffset + (p - (out.data() + at))));
    p = record(p, 0x00D7, std::uint16_t(4 + 2 * rows.size())); // DBCELL
    p = put32(p, std::uint32_t(rowBytes + cellsSize));           // back to the first ROW
    // The first row's cells start after the other ROW records; each next
    // row's after the previous row's cells.
    p = put16(p, std::uint16_t(rowBytes - 20));
    for (std::size_t i = 1; i < rows.size(); ++i)
        p = put16(p, rows[i - 1].cellBytes);
}

void Worksheet::flushBlock()
{
    if (blockRows_.empty())
        return;
    if (buffer_.capacity() < kBufferSize)
        buffer_.reserve(kBufferSize);
    const std::size_t before = buffer_.size();
    encodeBlock(buffer_, tableSize_, blockRows_, blockCells_.data(), blockCells_.size(), dbcells_);
    tableSize_ += buffer_.size() - before;
    blockRows_.clear();
    blockCells_.clear();
    if (buffer_.size() >= kBufferSize - kMaxBlockBytes)
        flushBuffer();
}

void Worksheet::flushBuffer()
{
    if (buffer_.empty())
        return;
    if (!cells_)
        cells_ = std::make_unique<TempFile>();
    cells_->append(buffer_.data(), buffer_.size());
    buffer_.clear();
}

std::size_t Worksheet::writeHead(char* out, std::uint32_t sheetStart, const std::vector<std::uint32_t>& dbcells) const
{
    char* p = out;
    p = record(p, 0x0809, 16); // BOF: BIFF8 worksheet
    p = put16(p, 0x0600);
    p = put16(p, 0x0010);
    p = put16(p, 0x0DBB);
    p = put16(p, 0x07CC);
    p = put32(p, 0);
    p = put32(p, 0x06);
    const bool empty = lastRow_ < 0;
    char* index = p;
    p = record(p, 0x020B, std::uint16_t(16 + 4 * dbcells.size())); // INDEX, its offsets filled in below
    p = put32(p, 0);
    p = put32(p, empty ? 0 : std::uint32_t(firstRow_));
    p = put32(p, empty ? 0 : std::uint32_t(lastRow_ + 1));
    p += 4 + 4 * dbcells.size();
    p = put16(record(p, 0x000D, 2), 1);          // CALCMODE: automatic
    p = put16(record(p, 0x000C, 2), 100);        // CALCCOUNT
    p = put16(record(p, 0x000F, 2), 1);          // REFMODE: A1
    p = put16(record(p, 0x0011, 2), 0);          // ITERATION: off
    p = record(p, 0x0010, 8);                    // DELTA: 0.001
    const double delta = 0.001;
    std::uint64_t bits;
    std::memcpy(&bits, &delta, 8);
    p = put32(put32(p, std::uint32_t(bits)), std::uint32_t(bits >> 32));
    p = put16(record(p, 0x005F, 2), 1);          // SAVERECALC
    p = put16(record(p, 0x002A, 2), 0);          // PRINTHEADERS
    p = put16(record(p, 0x002B, 2), 0);          // PRINTGRIDLINES
    p = put16(record(p, 0x0082, 2), 1);          // GRIDSET
    p = record(p, 0x0080, 8);                    // GUTS: no outline
    p = put32(put32(p, 0), 0);
    p = put16(put16(record(p, 0x0225, 4), 0), kRowHeight); // DEFAULTROWHEIGHT
    p = put16(record(p, 0x0081, 2), 0x04C1);     // WSBOOL: page breaks shown, outline symbols below and right
    p = record(p, 0x0014, 0);                    // HEADER: none
    p = record(p, 0x0015, 0);                    // FOOTER: none
    p = put16(record(p, 0x0083, 2), 0);          // HCENTER
    p = put16(record(p, 0x0084, 2), 0);          // VCENTER
    p = record(p, 0x00A1, 34);                   // SETUP: A4 portrait, 100 %, one copy
    p = put16(p, 9);
    p = put16(p, 100);
    p = put16(p, 1);
    p = put16(p, 1);
    p = put16(p, 1);
    p = put16(p, 0x0002);
    p = put16(p, 600);
    p = put16(p, 600);
    const double margin = 0.5;
    std::memcpy(&bits, &margin, 8);
    for (int i = 0; i < 2; ++i)
        p = put32(put32(p, std::uint32_t(bits)), std::uint32_t(bits >> 32));
    p = put16(p, 1);
    const std::uint32_t defColWidth = sheetStart + std::uint32_t(p - out);
    p = put16(record(p, 0x0055, 2), 8);          // DEFCOLWIDTH
    // COLINFO for each run of columns of one width; a sheet holds at most 255
    // of them, so with 256 widths the last two columns share the wider.
    struct Run { int first, last, width; };
    std::vector<Run> runs;
    for (int c = 0; c < 256; ++c) {
        if (widths_[c] < 0)
            continue;
        if (!runs.empty() && runs.back().last == c - 1 && runs.back().width == widths_[c])
            runs.back().last = c;
        else
            runs.push_back({c, c, widths_[c]});
    }
    if (runs.size() > kMaxColInfos) {
        Run& a = runs[runs.size() - 2];
        a.width = std::max(a.width, runs.back().width);
        a.last = runs.back().last;
        runs.pop_back();
    }
    for (const Run& r : runs) {
        p = record(p, 0x007D, 12);
        p = put16(p, std::uint16_t(r.first));
        p = put16(p, std::uint16_t(r.last));
        p = put16(p, std::uint16_t(r.width * 256));
        p = put16(p, kDefaultXf);
        p = put16(p, r.width == 0 ? 0x0001 : 0); // width 0 hides the column, as in Excel
        p = put16(p, 0);
    }
    p = record(p, 0x0200, 14); // DIMENSIONS: first row, last row + 1, first column, last column + 1
    p = put32(p, empty ? 0 : std::uint32_t(firstRow_));
    p = put32(p, empty ? 0 : std::uint32_t(lastRow_ + 1));
    p = put16(p, empty ? 0 : std::uint16_t(firstCol_));
    p = put16(p, empty ? 0 : std::uint16_t(lastCol_ + 1));
    p = put16(p, 0);

    const std::uint32_t tableStart = sheetStart + std::uint32_t(p - out);
    char* q = put32(index + 16, defColWidth);
    for (const std::uint32_t d : dbcells)
        q = put32(q, tableStart + d);
    return std::size_t(p - out);
}

void Worksheet::write(CompoundFileWriter& out, bool selected)
{
    // The block in hand and the row in hand, encoded apart so that the sheet
    // can go on filling after a save.
    std::vector<std::uint32_t> dbcells = dbcells_;
    std::vector<char> tail;
    {
        std::vector<RowInfo> rows = blockRows_;
        std::vector<char> cells = blockCells_;
        std::vector<char> row(kMaxRowBytes);
        const std::size_t n = rowLast_ >= 0 ? encodeRow(row.data()) : 0;
        std::vector<RowInfo> own;
        if (n > 0) {
            int first = rowFirst_, last = rowLast_;
            while (!state_[first])
                ++first;
            while (!state_[last])
                --last;
            const RowInfo info{std::uint16_t(currentRow_), std::uint16_t(first), std::uint16_t(last + 1), std::uint16_t(n)};
            if (rows.empty() || rows.front().row / kRowsPerBlock == currentRow_ / kRowsPerBlock) {
                rows.push_back(info);
                cells.insert(cells.end(), row.data(), row.data() + n);
            } else {
                own.push_back(info);
            }
        }
        encodeBlock(tail, tableSize_, rows, cells.data(), cells.size(), dbcells);
        encodeBlock(tail, tableSize_ + tail.size(), own, row.data(), n, dbcells);
    }
    flushBuffer();

    std::vector<char> head(kMaxFixedBytes);
    out.write(head.data(), writeHead(head.data(), std::uint32_t(out.position()), dbcells));
    if (cells_)
        cells_->copyTo(out);
    out.write(tail.data(), tail.size());

    char end[4 + 18 + 4 + 15 + 4];
    char* p = record(end, 0x023E, 18); // WINDOW2
    p = put16(p, selected ? 0x06B6 : 0x00B6); // grid, headers, zeros, default colours, outline; selected and shown
    p = put16(p, 0);    // top row
    p = put16(p, 0);    // left column
    p = put32(p, 64);   // gridline colour: default
    p = put16(p, 0);
    p = put16(p, 0);
    p = put32(p, 0);
    p = record(p, 0x001D, 15); // SELECTION: cell A1 in the main pane
    p = put8(p, 3);
    p = put16(p, 0);
    p = put16(p, 0);
    p = put16(p, 0);
    p = put16(p, 1);
    p = put16(p, 0);
    p = put16(p, 0);
    p = put8(p, 0);
    p = put8(p, 0);
    record(p, 0x000A, 0); // EOF
    out.write(end, sizeof end);
}

} // namespace xls
