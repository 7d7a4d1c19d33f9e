// The Excel stand-in: the automation members the export uses, over the BIFF8
// workbook writer. Every cell is a text cell (nothing typed as text is turned
// into a number), so what the export writes is what the workbook holds.
#include "excelapplication.h"

#include "platform/error.h"
#include "workbook.h"
#include "xlsxworkbook.h"

namespace xls {
namespace {

template <class Book, SheetLimits limits>
class Application final : public ExcelApplication {
public:
    SheetLimits Limits() const override { return limits; }
    void AddWorkbook() override
    {
        alive();
        // Like WorkBooks.Add: the new workbook becomes the active one. The
        // export uses one workbook; an earlier unsaved one is dropped.
        workbook_ = std::make_unique<Book>();
    }
    int SheetCount() override { return book().sheetCount(); }
    void ActivateSheet(int index) override { book().activate(index); }
    void SetColumnWidth(int column, int widthChars) override { book().setColumnWidth(column, widthChars); }
    void SetNumberFormatLocal(int row, int column, const QString& format) override
    {
        Book& b = book();
        if (format == QLatin1String("@"))
            b.setTextFormat(row, column, true);
        else if (format == QStringLiteral("G/通用格式") || format == QLatin1String("General"))
            b.setTextFormat(row, column, false);
        else
            throw platform::Error(QStringLiteral("不支持的单元格格式：%1").arg(format));
    }
    void SetValue(int row, int column, const QString& text) override { book().setValue(row, column, text); }
    void SaveAs(const QString& path) override { book().save(path); }
    void Quit() override
    {
        alive();
        workbook_.reset();
        quit_ = true;
    }

private:
    void alive() const
    {
        if (quit_)
            throw platform::Error(QStringLiteral("Excel 已退出"));
    }
    Book& book()
    {
        alive();
        if (!workbook_)
            throw platform::Error(QStringLiteral("没有打开的工作簿"));
        return *workbook_;
    }

    std::unique_ptr<Book> workbook_;
    bool quit_ = false;
};

} // namespace

std::unique_ptr<ExcelApplication> CreateExcelApplication() { return std::make_unique<Application<Workbook, kXlsLimits>>(); }

std::unique_ptr<ExcelApplication> CreateXlsxApplication()
{
    return std::make_unique<Application<XlsxWorkbook, kXlsxLimits>>();
}

ExcelFactory excelFactory(WorkbookFormat format)
{
    return format == WorkbookFormat::Xlsx ? ExcelFactory(CreateXlsxApplication) : ExcelFactory(CreateExcelApplication);
}

QString workbookExtension(WorkbookFormat format)
{
    return format == WorkbookFormat::Xlsx ? QStringLiteral(".xlsx") : QStringLiteral(".xls");
}

} // namespace xls
