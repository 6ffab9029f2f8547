#include "ui/UAppIcon.h"

#include <QPainter>
#include <QPainterPath>

QPixmap DrawAppIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    // The two bus wires along the bottom, A and B.
    p.setPen(QPen(QColor(0x20, 0x4a, 0x87), 2.0));
    p.drawLine(QPointF(1, 24), QPointF(31, 24));
    p.setPen(QPen(QColor(0xcc, 0x66, 0x00), 2.0));
    p.drawLine(QPointF(1, 29), QPointF(31, 29));

    // The device: a rounded box with a display, tapped onto both wires.
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.2));
    p.drawLine(QPointF(12, 19), QPointF(12, 24));
    p.drawLine(QPointF(20, 19), QPointF(20, 29));
    QPainterPath box;
    box.addRoundedRect(QRectF(5, 2, 22, 18), 3, 3);
    p.fillPath(box, QColor(0xe8, 0xe8, 0xe0));
    p.drawPath(box);
    p.fillRect(QRectF(8, 5, 16, 7), QColor(0x1d, 0x5e, 0x3a));
    p.setPen(QPen(QColor(0x9f, 0xf0, 0xb0), 1.2));
    p.drawLine(QPointF(10, 8.5), QPointF(14, 8.5));
    p.drawLine(QPointF(16, 8.5), QPointF(22, 8.5));
    // Two status lamps under the display.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2e, 0xa0, 0x43));
    p.drawEllipse(QPointF(10, 16), 1.6, 1.6);
    p.setBrush(QColor(0xd0, 0x3a, 0x2f));
    p.drawEllipse(QPointF(15, 16), 1.6, 1.6);
    return pixmap;
}

QIcon AppIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(DrawAppIcon(size));
    return icon;
}
