#pragma once
// The status bar of the main window: fixed-width text panels side by side.
#include <QList>
#include <QStatusBar>

class QLabel;

class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent = nullptr);

    void addPanel(int width, const QString& text = {});
    int panelCount() const { return int(panels_.size()); }
    int panelWidth(int index) const;
    QString panelText(int index) const;
    // Repaints the panel at once, so a running command shows the new text.
    void setPanelText(int index, const QString& text);

private:
    QList<QLabel*> panels_;
};
