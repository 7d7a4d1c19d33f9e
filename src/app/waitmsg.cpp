#include "app/waitmsg.h"
#include "app/icons.h"
#include "app/mainwindow.h"
#include "app/msgfrm.h"
#include <QGuiApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <algorithm>

namespace {

constexpr int kFrameMs = 100;

// The one progress window; empty while none is open.
QPointer<TMsgFrm> g_msgFrm;
int g_serial = 0;

TMsgFrm* openWindow()
{
    auto* f = new TMsgFrm();  // owned by the application: no parent
    g_msgFrm = f;
    ++g_serial;
    f->setProperty("serial", g_serial);
    f->startAnimation();
    return f;
}

void showWindow(TMsgFrm* f)
{
    f->centreOver(frmMain);
    f->show();
    f->repaintNow();
}

} // namespace

void TMsgLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    // Ideographs span about 0.88 em above the baseline and 0.12 em below it.
    const qreal em = font().pixelSize() > 0 ? font().pixelSize() : QFontMetricsF(font()).height();
    const qreal baseline = (height() + 0.76 * em) / 2;
    p.drawText(QPointF(0, baseline), text());
}

TMsgFrm::TMsgFrm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("MsgFrm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(393, 54);

    MsgPanel = new QFrame(this);
    MsgPanel->setObjectName(QStringLiteral("MsgPanel"));
    MsgPanel->setGeometry(0, 0, 393, 54);
    MsgPanel->setFrameShape(QFrame::Panel);
    MsgPanel->setFrameShadow(QFrame::Sunken);
    MsgPanel->setLineWidth(2);
    MsgPanel->setAutoFillBackground(true);
    QPalette pal = MsgPanel->palette();
    pal.setColor(QPalette::Window, QColor(231, 230, 216));  // 14214887
    pal.setColor(QPalette::WindowText, Qt::black);
    MsgPanel->setPalette(pal);
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    MsgPanel->setFont(font);

    LblMsg = new TMsgLabel(QString::fromUtf8("正在导入数据，请稍候..."), MsgPanel);
    LblMsg->setObjectName(QStringLiteral("LblMsg"));
    LblMsg->setGeometry(22, 6, 299, 12);
    LblMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    ProgressBar = new QProgressBar(MsgPanel);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(28, 26, 301, 16);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);

    Ani = new QLabel(MsgPanel);
    Ani->setObjectName(QStringLiteral("Ani"));
    Ani->setGeometry(335, 4, 50, 42);
    Ani->setAlignment(Qt::AlignCenter);
    for (int i = 0; i < app::kSearchAnimationFrames; ++i)
        frames_.append(app::searchAnimationFrame(i));
    showFrame(0);

    timer_ = new QTimer(this);
    timer_->setInterval(kFrameMs);
    connect(timer_, &QTimer::timeout, this, [this] {
        showFrame(int(clock_.elapsed() / kFrameMs) % app::kSearchAnimationFrames);
    });
}

void TMsgFrm::startAnimation()
{
    clock_.start();
    timer_->start();
}

bool TMsgFrm::animating() const { return timer_->isActive(); }

void TMsgFrm::showFrame(int frame)
{
    if (frame == frame_)
        return;
    frame_ = frame;
    Ani->setPixmap(frames_.value(frame));
}

void TMsgFrm::repaintNow()
{
    if (animating())
        showFrame(int(clock_.elapsed() / kFrameMs) % app::kSearchAnimationFrames);
    MsgPanel->repaint();
}

void TMsgFrm::centreOver(const QWidget* window)
{
    QRect area;
    if (window && window->isVisible())
        area = window->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid()) {
        QRect r(QPoint(), size());
        r.moveCenter(area.center());
        move(r.topLeft());
    }
}

void ShowWait()
{
    if (g_msgFrm)
        return;
    showWindow(openWindow());
}

void ShowWaitText(const QString& message)
{
    if (g_msgFrm)
        return;
    TMsgFrm* f = openWindow();
    f->ProgressBar->hide();
    f->LblMsg->move(f->LblMsg->x(), 20);
    f->LblMsg->setText(message);
    showWindow(f);
}

void SetWaitText(const QString& message)
{
    if (!g_msgFrm)
        return;
    g_msgFrm->LblMsg->setText(message);
    g_msgFrm->repaintNow();
}

void SetWaitProgress(int max, int position)
{
    if (!g_msgFrm)
        return;
    QProgressBar* bar = g_msgFrm->ProgressBar;
    bar->setMinimum(0);
    bar->setMaximum(max);
    // A position beyond the range shows a full (or empty) bar, as the
    // native control does, rather than being ignored.
    bar->setValue(max >= 0 ? std::clamp(position, 0, max) : position);
    g_msgFrm->repaintNow();
}

void CloseWait()
{
    if (!g_msgFrm)
        return;
    TMsgFrm* f = g_msgFrm;
    g_msgFrm = nullptr;  // the next ShowWait makes a new window
    f->close();
    delete f;
}

namespace app {

WaitState waitState()
{
    WaitState s;
    s.serial = g_serial;
    const TMsgFrm* f = g_msgFrm;
    if (!f)
        return s;
    s.open = true;
    s.serial = f->property("serial").toInt();
    s.text = f->LblMsg->text();
    s.labelGeometry = f->LblMsg->geometry();
    s.barVisible = !f->ProgressBar->isHidden();
    s.barMinimum = f->ProgressBar->minimum();
    s.barMaximum = f->ProgressBar->maximum();
    s.barPosition = f->ProgressBar->value();
    s.animating = f->animating();
    s.animationFrame = f->animationFrame();
    return s;
}

} // namespace app
