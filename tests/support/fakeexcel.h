#pragma once
// A workbook object that records every call and fails on demand, and an
// export host that records the progress window's calls.
#include "export/viewexport.h"
#include "xls/excelapplication.h"
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <tuple>

namespace fakes {

// What the fake workbook object has been asked and holds; the test keeps it,
// test, since the export owns (and destroys) the object itself.
struct FakeExcelState {
    struct Cell {
        int sheet, row, column;
        bool operator<(const Cell& o) const
        {
            return std::tie(sheet, row, column) < std::tie(o.sheet, o.row, o.column);
        }
        bool operator==(const Cell&) const = default;
    };
    QStringList calls;            // "SetValue(1,2,2,Subject)" (sheet first), "SaveAs(path)", ...
    QMap<Cell, QString> values;
    QMap<Cell, QString> formats;
    QMap<std::pair<int, int>, int> widths;  // (sheet, column) -> width
    int activeSheet = 1;
    int sheetCount = 0;
    bool quit = false;
    QString savedAs;
    int created = 0;
    // Called with each call's text before it takes effect; returning true makes it throw.
    std::function<bool(const QString& call)> failWhen;
    bool failCreate = false;       // the factory returns no object
    bool failAddWorkbook = false;
    xls::SheetLimits limits = xls::kXlsLimits;  // what the object says its sheets hold

    QString value(int row, int column, int sheet = 1) const { return values.value({sheet, row, column}); }
    xls::ExcelFactory factory();
};

class FakeExcel : public xls::ExcelApplication {
public:
    explicit FakeExcel(FakeExcelState* state) : s_(state) {}
    void AddWorkbook() override;
    int SheetCount() override { return s_->sheetCount; }
    void ActivateSheet(int index) override;
    void SetColumnWidth(int column, int widthChars) override;
    void SetNumberFormatLocal(int row, int column, const QString& format) override;
    void SetValue(int row, int column, const QString& text) override;
    void SaveAs(const QString& path) override;
    void Quit() override;
    xls::SheetLimits Limits() const override { return s_->limits; }

private:
    void call(const QString& text);
    FakeExcelState* s_;  // not owned: the test keeps it
};

// Records the progress window's calls as "ShowWait", "SetWaitText(t)",
// "SetWaitProgress(max,pos)", "CloseWait", "Running(1)"/"Running(0)".
class RecordingHost : public exporting::ExportHost {
public:
    QStringList calls;
    int processed = 0;
    std::function<void()> onProcessEvents;
    bool runningSeen = false;  // exportRunning() was true while events were let through

    void ShowWait() override { calls << QStringLiteral("ShowWait"); }
    void SetWaitText(const QString& text) override { calls << QStringLiteral("SetWaitText(%1)").arg(text); }
    void SetWaitProgress(int max, int position) override
    {
        calls << QStringLiteral("SetWaitProgress(%1,%2)").arg(max).arg(position);
    }
    void CloseWait() override { calls << QStringLiteral("CloseWait"); }
    void ProcessEvents() override
    {
        ++processed;
        runningSeen = runningSeen || exporting::exportRunning();
        if (onProcessEvents)
            onProcessEvents();
    }
    void RunningChanged(bool running) override { calls << QStringLiteral("Running(%1)").arg(int(running)); }
};

} // namespace fakes
