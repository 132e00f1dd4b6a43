#include "VAppIcon.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {
QByteArray toPng(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

quint32 step(quint32 *state)
{
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}
} // namespace

QByteArray VAppIcon::render(quint32 seed, int size)
{
    quint32 state = seed ^ 0x9e3779b9u;
    const int hue = int(step(&state) % 360);
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 0, size);
    background.setColorAt(0, QColor::fromHsv(hue, 150, 250));
    background.setColorAt(1, QColor::fromHsv((hue + 20) % 360, 230, 190));
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, size, size), size * 0.22, size * 0.22);
    painter.fillPath(shape, background);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 220));
    const qreal c = size / 2.0;
    const qreal r = size * (0.18 + (step(&state) % 10) / 100.0);
    switch (step(&state) % 4) {
    case 0:
        painter.drawEllipse(QPointF(c, c), r, r);
        break;
    case 1:
        painter.drawRoundedRect(QRectF(c - r, c - r, 2 * r, 2 * r), r * 0.3, r * 0.3);
        break;
    case 2: {
        const QPointF triangle[3] = {{c, c - r}, {c + r, c + r * 0.8}, {c - r, c + r * 0.8}};
        painter.drawPolygon(triangle, 3);
        break;
    }
    default:
        for (int i = 0; i < 3; ++i)
            painter.drawRect(QRectF(c - r, c - r + i * r * 0.75, 2 * r, r * 0.45));
        break;
    }
    painter.end();
    return toPng(image);
}

QByteArray VAppIcon::placeholder(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, size, size), size * 0.22, size * 0.22);
    painter.fillPath(shape, QColor(200, 200, 205));
    painter.setPen(QPen(QColor(150, 150, 155), size / 20.0));
    painter.drawRoundedRect(QRectF(size * 0.3, size * 0.3, size * 0.4, size * 0.4), size * 0.08, size * 0.08);
    painter.end();
    return toPng(image);
}

QByteArray VAppIcon::wallpaper(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(30, 60, 120));
    gradient.setColorAt(1, QColor(120, 40, 110));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    return toPng(image);
}
