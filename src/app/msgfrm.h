#pragma once
// The progress window itself; commands use the routines of waitmsg.h.
#include <QElapsedTimer>
#include <QFrame>
#include <QList>
#include <QPixmap>
#include <QLabel>
#include <QWidget>

class QProgressBar;
class QTimer;

// The message label is only 12 pixels high, as tall as its font. A CJK font's
// line box is taller than that, and QLabel would cut the glyphs off at the
// bottom; this label puts the baseline so that the ideographs fit.
class TMsgLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override;
};

class TMsgFrm : public QWidget {
    Q_OBJECT
public:
    explicit TMsgFrm(QWidget* parent = nullptr);

    QFrame* MsgPanel = nullptr;
    QLabel* LblMsg = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QLabel* Ani = nullptr;

    // The animation: frames 1 to 8, repeated.
    void startAnimation();
    bool animating() const;
    int animationFrame() const { return frame_; }
    // Repaints the panel now, advancing the animation by the time gone by,
    // since a busy command gives the timer no chance to.
    void repaintNow();
    void centreOver(const QWidget* window);

private:
    void showFrame(int frame);
    QTimer* timer_ = nullptr;
    QElapsedTimer clock_;
    QList<QPixmap> frames_;
    int frame_ = -1;
};
