#include "icons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// A monitor on a stand; the screen tells the state: dark and empty when off, green with a
// ready mark on standby, blue with a running clock when billing, amber with two bars when
// paused.
QPixmap drawMonitor(StatusIcon icon, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    p.scale(s, s);

    // Stand and base.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 90));
    p.drawRect(QRectF(13, 23, 6, 4));
    p.drawRoundedRect(QRectF(8, 26.5, 16, 3), 1.5, 1.5);

    // Case.
    p.setBrush(QColor(60, 63, 70));
    p.drawRoundedRect(QRectF(1.5, 2.5, 29, 21.5), 2.5, 2.5);

    QColor screen;
    switch (icon) {
    case IconBilling:
        screen = QColor(30, 110, 220);
        break;
    case IconStandby:
        screen = QColor(40, 170, 80);
        break;
    case IconPaused:
        screen = QColor(235, 160, 20);
        break;
    default:
        screen = QColor(25, 25, 28);
        break;
    }
    const QRectF glass(4, 5, 24, 16.5);
    p.setBrush(screen);
    p.drawRoundedRect(glass, 1, 1);

    QPen mark(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setBrush(Qt::NoBrush);
    switch (icon) {
    case IconBilling: {
        p.setPen(mark);
        p.drawEllipse(QPointF(16, 13.25), 5.5, 5.5);
        p.drawLine(QPointF(16, 13.25), QPointF(16, 9.5));
        p.drawLine(QPointF(16, 13.25), QPointF(18.8, 14.8));
        break;
    }
    case IconStandby: {
        p.setPen(mark);
        QPainterPath tick;
        tick.moveTo(10.5, 13.5);
        tick.lineTo(14.5, 17);
        tick.lineTo(21.5, 9.5);
        p.drawPath(tick);
        break;
    }
    case IconPaused:
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(11.5, 8.5, 3.2, 9.5), 0.8, 0.8);
        p.drawRoundedRect(QRectF(17.3, 8.5, 3.2, 9.5), 0.8, 0.8);
        break;
    default: {
        // Off: a dim power symbol.
        QPen dim(QColor(110, 110, 115), 2.0, Qt::SolidLine, Qt::RoundCap);
        p.setPen(dim);
        p.drawArc(QRectF(11, 8.5, 10, 10), 120 * 16, 300 * 16);
        p.drawLine(QPointF(16, 7.5), QPointF(16, 13));
        break;
    }
    }
    return pm;
}

} // namespace

QIcon statusIcon(StatusIcon icon)
{
    static QHash<int, QIcon> cache;
    auto it = cache.find(icon);
    if (it == cache.end()) {
        QIcon i;
        for (int size : {16, 24, 32, 48})
            i.addPixmap(drawMonitor(icon, size));
        it = cache.insert(icon, i);
    }
    return *it;
}

QIcon clientGoneIcon(StatusIcon icon)
{
    static QHash<int, QIcon> cache;
    auto it = cache.find(icon);
    if (it == cache.end()) {
        QIcon i;
        for (int size : {16, 24, 32, 48}) {
            QPixmap pm = drawMonitor(icon, size);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            // A red disc with a white bar in the lower right corner: unplugged.
            const qreal d = size * 0.45;
            const QRectF disc(size - d, size - d, d, d);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(210, 40, 40));
            p.drawEllipse(disc);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(disc.left() + d * 0.22, disc.center().y() - d * 0.09, d * 0.56, d * 0.18));
            i.addPixmap(pm);
        }
        it = cache.insert(icon, i);
    }
    return *it;
}

QIcon dueIcon(const QIcon &base, DueMark mark)
{
    if (mark == DueMark::None)
        return base;
    QIcon i;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pm = base.pixmap(size, size);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        // A triangle in the upper right corner, clear of the unplugged disc below.
        const qreal d = size * 0.5;
        const QPointF corner[] = {{size - d, 0}, {qreal(size), 0}, {qreal(size), d}};
        p.setPen(Qt::NoPen);
        p.setBrush(mark == DueMark::Due ? QColor(210, 30, 30) : QColor(255, 140, 0));
        p.drawPolygon(corner, 3);
        i.addPixmap(pm);
    }
    return i;
}
