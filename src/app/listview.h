#pragma once
// The list of the main window. It keeps one item model and shows it either as
// icons (a QListView in icon mode) or as a report with columns (a QTreeView),
// switched by the view style, with the small item API the handlers need:
// columns, items with an image and sub-items, the selection, batch updates.
#include <QIcon>
#include <QList>
#include <QStringList>
#include <QWidget>

class QListView;
class QTreeView;
class QStackedLayout;
class QAbstractItemView;

enum class TViewStyle { vsIcon, vsReport };
inline constexpr TViewStyle vsIcon = TViewStyle::vsIcon;
inline constexpr TViewStyle vsReport = TViewStyle::vsReport;

class TListModel;

class TListView : public QWidget {
    Q_OBJECT
public:
    explicit TListView(QWidget* parent = nullptr);
    ~TListView() override;

    // Images shown beside item captions, by image index (-1: none).
    void setImages(QList<QIcon> images);

    TViewStyle ViewStyle() const { return style_; }
    void setViewStyle(TViewStyle style);

    // Whole-row selection and grid lines apply to the report style.
    bool RowSelect() const { return rowSelect_; }
    void setRowSelect(bool on);
    bool GridLines() const { return gridLines_; }
    void setGridLines(bool on);

    // Columns of the report style.
    void clearColumns();
    void addColumn(const QString& caption, int width);
    int columnCount() const;
    QString columnCaption(int column) const;
    int columnWidth(int column) const;

    // Items. addItem returns the new item's index.
    void clearItems();
    int addItem(const QString& caption, int imageIndex = -1);
    void addSubItem(int item, const QString& text);
    int itemCount() const;
    QString itemCaption(int item) const;
    int itemImageIndex(int item) const;
    QStringList subItems(int item) const;
    // Empty when the item has no such sub-item.
    QString subItemText(int item, int index) const;
    // An item whose caption is a label for its name (a view without a name)
    // carries the name; itemName gives it, else the caption.
    void setItemName(int item, const QString& name);
    QString itemName(int item) const;

    // Selection (one item at a time).
    int selectedCount() const;
    int selectedIndex() const;      // -1 when none
    QString selectedCaption() const; // empty when none
    void selectItem(int item);      // -1 clears the selection
    // Back to the first row with nothing selected, in both styles: what a
    // newly loaded page or list of views starts with.
    void scrollToFirst();

    // Batch updates nest; the list is repainted once, when the last one ends.
    void BeginUpdate();
    void EndUpdate();
    bool updating() const { return updateDepth_ > 0; }

    int Width() const { return width(); }

    // The widget showing the current style (for tests and focus).
    QAbstractItemView* currentView() const;
    QListView* iconView() const { return iconView_; }
    QTreeView* reportView() const { return reportView_; }

Q_SIGNALS:
    // A double click anywhere in the list, on an item or not.
    void OnDblClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyColumnWidths();

    TListModel* model_ = nullptr;
    QListView* iconView_ = nullptr;
    QTreeView* reportView_ = nullptr;
    QStackedLayout* stack_ = nullptr;
    TViewStyle style_ = vsIcon;
    bool rowSelect_ = false;
    bool gridLines_ = false;
    int updateDepth_ = 0;
};
