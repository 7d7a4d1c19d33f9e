#include "xlsxworkbook.h"

#include "byteorder.h"
#include "excelapplication.h"
#include "platform/error.h"
#include "worksheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

namespace xls {
namespace {

constexpr std::uint8_t kHasValue = 1;
constexpr std::uint8_t kTextFormat = 2;
constexpr std::size_t kBufferSize = 256 * 1024;

// Characters XML cannot hold are written as Excel does, _xHHHH_; an
// underscore that would start such an escape is itself escaped.
bool needsEscape(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF || u == u'_')
            return true;
    }
    return false;
}

bool isEscapeAt(QStringView text, qsizetype i)
{
    if (i + 7 > text.size() || text[i + 1] != u'x' || text[i + 6] != u'_')
        return false;
    for (qsizetype k = i + 2; k < i + 6; ++k)
        if (!std::isxdigit(static_cast<unsigned char>(text[k].toLatin1())) || text[k].unicode() > 0x7F)
            return false;
    return true;
}

QByteArray cellUtf8(QStringView text)
{
    if (!needsEscape(text))
        return text.toUtf8();
    QString out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF ||
            (u == u'_' && isEscapeAt(text, i)))
            out += QStringLiteral("_x%1_").arg(unsigned(u), 4, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("_X"), QLatin1String("_x"));
        else
            out += QChar(u);
    }
    return out.toUtf8();
}

QString lxwError(lxw_error e) { return QString::fromUtf8(lxw_strerror(e)); }

} // namespace

// One sheet: the row in hand, the finished rows in a temporary file as
// records of (row, column, flags, length, UTF-8 text).
struct XlsxWorkbook::Sheet {
    explicit Sheet(QString n) : name(std::move(n)) {}

    struct Cell {
        int column;
        std::uint8_t state;
        QByteArray utf8;
    };

    QString name;
    int currentRow = -1;
    std::vector<Cell> row;             // the row in hand, in the order touched
    std::vector<std::int32_t> slots;   // per column its place in row, -1 for none
    std::map<int, int> widths;
    std::vector<char> buffer;
    std::unique_ptr<TempFile> cells;

    Cell& cell(int r, int column)
    {
        if (r != currentRow) {
            flushRow();
            currentRow = r;
        }
        if (slots.empty())
            slots.assign(kMaxColumns, -1);
        std::int32_t& slot = slots[std::size_t(column)];
        if (slot < 0) {
            slot = std::int32_t(row.size());
            row.push_back({column, 0, {}});
        }
        return row[std::size_t(slot)];
    }

    static void encode(std::vector<char>& out, int r, const Cell& c)
    {
        const std::size_t at = out.size();
        out.resize(at + 11 + std::size_t(c.utf8.size()));
        char* p = out.data() + at;
        p = put32(p, std::uint32_t(r));
        p = put16(p, std::uint16_t(c.column));
        p = put8(p, c.state);
        p = put32(p, std::uint32_t(c.utf8.size()));
        putBytes(p, c.utf8.constData(), std::size_t(c.utf8.size()));
    }

    std::vector<Cell> sortedRow() const
    {
        std::vector<Cell> sorted;
        for (const Cell& c : row)
            if (c.state)
                sorted.push_back(c);
        std::sort(sorted.begin(), sorted.end(), [](const Cell& a, const Cell& b) { return a.column < b.column; });
        return sorted;
    }

    void flushRow()
    {
        if (row.empty())
            return;
        for (const Cell& c : sortedRow())
            encode(buffer, currentRow, c);
        for (const Cell& c : row)
            slots[std::size_t(c.column)] = -1;
        row.clear();
        if (buffer.size() >= kBufferSize)
            flushBuffer();
    }

    void flushBuffer()
    {
        if (buffer.empty())
            return;
        if (!cells)
            cells = std::make_unique<TempFile>();
        cells->append(buffer.data(), buffer.size());
        buffer.clear();
    }

