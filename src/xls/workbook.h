#pragma once
// A BIFF8 workbook written in one pass: the sheets stream their cells to
// temporary files as they fill, the shared strings collect in memory, and
// save() assembles globals, SST and sheets into the "Workbook" stream of a
// compound file. Checks every limit of the format so that no file is written
// that Excel would refuse.
#include "sharedstrings.h"
#include "worksheet.h"

#include <QString>
#include <memory>
#include <vector>

namespace xls {

class Workbook {
public:
    // Three sheets "Sheet1".."Sheet3", the first active, as Excel makes one.
    Workbook();
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
    // renamed when complete. On failure nothing is left at path.
    void save(const QString& path);

    static constexpr int kMaxSheets = 4096;

private:
    Worksheet& checkedCell(int row, int column);

    std::vector<std::unique_ptr<Worksheet>> sheets_;
    int active_ = 0;
    SharedStrings strings_;
};

} // namespace xls
