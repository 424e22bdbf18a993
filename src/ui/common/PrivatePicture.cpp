#include "ui/common/PrivatePicture.h"

#include <QPainter>
#include <QPainterPath>

namespace vantrell::ui {

QPixmap PrivatePicture::padlock()
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // The shackle: an arch of steel standing on the body.
    QPen shackle(QColor(150, 150, 160), 2.0);
    shackle.setCapStyle(Qt::FlatCap);
    p.setPen(shackle);
    p.setBrush(Qt::NoBrush);
    QPainterPath arch;
    arch.moveTo(4.5, 8.0);
    arch.lineTo(4.5, 5.0);
    arch.arcTo(QRectF(4.5, 1.5, 7.0, 7.0), 180.0, -180.0);
    arch.lineTo(11.5, 8.0);
    p.drawPath(arch);

    // The body, gold with a darker rim.
    p.setPen(QPen(QColor(140, 95, 0), 1.0));
    p.setBrush(QColor(230, 175, 20));
    p.drawRoundedRect(QRectF(2.5, 7.5, 11.0, 8.0), 1.5, 1.5);

    // The keyhole: a round head over a short slot.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(50, 30, 0));
    p.drawEllipse(QPointF(8.0, 10.5), 1.4, 1.4);
    p.drawRect(QRectF(7.4, 10.5, 1.2, 3.0));
    return pixmap;
}

} // namespace vantrell::ui
