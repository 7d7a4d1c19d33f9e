#include "fakeexcel.h"
#include "platform/error.h"

namespace fakes {

xls::ExcelFactory FakeExcelState::factory()
{
    return [this]() -> std::unique_ptr<xls::ExcelApplication> {
        ++created;
        if (failCreate)
            return nullptr;
        return std::make_unique<FakeExcel>(this);
    };
}

void FakeExcel::call(const QString& text)
{
    if (s_->quit)
        throw platform::Error(QStringLiteral("Excel has quit"));
    if (s_->failWhen && s_->failWhen(text))
        throw platform::Error(QStringLiteral("failed: ") + text);
    s_->calls << text;
}

void FakeExcel::AddWorkbook()
{
    if (s_->failAddWorkbook)
        throw platform::Error(QStringLiteral("Add failed"));
    call(QStringLiteral("AddWorkbook"));
    s_->sheetCount = 3;
    s_->activeSheet = 1;
}

void FakeExcel::ActivateSheet(int index)
{
    call(QStringLiteral("ActivateSheet(%1)").arg(index));
    s_->activeSheet = index;
    s_->sheetCount = std::max(s_->sheetCount, index);
}

void FakeExcel::SetColumnWidth(int column, int widthChars)
{
    call(QStringLiteral("SetColumnWidth(%1,%2,%3)").arg(s_->activeSheet).arg(column).arg(widthChars));
    s_->widths[{s_->activeSheet, column}] = widthChars;
}

void FakeExcel::SetNumberFormatLocal(int row, int column, const QString& format)
{
    call(QStringLiteral("SetNumberFormatLocal(%1,%2,%3,%4)").arg(s_->activeSheet).arg(row).arg(column).arg(format));
    s_->formats[{s_->activeSheet, row, column}] = format;
}

void FakeExcel::SetValue(int row, int column, const QString& text)
{
    call(QStringLiteral("SetValue(%1,%2,%3,%4)").arg(s_->activeSheet).arg(row).arg(column).arg(text.left(200)));
    s_->values[{s_->activeSheet, row, column}] = text;
}

void FakeExcel::SaveAs(const QString& path)
{
    call(QStringLiteral("SaveAs(%1)").arg(path));
    s_->savedAs = path;
}

void FakeExcel::Quit()
{
    call(QStringLiteral("Quit"));
    s_->quit = true;
}

} // namespace fakes
