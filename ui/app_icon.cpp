#include "ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tessara
{
namespace
{

QPixmap DrawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0); // drawn on the SVG's 64 x 64 grid
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x79));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    const QColor colours[] = {
        QColor(0xf3, 0x9c, 0x35), QColor(0xff, 0xff, 0xff), QColor(0x9c, 0xc8, 0xea)};
    for (int k = 0; k < 3; ++k) {
        const double y = 18 + 14 * k;
        QPainterPath trace;
        trace.moveTo(10, y);
        trace.cubicTo(18, y - 8, 22, y + 8, 30, y);
        trace.cubicTo(38, y - 8, 42, y + 8, 54, y);
        p.setPen(QPen(colours[k], 4, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(trace);
    }
    return pixmap;
}

} // namespace

QIcon AppIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addPixmap(DrawIcon(size));
    return icon;
}

} // namespace tessara
