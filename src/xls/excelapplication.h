#pragma once
// The Excel stand-in, shaped like the automation members the export uses:
//   WorkBooks.Add                      -> AddWorkbook()
//   activesheet.columns(c).columnwidth -> SetColumnWidth(c, w)
//   cells(r, c).NumberFormatLocal      -> SetNumberFormatLocal(r, c, f)
//   cells(r, c).value                  -> SetValue(r, c, text)
//   activeworkbook.SaveAs(path)        -> SaveAs(path)
//   quit                               -> Quit()
// Rows and columns count from 1. Every member fails by throwing
// platform::Error with its own text. A new workbook has three sheets, the
// first active; ActivateSheet moves to another one, adding sheets as needed,
// so that an export can continue past the limits of one sheet.
#include <QString>
#include <functional>
#include <memory>

namespace xls {

// The limits of an Excel 97-2003 sheet and cell.
inline constexpr int kMaxRows = 65536;
inline constexpr int kMaxColumns = 256;
inline constexpr int kMaxCellChars = 32767;

// What one sheet and one cell of a writer's format hold; an export continues
// on a further sheet past them.
struct SheetLimits {
    int rows;
    int columns;
    int cellChars;
};
inline constexpr SheetLimits kXlsLimits{kMaxRows, kMaxColumns, kMaxCellChars};
inline constexpr SheetLimits kXlsxLimits{1048576, 16384, 32767};

// The workbook formats this program writes.
enum class WorkbookFormat { Xls, Xlsx };

class ExcelApplication {
public:
    virtual ~ExcelApplication() = default;
    virtual void AddWorkbook() = 0;
    virtual int SheetCount() = 0;
    virtual void ActivateSheet(int index) = 0;  // 1-based
    virtual void SetColumnWidth(int column, int widthChars) = 0;
    virtual void SetNumberFormatLocal(int row, int column, const QString& format) = 0;
    // Cells of a sheet are written row by row: a row once left is not written
    // again (rows stream to disk), within a row any column in any order.
    virtual void SetValue(int row, int column, const QString& text) = 0;
    virtual void SaveAs(const QString& path) = 0;
    virtual void Quit() = 0;
    // The limits of the format this application writes.
    virtual SheetLimits Limits() const { return kXlsLimits; }
};

// "Excel.Application": the workbook writer of this program, writing Excel
// 97-2003 (.xls) workbooks.
std::unique_ptr<ExcelApplication> CreateExcelApplication();
// The same members over the Office Open XML (.xlsx) writer.
std::unique_ptr<ExcelApplication> CreateXlsxApplication();

using ExcelFactory = std::function<std::unique_ptr<ExcelApplication>()>;

// The writer of a format, and the extension its files end in (".xls", ".xlsx").
ExcelFactory excelFactory(WorkbookFormat format);
QString workbookExtension(WorkbookFormat format);

} // namespace xls
