#pragma once
// The splitter bar between tree and list, and the area that places the tree
// pane, the bar and the list pane side by side. The tree pane keeps the width
// it is given, also one wider than the area (it is then cut off at the right
// edge): nothing here makes the window grow.
#include <QFrame>
#include <functional>

class TSplitterBar : public QFrame {
    Q_OBJECT
public:
    explicit TSplitterBar(QWidget* parent = nullptr);
    // Called on every mouse move over the bar with the buttons held at the
    // event and the pointer's x relative to the bar's left edge.
    std::function<void(Qt::MouseButtons, int)> onMouseMove;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};

class TMiddleArea : public QWidget {
    Q_OBJECT
public:
    TMiddleArea(QWidget* left, QWidget* bar, QWidget* client, QWidget* parent = nullptr);
    int leftWidth() const { return leftWidth_; }
    void setLeftWidth(int width);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();
    QWidget* left_;
    QWidget* bar_;
    QWidget* client_;
    int leftWidth_ = 0;
};
