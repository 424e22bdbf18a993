#include "ui/common/ReadyPictures.h"

#include <cmath>

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace vantrell::ui {

namespace {
QPixmap blank()
{
    QPixmap pixmap(ReadyPictures::kSize, ReadyPictures::kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPen whiteStroke()
{
    QPen pen(Qt::white, 2.2);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}
} // namespace

QPixmap ReadyPictures::ready()
{
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 110, 0), 1.0));
    p.setBrush(QColor(30, 170, 40));
    p.drawEllipse(QRectF(0.5, 0.5, 15.0, 15.0));
    p.setPen(whiteStroke());
    p.setBrush(Qt::NoBrush);
    const QPointF tick[] = {{4.2, 8.4}, {6.8, 11.0}, {11.8, 5.0}};
    p.drawPolyline(tick, 3);
    return pixmap;
}

QPixmap ReadyPictures::notReady()
{
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // A regular octagon with flat top and bottom edges, as a stop sign stands.
    QPolygonF octagon;
    const double pi = std::acos(-1.0);
    for (int i = 0; i < 8; ++i) {
        const double angle = pi / 8.0 + i * pi / 4.0;
        octagon << QPointF(8.0 + 7.6 * std::cos(angle), 8.0 + 7.6 * std::sin(angle));
    }
    p.setPen(QPen(QColor(130, 0, 0), 1.0));
    p.setBrush(QColor(210, 30, 30));
    p.drawPolygon(octagon);
    p.setPen(whiteStroke());
    p.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
    p.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
    return pixmap;
}

QPixmap ReadyPictures::forCode(std::string_view readyCode)
{
    if (readyCode == "0")
        return ready();
    if (readyCode == "1")
        return notReady();
    return {};
}

} // namespace vantrell::ui