    // Hands every cell, the row in hand included, to libxlsxwriter.
    void write(lxw_workbook* wb, lxw_format* text) 
    {
        flushBuffer();
        const QByteArray sheetName = name.toUtf8();
        lxw_worksheet* ws = workbook_add_worksheet(wb, sheetName.constData());
        if (!ws)
            throw platform::Error(QStringLiteral("无法添加工作表 %1").arg(name));
        for (const auto& [column, width] : widths) {
            lxw_row_col_options hidden{};
            hidden.hidden = 1;
            const lxw_error e = width == 0 ? worksheet_set_column_opt(ws, lxw_col_t(column), lxw_col_t(column), LXW_DEF_COL_WIDTH, nullptr, &hidden)
                                           : worksheet_set_column(ws, lxw_col_t(column), lxw_col_t(column), width, nullptr);
            if (e != LXW_NO_ERROR)
                throw platform::Error(QStringLiteral("列宽写入失败：%1").arg(lxwError(e)));
        }
        auto put = [&](int r, int column, std::uint8_t state, const char* utf8) {
            lxw_format* f = (state & kTextFormat) ? text : nullptr;
            const lxw_error e = (state & kHasValue) ? worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(column), utf8, f)
                                                    : worksheet_write_blank(ws, lxw_row_t(r), lxw_col_t(column), f);
            if (e != LXW_NO_ERROR)
                throw platform::Error(QStringLiteral("单元格 (%1, %2) 写入失败：%3").arg(r + 1).arg(column + 1).arg(lxwError(e)));
        };
        if (cells) {
            // The records, read back in large blocks.
            std::vector<char> chunk(1 << 20);
            std::size_t pos = 0, end = 0;
            std::uint64_t fileAt = 0;
            auto take = [&](char* out, std::size_t n) {
                while (n > 0) {
                    if (pos == end) {
                        end = cells->read(fileAt, chunk.data(), chunk.size());
                        fileAt += end;
                        pos = 0;
                        if (end == 0)
                            throw platform::Error(QStringLiteral("临时文件不完整"));
                    }
                    const std::size_t k = std::min(n, end - pos);
                    std::memcpy(out, chunk.data() + pos, k);
                    pos += k;
                    out += k;
                    n -= k;
                }
            };
            std::vector<char> text8;
            std::uint64_t at = 0;
            const std::uint64_t size = cells->size();
            while (at < size) {
                char head[11];
                take(head, sizeof head);
                const std::uint32_t r = get32(head);
                const std::uint16_t column = get16(head + 4);
                const std::uint8_t state = std::uint8_t(head[6]);
                const std::uint32_t n = get32(head + 7);
                text8.resize(n + 1);
                take(text8.data(), n);
                text8[n] = 0;
                put(int(r), column, state, text8.data());
                at += 11 + n;
            }
        }
        for (const Cell& c : sortedRow())
            put(currentRow, c.column, c.state, c.utf8.constData());
    }

    static std::uint32_t get32(const char* p)
    {
        return std::uint32_t(std::uint8_t(p[0])) | std::uint32_t(std::uint8_t(p[1])) << 8 |
               std::uint32_t(std::uint8_t(p[2])) << 16 | std::uint32_t(std::uint8_t(p[3])) << 24;
    }
    static std::uint16_t get16(const char* p) { return std::uint16_t(std::uint8_t(p[0]) | std::uint8_t(p[1]) << 8); }
};

XlsxWorkbook::XlsxWorkbook()
{
    for (int i = 1; i <= 3; ++i)
        sheets_.push_back(std::make_unique<Sheet>(QStringLiteral("Sheet%1").arg(i)));
}

XlsxWorkbook::~XlsxWorkbook() = default;

void XlsxWorkbook::activate(int index)
{
    if (index < 1 || index > kMaxSheets)
        throw platform::Error(QStringLiteral("工作表序号 %1 无效（应为 1 到 %2）").arg(index).arg(kMaxSheets));
    while (int(sheets_.size()) < index)
        sheets_.push_back(std::make_unique<Sheet>(QStringLiteral("Sheet%1").arg(sheets_.size() + 1)));
    active_ = index - 1;
}

