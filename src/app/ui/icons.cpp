#include "app/ui/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <numbers>

namespace ui {
namespace {

template <typename Draw>
QIcon drawn(Draw draw)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    p.end();
    return QIcon(pixmap);
}

} // namespace

// A green "play" triangle: run the conversion.
QIcon runIcon()
{
    return drawn([](QPainter& p) {
        QPainterPath path;
        path.moveTo(4, 2);
        path.lineTo(14, 8);
        path.lineTo(4, 14);
        path.closeSubpath();
        p.setPen(QPen(QColor(0x1b, 0x5e, 0x20), 1));
        p.setBrush(QColor(0x43, 0xa0, 0x47));
        p.drawPath(path);
    });
}

// A ticket with a torn edge and printed lines: the ticket image estimate.
QIcon ticketImageIcon()
{
    return drawn([](QPainter& p) {
        p.setPen(QPen(QColor(0x15, 0x65, 0xc0), 1));
        p.setBrush(QColor(0xe3, 0xf2, 0xfd));
        p.drawRoundedRect(QRectF(1.5, 3.5, 13, 9), 1.5, 1.5);
        p.setPen(QPen(QColor(0x15, 0x65, 0xc0), 1, Qt::DotLine));
        p.drawLine(QPointF(5.5, 4), QPointF(5.5, 12));
        p.setPen(QPen(QColor(0x0d, 0x47, 0xa1), 1));
        p.drawLine(QPointF(7.5, 6.5), QPointF(12.5, 6.5));
        p.drawLine(QPointF(7.5, 9.5), QPointF(11, 9.5));
    });
}

// A gear: the set-up menu.
QIcon setUpIcon()
{
    return drawn([](QPainter& p) {
        const QPointF c(8, 8);
        QPainterPath gear;
        for (int i = 0; i < 8; ++i) {
            const double a = i * std::numbers::pi / 4;
            const QPointF d(std::cos(a), std::sin(a));
            const QPointF n(-d.y(), d.x());
            gear.addPolygon(QPolygonF({c + d * 4 + n * 1.3, c + d * 7 + n * 1.1,
                                       c + d * 7 - n * 1.1, c + d * 4 - n * 1.3}));
        }
        gear.addEllipse(c, 5, 5);
        gear.setFillRule(Qt::WindingFill);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x54, 0x6e, 0x7a));
        p.drawPath(gear.simplified());
        p.setBrush(QColor(0xec, 0xef, 0xf1));
        p.drawEllipse(c, 2, 2);
    });
}

// A red cross: leave the program.
QIcon exitIcon()
{
    return drawn([](QPainter& p) {
        p.setPen(QPen(QColor(0xc6, 0x28, 0x28), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
    });
}

} // namespace ui
