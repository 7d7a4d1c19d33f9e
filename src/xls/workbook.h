#pragma once
// A BIFF8 workbook written in one pass: the sheets stream their cells to
// temporary files as they fill, the shared strings collect in memory, and
// save() assembles globals, SST and sheets into the "Workbook" stream of a
// compound file. Checks every limit of the format so that no file is written
// that Excel would refuse.
#include "sharedstrings.h"
#include "worksheet.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class QIODevice;

namespace xls {

class Workbook {
public:
    // Three sheets "Sheet1".."Sheet3", the first active, as Excel makes one.
    // maxStreamSize (0: the largest a file within 2 GB can hold) bounds the
    // Workbook stream: a cell that could take it past is refused.
    explicit Workbook(std::uint64_t maxStreamSize = 0);
    ~Workbook();

    int sheetCount() const { return int(sheets_.size()); }
    QString sheetName(int index) const { return sheets_[std::size_t(index - 1)]->name(); }
    // 1-based; sheets "SheetN" are added up to index.
    void activate(int index);
    int activeSheet() const { return active_ + 1; }

    // On the active sheet; rows and columns from 1.
    void setColumnWidth(int column, int widthChars);
    void setTextFormat(int row, int column, bool text);
    void setValue(int row, int column, QStringView text);

    // Writes the workbook to path atomically: a temporary file beside it,
    // renamed when complete. On failure nothing is left at path. The file
    // opens on the first sheet, whichever sheet was filled last: an export
    // continued on further sheets is seen from its beginning.
    void save(const QString& path);
    // The same into an open, empty, seekable device.
    void save(QIODevice& device);

    // What the Workbook stream would take if saved now, at most.
    std::uint64_t maxStreamSize() const;

    static constexpr int kMaxSheets = 4096;

private:
    Worksheet& checkedCell(int row, int column);
    // Counts a cell about to be written on the sheet (and its row and block
    // when new); refuses it when the stream could pass its limit.
    void reserveCell(Worksheet& sheet, int row, int column);

    std::vector<std::unique_ptr<Worksheet>> sheets_;
    int active_ = 0;
    SharedStrings strings_;
    std::uint64_t streamLimit_;
    std::uint64_t cellBytes_ = 0; // cells, rows and blocks of every sheet, at most
};

} // namespace xls
