#include "app/icons.h"
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QtMath>
#include <functional>

namespace app {
namespace {

constexpr int kSize = 16;

QIcon drawIcon(const std::function<void(QPainter&)>& draw)
{
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    {
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
    }
    return QIcon(pm);
}

const QColor kOutline(60, 60, 60);

void sheet(QPainter& p, QRectF r, const QColor& fill, bool grid, const QColor& gridColor)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(fill);
    p.drawRect(r);
    if (!grid)
        return;
    p.setPen(QPen(gridColor, 1));
    for (qreal y = r.top() + 3; y < r.bottom(); y += 3)
        p.drawLine(QPointF(r.left() + 1, y), QPointF(r.right() - 1, y));
    p.drawLine(QPointF(r.left() + r.width() / 2, r.top() + 1),
               QPointF(r.left() + r.width() / 2, r.bottom() - 1));
}

// A bold arrow from a to b.
void arrow(QPainter& p, QPointF a, QPointF b, const QColor& c)
{
    QLineF line(a, b);
    const qreal angle = qDegreesToRadians(line.angle());
    const qreal head = 4.5;
    QPointF dir(std::cos(angle), -std::sin(angle));
    QPointF normal(-dir.y(), dir.x());
    QPointF base = b - dir * head;
    p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(a, base);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(QPolygonF({b, base + normal * head * 0.8, base - normal * head * 0.8}));
}

void page(QPainter& p, QRectF r, bool lines)
{
    const qreal fold = 4;
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.setBrush(QColor(210, 210, 210));
    p.drawPolygon(QPolygonF({QPointF(r.right() - fold, r.top()),
                             QPointF(r.right() - fold, r.top() + fold),
                             QPointF(r.right(), r.top() + fold)}));
    if (!lines)
        return;
    p.setPen(QPen(QColor(40, 90, 200), 1));
    for (qreal y = r.top() + 4.5; y < r.bottom() - 1; y += 2.5)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void folder(QPainter& p, bool open)
{
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(230, 180, 50));
    p.drawPolygon(QPolygonF({QPointF(1.5, 3.5), QPointF(6, 3.5), QPointF(7.5, 5), QPointF(14.5, 5),
                             QPointF(14.5, 13.5), QPointF(1.5, 13.5)}));
    p.setBrush(QColor(250, 215, 100));
    if (open)
        p.drawPolygon(QPolygonF({QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5),
                                 QPointF(1.5, 13.5)}));
    else
        p.drawRect(QRectF(1.5, 6.5, 13, 7));
}

void magnifier(QPainter& p, QPointF centre, qreal radius, qreal handle)
{
    p.setPen(QPen(QColor(70, 70, 70), 2.2, Qt::SolidLine, Qt::RoundCap));
    QPointF d(radius * 0.72, radius * 0.72);
    p.drawLine(centre + d, centre + d + QPointF(handle, handle));
    p.setPen(QPen(QColor(40, 40, 40), 1.4));
    QRadialGradient g(centre - QPointF(radius / 3, radius / 3), radius * 1.2);
    g.setColorAt(0, QColor(255, 255, 255, 230));
    g.setColorAt(1, QColor(150, 200, 240, 200));
    p.setBrush(g);
    p.drawEllipse(centre, radius, radius);
}

void triangle(QPainter& p, qreal x, bool left, const QColor& c)
{
    p.setPen(QPen(c.darker(140), 1));
    p.setBrush(c);
    if (left)
        p.drawPolygon(QPolygonF({QPointF(x + 6, 2.5), QPointF(x + 6, 13.5), QPointF(x, 8)}));
    else
        p.drawPolygon(QPolygonF({QPointF(x, 2.5), QPointF(x, 13.5), QPointF(x + 6, 8)}));
}

void bar(QPainter& p, qreal x, const QColor& c)
{
    p.setPen(QPen(c.darker(140), 1));
    p.setBrush(c);
    p.drawRect(QRectF(x, 2.5, 2.5, 11));
}

} // namespace

