#include "browser/ui/browsericons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

namespace quarl::BrowserIcons {

namespace {

constexpr int Size = 32;

enum class Arrow { First, Previous, Next, Last };

QPixmap canvas()
{
    QPixmap pm(Size, Size);
    pm.fill(Qt::transparent);
    return pm;
}

QIcon arrow(Arrow kind)
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = QGuiApplication::palette().color(QPalette::ButtonText);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const bool left = kind == Arrow::First || kind == Arrow::Previous;
    const bool bar = kind == Arrow::First || kind == Arrow::Last;
    const qreal mid = Size / 2.0;
    const qreal h = 9;
    QPainterPath tri;
    if (left) {
        tri.moveTo(bar ? 13 : 10, mid);
        tri.lineTo(bar ? 25 : 22, mid - h);
        tri.lineTo(bar ? 25 : 22, mid + h);
    } else {
        tri.moveTo(bar ? 19 : 22, mid);
        tri.lineTo(bar ? 7 : 10, mid - h);
        tri.lineTo(bar ? 7 : 10, mid + h);
    }
    tri.closeSubpath();
    p.drawPath(tri);
    if (bar)
        p.drawRect(QRectF(left ? 8 : 20, mid - h, 4, 2 * h));
    p.end();
    return QIcon(pm);
}

} // namespace

QIcon first() { return arrow(Arrow::First); }
QIcon previous() { return arrow(Arrow::Previous); }
QIcon next() { return arrow(Arrow::Next); }
QIcon last() { return arrow(Arrow::Last); }

QIcon door()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = QGuiApplication::palette().color(QPalette::ButtonText);
    // the frame
    p.setPen(QPen(ink, 2));
    p.setBrush(QColor(230, 230, 225));
    p.drawRect(QRectF(8, 3, 16, 26));
    // the door leaf, swung open towards the viewer
    QPainterPath leaf;
    leaf.moveTo(8, 3);
    leaf.lineTo(18, 6);
    leaf.lineTo(18, 31);
    leaf.lineTo(8, 29);
    leaf.closeSubpath();
    p.setBrush(QColor(150, 95, 50));
    p.drawPath(leaf);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 200, 60));
    p.drawEllipse(QPointF(15.5, 18), 1.6, 1.6);
    p.end();
    return QIcon(pm);
}

} // namespace quarl::BrowserIcons
