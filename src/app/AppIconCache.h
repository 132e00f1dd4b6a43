#pragma once

#include <QImage>
#include <QPixmap>
#include <QVariant>

// The view form of an app's icon, made once per record: scaled to 80 x 80
// the first time a view asks and kept until the record's icon changes (or the
// screen density does), so painting never scales. GUI applications get a
// pixmap drawn at the screen's density, others a plain image. This is the one
// place that turns a record's icon into what a view draws.
class AppIconCache
{
public:
    static constexpr int kSide = 80;

    QVariant decoration(const QImage &icon) const;

private:
    mutable qint64 m_sourceKey = 0;
    mutable qreal m_ratio = 0;
    mutable QImage m_image;
    mutable QPixmap m_pixmap;
};
