#include "browse/docdetail.h"
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>

namespace {

DocDetailShowHook& showHook()
{
    static DocDetailShowHook hook;
    return hook;
}

// A cell of the heading row or column: drawn like a header, never selected.
QTableWidgetItem* fixedCell(const QString& text, const QPalette& palette)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
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
    // A dialog border: fixed size, no maximise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(568, 493);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setGeometry(0, 0, 568, 493);

    StringGrid1 = new QTableWidget(1, 2, Panel1);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setGeometry(56, 16, 465, 409);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    // Row 0 and column 0 are the grid's own fixed cells; Qt's headers would be a second set.
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->horizontalHeader()->setMinimumSectionSize(8);
    StringGrid1->verticalHeader()->setDefaultSectionSize(24);
    StringGrid1->setColumnWidth(0, 64);
    StringGrid1->setColumnWidth(1, 248);
    StringGrid1->setWordWrap(false);
    StringGrid1->setTextElideMode(Qt::ElideRight);

    BitBtn1 = new QPushButton(QStringLiteral("确   定"), Panel1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(208, 440, 121, 33);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmdocDetail::BitBtn1Click);

    setRows({});
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfrmdocDetail::setRows(const QList<std::pair<QString, QString>>& rows)
{
    const QPalette pal = palette();
    StringGrid1->clearContents();
    StringGrid1->setRowCount(int(rows.size()) + 1);
    StringGrid1->setItem(0, 0, fixedCell(QStringLiteral("文档域名"), pal));
    StringGrid1->setItem(0, 1, fixedCell(QStringLiteral("域值"), pal));
    // The columns keep their narrow widths; a tool tip shows what they cut off.
    for (int r = 0; r < rows.size(); ++r) {
        QTableWidgetItem* name = fixedCell(rows[r].first, pal);
        name->setToolTip(rows[r].first);
        StringGrid1->setItem(r + 1, 0, name);
        QTableWidgetItem* value = valueCell(rows[r].second);
        value->setToolTip(rows[r].second);
        StringGrid1->setItem(r + 1, 1, value);
    }
}

void TfrmdocDetail::BitBtn1Click() { close(); }

void FillDocDetail(TfrmdocDetail& window, domino::TNotesSession& session, const QString& server,
                   const QString& databasePath, const QString& documentId)
{
    domino::TNotesDatabase database;
    database.ConnectTo(session.OpenDatabase(server, databasePath, false));
    domino::TNotesDocument document;
    document.ConnectTo(database.DocumentById(documentId));

    const QStringList names = document.Items();
    QList<std::pair<QString, QString>> rows;
    rows.reserve(names.size());
    for (const QString& name : names)
        rows.append({name, domino::firstValueText(document.ItemValue(name))});
    window.setRows(rows);
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
