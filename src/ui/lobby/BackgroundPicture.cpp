#include "ui/lobby/BackgroundPicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace vantrell::ui {

QPixmap lobbyBackgroundPicture()
{
    constexpr int width = 320;
    constexpr int height = 200;
    constexpr int horizon = 120;
    QPixmap picture(width, height);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, horizon);
    sky.setColorAt(0.0, QColor(0, 0, 0));
    sky.setColorAt(0.7, QColor(24, 4, 36));
    sky.setColorAt(1.0, QColor(70, 12, 40));
    painter.fillRect(0, 0, width, horizon, sky);

    // Stars at fixed places so every run draws the same picture.
    unsigned seed = 20261208u;
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 70; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int x = static_cast<int>((seed >> 8) % width);
        seed = seed * 1103515245u + 12345u;
        const int y = static_cast<int>((seed >> 8) % (horizon - 30));
        const int shade = 90 + static_cast<int>((seed >> 4) % 120);
        painter.setBrush(QColor(shade, shade, shade));
        painter.drawRect(x, y, 1, 1);
    }

    // A low red sun sitting on the horizon.
    QRadialGradient sun(width / 2.0, horizon, 48);
    sun.setColorAt(0.0, QColor(200, 40, 20, 200));
    sun.setColorAt(0.5, QColor(120, 20, 30, 110));
    sun.setColorAt(1.0, QColor(0, 0, 0, 0));
    painter.setBrush(sun);
    painter.drawEllipse(QPointF(width / 2.0, horizon), 48, 48);

    painter.fillRect(0, horizon, width, height - horizon, QColor(0, 0, 0));

    // The floor grid: lines running to a vanishing point, and cross lines closing in.
    painter.setPen(QPen(QColor(0, 110, 0), 1));
    const QPointF vanishing(width / 2.0, horizon);
    for (int i = -12; i <= 12; ++i)
        painter.drawLine(vanishing, QPointF(width / 2.0 + i * 40.0, height));
    for (double t = 1.0; t < height - horizon; t *= 1.6)
        painter.drawLine(QPointF(0, horizon + t), QPointF(width, horizon + t));
    painter.setPen(QPen(QColor(0, 200, 0), 1));
    painter.drawLine(0, horizon, width, horizon);
    return picture;
}

QString lobbyPanelStyle()
{
    return QStringLiteral("QTreeView, QPlainTextEdit { background-color: rgba(0, 0, 0, 190); }"
                          "QLineEdit { background-color: rgba(0, 0, 0, 200);"
                          " border: 1px solid #1e9e1e; border-radius: 2px; padding: 1px 3px; }"
                          "QLineEdit:focus { border-color: lime; }"
                          "QLineEdit:disabled { border-color: #2e6b2e; }");
}

} // namespace vantrell::ui