QList<QIcon> makeImageList1()
{
    const QColor navBlue(40, 110, 210);
    const QColor navGreen(30, 150, 70);
    QList<QIcon> list;
    // 0 import: a sheet, a green arrow coming into it.
    list << drawIcon([](QPainter& p) {
        sheet(p, QRectF(5.5, 4.5, 10, 11), QColor(235, 245, 235), true, QColor(120, 170, 120));
        arrow(p, QPointF(0.5, 1.5), QPointF(9, 10), QColor(20, 150, 40));
    });
    // 1 exit: a door, a red arrow leaving it.
    list << drawIcon([](QPainter& p) {
        p.setPen(QPen(QColor(90, 50, 20), 1));
        p.setBrush(QColor(170, 110, 60));
        p.drawRect(QRectF(1.5, 1.5, 8, 13));
        p.setBrush(QColor(240, 200, 60));
        p.drawEllipse(QPointF(7.5, 8.5), 0.9, 0.9);
        arrow(p, QPointF(6, 8), QPointF(15.5, 8), QColor(210, 30, 30));
    });
    // 2 export: a green workbook sheet, a blue arrow leaving it.
    list << drawIcon([](QPainter& p) {
        sheet(p, QRectF(0.5, 1.5, 10, 13), QColor(30, 130, 70), true, QColor(200, 240, 210));
        arrow(p, QPointF(6, 10), QPointF(15.5, 4), QColor(30, 90, 220));
    });
    // 3 open file: an open folder.
    list << drawIcon([](QPainter& p) { folder(p, true); });
    // 4 connect to server: a server tower and a green link.
    list << drawIcon([](QPainter& p) {
        p.setPen(QPen(kOutline, 1));
        QLinearGradient g(0, 0, 10, 0);
        g.setColorAt(0, QColor(200, 200, 210));
        g.setColorAt(1, QColor(120, 120, 135));
        p.setBrush(g);
        p.drawRoundedRect(QRectF(1.5, 0.5, 8, 15), 1, 1);
        p.setPen(QPen(QColor(50, 50, 60), 1));
        p.drawLine(QPointF(3, 4), QPointF(8, 4));
        p.drawLine(QPointF(3, 7), QPointF(8, 7));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 220, 60));
        p.drawEllipse(QPointF(4, 12), 1.2, 1.2);
        p.setPen(QPen(QColor(20, 150, 40), 2));
        p.drawLine(QPointF(10, 10), QPointF(15, 10));
        p.drawLine(QPointF(13.5, 6), QPointF(13.5, 14));
    });
    // 5 About: a blue disc with a white "i".
    list << drawIcon([](QPainter& p) {
        QRadialGradient g(QPointF(6, 5), 9);
        g.setColorAt(0, QColor(110, 170, 250));
        g.setColorAt(1, QColor(20, 80, 190));
        p.setPen(QPen(QColor(10, 50, 140), 1));
        p.setBrush(g);
        p.drawEllipse(QPointF(8, 8), 7.2, 7.2);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 4.5), 1.4, 1.4);
        p.drawRoundedRect(QRectF(6.8, 7, 2.4, 6), 0.8, 0.8);
    });
    // 6 previous page, 7 next page, 8 first page, 9 last page.
    list << drawIcon([&](QPainter& p) { triangle(p, 4.5, true, navBlue); });
    list << drawIcon([&](QPainter& p) { triangle(p, 5.5, false, navBlue); });
    list << drawIcon([&](QPainter& p) {
        bar(p, 2, navGreen);
        triangle(p, 6, true, navGreen);
    });
    list << drawIcon([&](QPainter& p) {
        triangle(p, 4, false, navGreen);
        bar(p, 11.5, navGreen);
    });
    // 10 document detail: a written page under a magnifier.
    list << drawIcon([](QPainter& p) {
        page(p, QRectF(1.5, 0.5, 10, 13), true);
        magnifier(p, QPointF(10, 9.5), 3.2, 3);
    });
    return list;
}

