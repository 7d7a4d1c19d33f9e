#include "workbook.h"

#include "byteorder.h"
#include "compoundfile.h"
#include "excelapplication.h"
#include "platform/error.h"
#include "summaryinfo.h"

#include <QFileInfo>
#include <QSaveFile>
#include <string_view>
#include <utility>

namespace xls {
namespace {

constexpr std::size_t kMaxRecordData = 8224;
// The globals substream beyond its shared strings, at most: the fixed records,
// then per sheet its TABID entry and BOUNDSHEET.
constexpr std::uint64_t kMaxGlobalsBytes = 4096;
constexpr std::uint64_t kMaxBytesPerSheetName = 2 + 12 + 2 * 16;

// Collects small records of the globals substream.
class Records {
public:
    char* begin(std::uint16_t type, std::size_t size)
    {
        Q_ASSERT(size <= kMaxRecordData);
        const std::size_t at = bytes_.size();
        bytes_.resize(at + 4 + size);
        char* p = bytes_.data() + at;
        return put16(put16(p, type), std::uint16_t(size));
    }
    std::size_t size() const { return bytes_.size(); }
    const char* data() const { return bytes_.data(); }

private:
    std::vector<char> bytes_;
};

void putBof(Records& r, std::uint16_t kind)
{
    char* p = r.begin(0x0809, 16);
    p = put16(p, 0x0600); // BIFF8
    p = put16(p, kind);
    p = put16(p, 0x0DBB); // build
    p = put16(p, 0x07CC); // year
    p = put32(p, 0);
    put32(p, 0x06);       // lowest version that can read the file: BIFF8
}

void putFont(Records& r, const QString& name)
{
    char* p = r.begin(0x0031, 16 + 2 * std::size_t(name.size()));
    p = put16(p, 240);    // 12 points, in twips
    p = put16(p, 0);      // plain
    p = put16(p, 0x7FFF); // automatic colour
    p = put16(p, 400);    // normal weight
    p = put16(p, 0);      // no super- or subscript
    p = put8(p, 0);       // no underline
    p = put8(p, 0);       // family: not specified
    p = put8(p, 134);     // GB2312 character set
    p = put8(p, 0);
    p = put8(p, std::uint8_t(name.size()));
    p = put8(p, 1);       // UTF-16 characters
    for (QChar c : name)
        p = put16(p, c.unicode());
}

void putXf(Records& r, std::uint16_t font, std::uint16_t format, bool style, std::uint8_t used)
{
    char* p = r.begin(0x00E0, 20);
    p = put16(p, font);
    p = put16(p, format);
    p = put16(p, style ? 0xFFF5 : 0x0001); // locked; a style XF has no parent, a cell XF has style 0
    p = put8(p, 0x20);    // bottom aligned
    p = put8(p, 0);       // no rotation
    p = put8(p, 0);       // no indent
    p = put8(p, used);    // attributes that differ from the parent
    p = put32(p, 0);      // no borders
    p = put32(p, 0);
    put16(p, 0x20C0);     // pattern colours: automatic
}

} // namespace

Workbook::Workbook(std::uint64_t maxStreamSize)
    : streamLimit_(maxStreamSize ? maxStreamSize : CompoundFileWriter::maxStreamSize(summaryStreams()))
{
    for (int i = 1; i <= 3; ++i)
        sheets_.push_back(std::make_unique<Worksheet>(QStringLiteral("Sheet%1").arg(i)));
}

Workbook::~Workbook() = default;

void Workbook::activate(int index)
{
    if (index < 1 || index > kMaxSheets)
        throw platform::Error(QStringLiteral("工作表序号 %1 无效（应为 1 到 %2）").arg(index).arg(kMaxSheets));
    while (int(sheets_.size()) < index)
        sheets_.push_back(std::make_unique<Worksheet>(QStringLiteral("Sheet%1").arg(sheets_.size() + 1)));
    active_ = index - 1;
}

void Workbook::setColumnWidth(int column, int widthChars)
{
    if (column < 1 || column > kMaxColumns)
        throw platform::Error(QStringLiteral("列号 %1 超出范围（1 到 %2）").arg(column).arg(kMaxColumns));
    if (widthChars < 0 || widthChars > 255)
        throw platform::Error(QStringLiteral("列宽 %1 无效（应为 0 到 255 个字符）").arg(widthChars));
    sheets_[std::size_t(active_)]->setColumnWidth(column - 1, widthChars);
}

Worksheet& Workbook::checkedCell(int row, int column)
{
    if (row < 1 || row > kMaxRows)
        throw platform::Error(QStringLiteral("行号 %1 超出范围（1 到 %2）").arg(row).arg(kMaxRows));
    if (column < 1 || column > kMaxColumns)
        throw platform::Error(QStringLiteral("列号 %1 超出范围（1 到 %2）").arg(column).arg(kMaxColumns));
    Worksheet& sheet = *sheets_[std::size_t(active_)];
    if (row - 1 < sheet.currentRow())
        throw platform::Error(QStringLiteral("工作表 %1 已写到第 %2 行，不能再写第 %3 行")
                                  .arg(sheet.name())
                                  .arg(sheet.currentRow() + 1)
                                  .arg(row));
    return sheet;
}

std::uint64_t Workbook::maxStreamSize() const
{
    const std::uint64_t sheets = sheets_.size();
    return kMaxGlobalsBytes + sheets * kMaxBytesPerSheetName + strings_.maxWrittenSize() +
           sheets * Worksheet::kMaxFixedBytes + cellBytes_;
}

void Workbook::reserveCell(Worksheet& sheet, int row, int column)
{
    std::uint64_t add = Worksheet::kCellBytes;
    const int r = row - 1, current = sheet.currentRow();
    if (r != current) {
        add += Worksheet::kRowBytes;
        if (current < 0 || r / Worksheet::kRowsPerBlock != current / Worksheet::kRowsPerBlock)
            add += Worksheet::kBlockBytes;
    }
    if (maxStreamSize() + add > streamLimit_)
        throw platform::Error(QStringLiteral("工作簿已达到 Excel 97-2003 文件的大小上限（2 GB），工作表 %1 第 %2 行第 %3 列写不下了")
                                  .arg(sheet.name())
                                  .arg(row)
                                  .arg(column));
    cellBytes_ += add;
}

void Workbook::setTextFormat(int row, int column, bool text)
{
    Worksheet& sheet = checkedCell(row, column);
    if (text)
        reserveCell(sheet, row, column);
    sheet.setTextFormat(row - 1, column - 1, text);
}

void Workbook::setValue(int row, int column, QStringView text)
{
    Worksheet& sheet = checkedCell(row, column);
    if (text.size() > kMaxCellChars)
        throw platform::Error(QStringLiteral("单元格 (%1, %2) 的文本有 %3 个字符，超过上限 %4")
                                  .arg(row)
                                  .arg(column)
                                  .arg(text.size())
                                  .arg(kMaxCellChars));
    // An empty value empties the cell, as in Excel.
    if (text.isEmpty()) {
        sheet.clearValue(row - 1, column - 1);
        return;
    }
    // The string counts before the check, so that the bound holds even for
    // a string kept while its cell is refused.
    const std::uint32_t index = strings_.add(text);
    reserveCell(sheet, row, column);
    sheet.setValue(row - 1, column - 1, index);
}

void Workbook::save(const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw platform::Error(QStringLiteral("无法创建文件 %1：%2").arg(QFileInfo(path).absoluteFilePath(), file.errorString()));
    try {
        save(file);
    } catch (const platform::Error& e) {
        file.cancelWriting();
        throw platform::Error(QStringLiteral("保存工作簿 %1 失败：%2").arg(path, e.text()));
    }
    if (!file.commit())
        throw platform::Error(QStringLiteral("保存工作簿 %1 失败：%2").arg(path, file.errorString()));
}

void Workbook::save(QIODevice& device)
{
    {
        CompoundFileWriter out(device, QStringLiteral("Workbook"), summaryStreams());

        Records g;
        putBof(g, 0x0005);
        put16(g.begin(0x00E1, 2), 1200);    // INTERFACEHDR
        put16(g.begin(0x00C1, 2), 0);       // MMS
        g.begin(0x00E2, 0);                 // INTERFACEEND
        {
            // WRITEACCESS: the name of the program that saved, padded with blanks.
            char* p = g.begin(0x005C, 112);
            const QByteArray who("Quillet");
            p = put8(put16(p, std::uint16_t(who.size())), 0);
            p = putBytes(p, who.constData(), std::size_t(who.size()));
            std::fill(p, p + (112 - 3 - who.size()), ' ');
        }
        put16(g.begin(0x0042, 2), 1200);    // CODEPAGE: UTF-16
        put16(g.begin(0x0161, 2), 0);       // DSF: no double stream
        {
            char* p = g.begin(0x013D, 2 * sheets_.size()); // TABID
            for (std::size_t i = 0; i < sheets_.size(); ++i)
                p = put16(p, std::uint16_t(i + 1));
        }
        put16(g.begin(0x009C, 2), 14);      // FNGROUPCOUNT: the built-in groups
        put16(g.begin(0x0019, 2), 0);       // WINDOWPROTECT
        put16(g.begin(0x0012, 2), 0);       // PROTECT
        put16(g.begin(0x0013, 2), 0);       // PASSWORD: none
        put16(g.begin(0x01AF, 2), 0);       // PROT4REV
        put16(g.begin(0x01BC, 2), 0);       // PROT4REVPASS
        {
            char* p = g.begin(0x003D, 18); // WINDOW1
            p = put16(p, 0x0168);
            p = put16(p, 0x001E);
            p = put16(p, 0x4000);
            p = put16(p, 0x2500);
            p = put16(p, 0x0038); // horizontal and vertical scroll bars, sheet tabs
            // The workbook opens on its first sheet, where the export begins,
            // whichever sheet was filled last.
            p = put16(p, 0);
            p = put16(p, 0);
            p = put16(p, 1);      // one selected sheet
            put16(p, 0x0258);
        }
        put16(g.begin(0x0040, 2), 0);       // BACKUP
        put16(g.begin(0x008D, 2), 0);       // HIDEOBJ: show objects
        put16(g.begin(0x0022, 2), 0);       // DATE1904: dates from 1900
        put16(g.begin(0x000E, 2), 1);       // PRECISION: as shown
        put16(g.begin(0x01B7, 2), 0);       // REFRESHALL
        put16(g.begin(0x00DA, 2), 0);       // BOOKBOOL
        // Font 4 does not exist in BIFF: five records make fonts 0-3 and 5.
        const QString font = QStringLiteral("宋体");
        for (int i = 0; i < 5; ++i)
            putFont(g, font);
        // The eight currency formats every workbook carries, as a Chinese
        // Excel writes them; "@" (49) is built in.
        static const std::pair<std::uint16_t, const char16_t*> formats[] = {
            {5, u"\"¥\"#,##0;\"¥\"\\-#,##0"},
            {6, u"\"¥\"#,##0;[Red]\"¥\"\\-#,##0"},
            {7, u"\"¥\"#,##0.00;\"¥\"\\-#,##0.00"},
            {8, u"\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00"},
            {42, u"_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ;_ \"¥\"* \"-\"_ ;_ @_ "},
            {41, u"_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ "},
            {44, u"_ \"¥\"* #,##0.00_ ;_ \"¥\"* \\-#,##0.00_ ;_ \"¥\"* \"-\"??_ ;_ @_ "},
            {43, u"_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ "},
        };
        for (const auto& [index, text] : formats) {
            const std::u16string_view f(text);
            char* p = g.begin(0x041E, 5 + f.size()); // FORMAT, characters in 8 bits
            p = put16(p, index);
            p = put8(put16(p, std::uint16_t(f.size())), 0);
            for (char16_t c : f)
                p = put8(p, std::uint8_t(c));
        }
        // The 15 style XFs Excel expects, the default cell XF (15) and the
        // text cell XF (16): number format 49 is the built-in "@".
        putXf(g, 0, 0, true, 0x00);
        for (std::uint16_t i = 1; i < 15; ++i)
            putXf(g, i <= 2 ? 1 : i <= 4 ? 2 : 0, 0, true, 0xF4);
        putXf(g, 0, 0, false, 0x00);
        putXf(g, 0, 49, false, 0x04);
        {
            char* p = g.begin(0x0293, 4); // STYLE: built-in Normal on XF 0
            p = put16(p, 0x8000);
            p = put8(p, 0);
            put8(p, 0xFF);
        }
        put16(g.begin(0x0160, 2), 0);       // USESELFS
        std::vector<std::size_t> sheetOffsets;
        for (const auto& s : sheets_) {
            const QString& name = s->name();
            char* p = g.begin(0x0085, 8 + 2 * std::size_t(name.size()));
            sheetOffsets.push_back(g.size() - (8 + 2 * std::size_t(name.size())));
            p = put32(p, 0); // stream offset of the sheet's BOF, patched below
            p = put8(p, 0);  // visible
            p = put8(p, 0);  // worksheet
            p = put8(p, std::uint8_t(name.size()));
            p = put8(p, 1);
            for (QChar c : name)
                p = put16(p, c.unicode());
        }
        {
            char* p = g.begin(0x008C, 4); // COUNTRY: China
            put16(put16(p, 86), 86);
        }
        out.write(g.data(), g.size());

        std::uint64_t refs = 0;
        for (const auto& s : sheets_)
            refs += s->stringCells();
        strings_.write(out, std::uint32_t(std::min<std::uint64_t>(refs, 0xFFFFFFFFu)));
        char eof[4];
        put16(put16(eof, 0x000A), 0);
        out.write(eof, sizeof eof);

        for (std::size_t i = 0; i < sheets_.size(); ++i) {
            char offset[4];
            put32(offset, std::uint32_t(out.position()));
            out.patch(sheetOffsets[i], offset, sizeof offset);
            sheets_[i]->write(out, i == 0);
        }
        out.finish();
    }
}

} // namespace xls
