#pragma once
// The document detail window: every item of one document with its first value,
// as a two-column grid whose first row and column are headings. The window
// can be resized (the grid follows), the name column fits the names, and the
// value of the current cell can be copied.
#include "browse/core/documentrows.h"
#include "domino/notes.h"
#include <QDialog>
#include <functional>

class QAction;
class QFrame;
class QPushButton;
class QTableWidget;

class TfrmdocDetail : public QDialog {
    Q_OBJECT
public:
    explicit TfrmdocDetail(QWidget* parent = nullptr);

    QFrame* Panel1 = nullptr;
    QTableWidget* StringGrid1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    // "复制" (Ctrl+C, and the grid's context menu): the current cell's whole text.
    QAction* copyAction = nullptr;

    // Writes the heading row and one row per item name with its value text.
    void setRows(const QList<browse::DocumentRow>& rows);
    void copyCurrentCell();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BitBtn1Click();
    void placeControls();
    void fitNameColumn();
};

// Opens the database (server empty: a local file), finds the document and
// fills the window's grid. Errors propagate; the window is then not shown.
void FillDocDetail(TfrmdocDetail& window, domino::TNotesSession& session, const QString& server,
                   const QString& databasePath, const QString& documentId);

// Fills a new detail window and shows it modally over parent.
void ShowDocDetail(domino::TNotesSession& session, const QString& server,
                   const QString& databasePath, const QString& documentId,
                   QWidget* parent = nullptr);

// Tests look at the filled window instead of running its modal loop: while a
// hook is set, ShowDocDetail hands it the window rather than showing it.
using DocDetailShowHook = std::function<void(TfrmdocDetail&)>;
void setDocDetailShowHook(DocDetailShowHook hook);
