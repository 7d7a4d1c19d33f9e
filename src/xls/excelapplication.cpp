// The Excel stand-in: the automation members the export uses, over the BIFF8
// workbook writer. Every cell is a text cell (nothing typed as text is turned
// into a number), so what the export writes is what the workbook holds.
#include "excelapplication.h"

#include "platform/error.h"
#include "workbook.h"

namespace xls {
namespace {

class Application final : public ExcelApplication {
public:
    void AddWorkbook() override
    {
        alive();
        // Like WorkBooks.Add: the new workbook becomes the active one. The
        // export uses one workbook; an earlier unsaved one is dropped.
        workbook_ = std::make_unique<Workbook>();
    }
    int SheetCount() override { return book().sheetCount(); }
    void ActivateSheet(int index) override { book().activate(index); }
    void SetColumnWidth(int column, int widthChars) override { book().setColumnWidth(column, widthChars); }
    void SetNumberFormatLocal(int row, int column, const QString& format) override
    {
        Workbook& b = book();
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
    Workbook& book()
    {
        alive();
        if (!workbook_)
            throw platform::Error(QStringLiteral("没有打开的工作簿"));
        return *workbook_;
    }

    std::unique_ptr<Workbook> workbook_;
    bool quit_ = false;
};

} // namespace

std::unique_ptr<ExcelApplication> CreateExcelApplication() { return std::make_unique<Application>(); }

} // namespace xls
