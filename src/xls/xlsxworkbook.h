#pragma once
// An Office Open XML (.xlsx) workbook written with libxlsxwriter. The cells
// stream row by row into a temporary file per sheet, as the .xls writer's
// do; save() hands them to libxlsxwriter in constant-memory mode, which writes
// the file beside its target, renamed into place when complete. So a save can
// be repeated, and a workbook keeps filling after one, exactly as the .xls
// workbook does, and memory stays one row per sheet.
#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <vector>

namespace xls {

class TempFile;

class XlsxWorkbook {
public:
    // Three sheets "Sheet1".."Sheet3", the first active, as Excel makes one.
    XlsxWorkbook();
    ~XlsxWorkbook();

    int sheetCount() const { return int(sheets_.size()); }
    // 1-based; sheets "SheetN" are added up to index.
    void activate(int index);
    int activeSheet() const { return active_ + 1; }

    // On the active sheet; rows and columns from 1.
    void setColumnWidth(int column, int widthChars);
    void setTextFormat(int row, int column, bool text);
    void setValue(int row, int column, QStringView text);

    // Writes the workbook to path atomically. On failure nothing is left at
    // path. The file opens on the first sheet.
    void save(const QString& path);

    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;
    static constexpr int kMaxSheets = 4096;

private:
    struct Sheet;
    Sheet& checkedCell(int row, int column);

    std::vector<std::unique_ptr<Sheet>> sheets_;
    int active_ = 0;
};

} // namespace xls
