#include "app/statusbar.h"
#include <QLabel>

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
}

void TStatusBar::addPanel(int width, const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setFixedWidth(width);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setContentsMargins(3, 0, 3, 0);
    addWidget(label);
    panels_.append(label);
}

int TStatusBar::panelWidth(int index) const
{
    return index >= 0 && index < panels_.size() ? panels_[index]->width() : 0;
}

QString TStatusBar::panelText(int index) const
{
    return index >= 0 && index < panels_.size() ? panels_[index]->text() : QString();
}

void TStatusBar::setPanelText(int index, const QString& text)
{
    if (index < 0 || index >= panels_.size())
        return;
    panels_[index]->setText(text);
    if (panels_[index]->isVisible())
        panels_[index]->repaint();
}
