#include "browse/docdetail.h"
#include "browse/core/texts.h"
#include <QAction>
#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QTableWidget>
#include <algorithm>

namespace {

// The window as first shown, and the margins its grid and button keep when
// it is resized.
constexpr QSize kInitialSize(568, 493);
constexpr QRect kGrid(56, 16, 465, 409);
constexpr QRect kButton(208, 440, 121, 33);
constexpr int kNameColumnWidth = 64;
constexpr int kValueColumnWidth = 248;

DocDetailShowHook& showHook()
{
    static DocDetailShowHook hook;
    return hook;
}

// A cell of the heading row or column: drawn like a header. Selectable, so
// that an item name can be copied as well as a value.
QTableWidgetItem* fixedCell(const QString& text, const QPalette& palette)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setBackground(palette.button());
    item->setForeground(palette.buttonText());
    return item;
}

QTableWidgetItem* valueCell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

TfrmdocDetail::TfrmdocDetail(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmdocDetail"));
    setWindowTitle(QStringLiteral("文档详细资料"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    setMinimumSize(kInitialSize / 2);
    resize(kInitialSize);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setFrameShadow(QFrame::Raised);

    StringGrid1 = new QTableWidget(1, 2, Panel1);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    // Row 0 and column 0 are the grid's own fixed cells; Qt's headers would be a second set.
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->horizontalHeader()->setMinimumSectionSize(8);
    // The value column takes what the names leave.
    StringGrid1->horizontalHeader()->setStretchLastSection(true);
    StringGrid1->verticalHeader()->setDefaultSectionSize(24);
    StringGrid1->setColumnWidth(0, kNameColumnWidth);
    StringGrid1->setColumnWidth(1, kValueColumnWidth);
    StringGrid1->setWordWrap(false);
    StringGrid1->setTextElideMode(Qt::ElideRight);

    copyAction = new QAction(QStringLiteral("复制"), StringGrid1);
    copyAction->setObjectName(QStringLiteral("copyAction"));
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copyAction, &QAction::triggered, this, &TfrmdocDetail::copyCurrentCell);
    StringGrid1->addAction(copyAction);
    StringGrid1->setContextMenuPolicy(Qt::ActionsContextMenu);

    BitBtn1 = new QPushButton(QStringLiteral("确   定"), Panel1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmdocDetail::BitBtn1Click);

    placeControls();
    setRows({});
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfrmdocDetail::placeControls()
{
    const QSize grow = size() - kInitialSize;
    Panel1->setGeometry(rect());
    StringGrid1->setGeometry(kGrid.adjusted(0, 0, grow.width(), grow.height()));
    BitBtn1->setGeometry(kButton.translated(grow.width() / 2, grow.height()));
}

void TfrmdocDetail::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    placeControls();
    fitNameColumn();
}

void TfrmdocDetail::fitNameColumn()
{
    // Wide enough for the longest name, never less than the first width,
    // and never more than half the grid, so a value stays in sight.
    const QFontMetrics fm = StringGrid1->fontMetrics();
    int widest = 0;
    for (int r = 0; r < StringGrid1->rowCount(); ++r)
        if (const QTableWidgetItem* item = StringGrid1->item(r, 0))
            widest = std::max(widest, fm.horizontalAdvance(item->text()));
    const int padding = 2 * StringGrid1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12;
    const int limit = std::max(kNameColumnWidth, StringGrid1->width() / 2);
    StringGrid1->setColumnWidth(0, std::clamp(widest + padding, kNameColumnWidth, limit));
}

void TfrmdocDetail::setRows(const QList<browse::DocumentRow>& rows)
{
    const QPalette pal = palette();
    StringGrid1->clearContents();
    StringGrid1->setRowCount(int(rows.size()) + 1);
    StringGrid1->setItem(0, 0, fixedCell(QStringLiteral("文档域名"), pal));
    StringGrid1->setItem(0, 1, fixedCell(QStringLiteral("域值"), pal));
    for (int r = 0; r < rows.size(); ++r) {
        QTableWidgetItem* name = fixedCell(rows[r].name, pal);
        name->setToolTip(browse::excerpt(rows[r].name));
        StringGrid1->setItem(r + 1, 0, name);
        QTableWidgetItem* value = valueCell(rows[r].value);
        // The cell shows one line; the tip shows more of it, within bounds.
        value->setToolTip(browse::excerpt(rows[r].value));
        StringGrid1->setItem(r + 1, 1, value);
    }
    fitNameColumn();
}

void TfrmdocDetail::copyCurrentCell()
{
    const QTableWidgetItem* item = StringGrid1->currentItem();
    if (!item)
        return;
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(item->text());
}

void TfrmdocDetail::BitBtn1Click() { close(); }

void FillDocDetail(TfrmdocDetail& window, domino::TNotesSession& session, const QString& server,
                   const QString& databasePath, const QString& documentId)
{
    window.setRows(browse::readDocumentRows(session, server, databasePath, documentId));
}

void ShowDocDetail(domino::TNotesSession& session, const QString& server,
                   const QString& databasePath, const QString& documentId, QWidget* parent)
{
    TfrmdocDetail window(parent);
    FillDocDetail(window, session, server, databasePath, documentId);
    if (showHook()) {
        showHook()(window);
        return;
    }
    window.exec();
}

void setDocDetailShowHook(DocDetailShowHook hook) { showHook() = std::move(hook); }