void XlsxWorkbook::setColumnWidth(int column, int widthChars)
{
    if (column < 1 || column > kMaxColumns)
        throw platform::Error(QStringLiteral("列号 %1 超出范围（1 到 %2）").arg(column).arg(kMaxColumns));
    if (widthChars < 0 || widthChars > 255)
        throw platform::Error(QStringLiteral("列宽 %1 无效（应为 0 到 255 个字符）").arg(widthChars));
    sheets_[std::size_t(active_)]->widths[column - 1] = widthChars;
}

XlsxWorkbook::Sheet& XlsxWorkbook::checkedCell(int row, int column)
{
    if (row < 1 || row > kMaxRows)
        throw platform::Error(QStringLiteral("行号 %1 超出范围（1 到 %2）").arg(row).arg(kMaxRows));
    if (column < 1 || column > kMaxColumns)
        throw platform::Error(QStringLiteral("列号 %1 超出范围（1 到 %2）").arg(column).arg(kMaxColumns));
    Sheet& sheet = *sheets_[std::size_t(active_)];
    if (row - 1 < sheet.currentRow)
        throw platform::Error(QStringLiteral("工作表 %1 已写到第 %2 行，不能再写第 %3 行")
                                  .arg(sheet.name)
                                  .arg(sheet.currentRow + 1)
                                  .arg(row));
    return sheet;
}

void XlsxWorkbook::setTextFormat(int row, int column, bool text)
{
    Sheet::Cell& c = checkedCell(row, column).cell(row - 1, column - 1);
    c.state = text ? (c.state | kTextFormat) : (c.state & ~kTextFormat);
}

void XlsxWorkbook::setValue(int row, int column, QStringView text)
{
    Sheet& sheet = checkedCell(row, column);
    if (text.size() > kMaxCellChars)
        throw platform::Error(QStringLiteral("单元格 (%1, %2) 的文本有 %3 个字符，超过上限 %4")
                                  .arg(row)
                                  .arg(column)
                                  .arg(text.size())
                                  .arg(kMaxCellChars));
    Sheet::Cell& c = sheet.cell(row - 1, column - 1);
    // An empty value empties the cell, as in Excel.
    if (text.isEmpty()) {
        c.state &= ~kHasValue;
        c.utf8.clear();
    } else {
        c.state |= kHasValue;
        c.utf8 = cellUtf8(text);
    }
}

void XlsxWorkbook::save(const QString& path)
{
    const QString target = QFileInfo(path).absoluteFilePath();
    // libxlsxwriter writes to a name of its own choosing: a fresh one beside
    // the target, renamed over it once complete.
    QByteArray part = QFile::encodeName(target + QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(part.data());
    if (fd < 0)
        throw platform::Error(QStringLiteral("无法创建文件 %1：%2").arg(target, QString::fromLocal8Bit(std::strerror(errno))));
    // mkstemp makes the file private; a workbook gets the mode any new file would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    (void)::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    struct Removal {
        QByteArray name;
        bool keep = false;
        ~Removal()
        {
            if (!keep)
                ::unlink(name.constData());
        }
    } removal{part};

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    QByteArray tmp = QFile::encodeName(QDir::tempPath());
    options.tmpdir = tmp.data();
    lxw_workbook* wb = workbook_new_opt(part.constData(), &options);
    if (!wb)
        throw platform::Error(QStringLiteral("保存工作簿 %1 失败：无法创建工作簿").arg(path));
    try {
        lxw_format* text = workbook_add_format(wb);
        format_set_num_format(text, "@");
        for (const auto& sheet : sheets_)
            sheet->write(wb, text);
    } catch (const platform::Error& e) {
        workbook_close(wb);
        throw platform::Error(QStringLiteral("保存工作簿 %1 失败：%2").arg(path, e.text()));
    }
    const lxw_error e = workbook_close(wb);
    if (e != LXW_NO_ERROR)
        throw platform::Error(QStringLiteral("保存工作簿 %1 失败：%2").arg(path, lxwError(e)));
    if (::rename(part.constData(), QFile::encodeName(target).constData()) != 0)
        throw platform::Error(QStringLiteral("保存工作簿 %1 失败：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    removal.keep = true;
}

} // namespace xls
