#include "app/panels.h"
#include "app/guard.h"
#include <QMouseEvent>

TSplitterBar::TSplitterBar(QWidget* parent) : QFrame(parent)
{
    setCursor(Qt::SizeHorCursor);
    // Moves without a button arrive too: they record the pointer position.
    setMouseTracking(true);
}

void TSplitterBar::mouseMoveEvent(QMouseEvent* event)
{
    if (onMouseMove) {
        const Qt::MouseButtons buttons = event->buttons();
        const int x = int(event->position().x());
        app::runGuarded([&] { onMouseMove(buttons, x); });
    }
    event->accept();
}

TMiddleArea::TMiddleArea(QWidget* left, QWidget* bar, QWidget* client, QWidget* parent)
    : QWidget(parent), left_(left), bar_(bar), client_(client)
{
    for (QWidget* w : {left_, bar_, client_})
        w->setParent(this);
    leftWidth_ = left_->width();
}

void TMiddleArea::setLeftWidth(int width)
{
    leftWidth_ = std::max(0, width);
    place();
}

void TMiddleArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
}

void TMiddleArea::place()
{
    const int h = height();
    const int barWidth = bar_->width();
    left_->setGeometry(0, 0, leftWidth_, h);
    bar_->setGeometry(leftWidth_, 0, barWidth, h);
    const int clientLeft = leftWidth_ + barWidth;
    client_->setGeometry(clientLeft, 0, std::max(0, width() - clientLeft), h);
}
