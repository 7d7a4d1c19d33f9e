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
    if (buffer_.capacity() < kBufferSize)
        buffer_.reserve(kBufferSize);
    if (buffer_.size() + kMaxRowBytes > kBufferSize)
        flushBuffer();
    const std::size_t at = buffer_.size();
    buffer_.resize(at + kMaxRowBytes);
    buffer_.resize(at + encodeRow(buffer_.data() + at));
    flushedStringCells_ = stringCells();
    for (int c = rowFirst_; c <= rowLast_; ++c)
        state_[c] = 0;
    rowFirst_ = 256;
    rowLast_ = -1;
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

void Worksheet::write(CompoundFileWriter& out, bool active)
{
    flushBuffer();
    std::vector<char> head(4 + 16 + 256 * 16 + 4 + 14);
    char* p = head.data();
    p = record(p, 0x0809, 16); // BOF: BIFF8 worksheet
    p = put16(p, 0x0600);
    p = put16(p, 0x0010);
    p = put16(p, 0x0DBB);
    p = put16(p, 0x07CC);
    p = put32(p, 0);
    p = put32(p, 0x06);
    for (int c = 0; c < 256; ++c) {
        if (widths_[c] < 0)
            continue;
        p = record(p, 0x007D, 12); // COLINFO
        p = put16(p, std::uint16_t(c));
        p = put16(p, std::uint16_t(c));
        p = put16(p, std::uint16_t(widths_[c] * 256));
        p = put16(p, kDefaultXf);
        p = put16(p, widths_[c] == 0 ? 0x0001 : 0); // width 0 hides the column, as in Excel
        p = put16(p, 0);
    }
    p = record(p, 0x0200, 14); // DIMENSIONS: first row, last row + 1, first column, last column + 1
    const bool empty = lastRow_ < 0;
    p = put32(p, empty ? 0 : std::uint32_t(firstRow_));
    p = put32(p, empty ? 0 : std::uint32_t(lastRow_ + 1));
    p = put16(p, empty ? 0 : std::uint16_t(firstCol_));
    p = put16(p, empty ? 0 : std::uint16_t(lastCol_ + 1));
    p = put16(p, 0);
    out.write(head.data(), std::size_t(p - head.data()));

    if (cells_)
        cells_->copyTo(out);
    std::vector<char> row(kMaxRowBytes);
    out.write(row.data(), encodeRow(row.data()));

    char tail[4 + 18 + 4];
    p = record(tail, 0x023E, 18); // WINDOW2
    p = put16(p, active ? 0x06B6 : 0x00B6); // grid, headers, zeros, default colours, outline; selected and shown when active
    p = put16(p, 0);    // top row
    p = put16(p, 0);    // left column
    p = put32(p, 64);   // gridline colour: default
    p = put16(p, 0);
    p = put16(p, 0);
    p = put32(p, 0);
    p = record(p, 0x000A, 0); // EOF
    out.write(tail, sizeof tail);
}

} // namespace xls