QList<QIcon> makeImageList2()
{
    QList<QIcon> list;
    // 0 globe.
    list << drawIcon([](QPainter& p) {
        QRadialGradient g(QPointF(6, 5), 10);
        g.setColorAt(0, QColor(140, 200, 255));
        g.setColorAt(1, QColor(30, 100, 200));
        p.setPen(QPen(QColor(20, 60, 140), 1));
        p.setBrush(g);
        p.drawEllipse(QPointF(8, 8), 7, 7);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 170, 60));
        p.drawEllipse(QRectF(3.5, 4, 5, 4));
        p.drawEllipse(QRectF(8.5, 8.5, 4.5, 4));
        p.setPen(QPen(QColor(230, 240, 255, 200), 0.8));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(8, 8), 3, 7);
        p.drawLine(QPointF(1, 8), QPointF(15, 8));
    });
    // 1 folder.
    list << drawIcon([](QPainter& p) { folder(p, false); });
    // 2 page: a database file.
    list << drawIcon([](QPainter& p) {
        page(p, QRectF(2.5, 0.5, 11, 15), true);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(230, 170, 30));
        p.drawRect(QRectF(4, 11, 4, 3));
    });
    // 3 view: a table with a coloured heading row.
    list << drawIcon([](QPainter& p) {
        p.setPen(QPen(kOutline, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(0.5, 1.5, 15, 13));
        p.setBrush(QColor(200, 60, 60));
        p.drawRect(QRectF(0.5, 1.5, 15, 3.5));
        p.setPen(QPen(QColor(130, 130, 130), 1));
        for (qreal y = 8; y < 14.5; y += 3)
            p.drawLine(QPointF(1, y), QPointF(15, y));
        p.drawLine(QPointF(5.5, 5), QPointF(5.5, 14.5));
    });
    return list;
}

QPixmap searchAnimationFrame(int frame)
{
    QPixmap pm(50, 42);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // A folder with papers, searched by a magnifier that circles over it.
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(230, 180, 50));
    p.drawRect(QRectF(4.5, 14.5, 30, 22));
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8.5, 8.5, 20, 20));
    p.setPen(QPen(QColor(40, 90, 200), 1));
    for (int y = 12; y < 27; y += 3)
        p.drawLine(QPointF(11, y + 0.5), QPointF(26, y + 0.5));
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(250, 210, 90));
    p.drawRect(QRectF(4.5, 20.5, 30, 16));
    const qreal angle = 2 * M_PI * (frame % kSearchAnimationFrames) / kSearchAnimationFrames;
    QPointF centre(28 + 7 * std::cos(angle), 20 + 7 * std::sin(angle));
    magnifier(p, centre, 7, 6);
    return pm;
}

QPixmap aboutBanner(int width, int height)
{
    QPixmap pm(width, height);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, width, 0);
    g.setColorAt(0, QColor(20, 60, 150));
    g.setColorAt(0.6, QColor(60, 130, 210));
    g.setColorAt(1, QColor(235, 242, 255));
    p.fillRect(pm.rect(), g);
    // A stack of database discs on the left.
    for (int i = 2; i >= 0; --i) {
        QRectF r(8, 6 + i * 8, 26, 10);
        p.setPen(QPen(QColor(230, 180, 50), 1));
        p.setBrush(QColor(255, 215, 90));
        p.drawEllipse(r);
    }
    QFont f;
    f.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans"),
                   QStringLiteral("DejaVu Sans")});
    f.setPixelSize(height * 11 / 20);
    f.setBold(true);
    f.setItalic(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(44, 0, width - 44, height), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Quillet"));
    QFont s = f;
    s.setPixelSize(12);
    s.setBold(false);
    s.setItalic(false);
    p.setFont(s);
    p.setPen(QColor(20, 50, 120));
    p.drawText(QRect(0, 0, width - 8, height), Qt::AlignVCenter | Qt::AlignRight,
               QString::fromUtf8("Domino 数据浏览与导出"));
    return pm;
}

} // namespace app
