#pragma once

#include <QByteArray>
#include <QImage>
#include <QPixmap>
#include <QVariant>

struct AppInfoItem;

// The view form of an app's icon, made once per record: decoded from the
// device's PNG bytes and scaled to 80 x 80 the first time a view asks, and
// kept until the record's icon changes (or the screen density does), so
// painting never decodes or scales. GUI applications get a pixmap drawn at
// the screen's density, others a plain image. This is the one place that
// turns a record's icon into what a view draws.
class AppIconCache
{
public:
    static constexpr int kSide = 80;

    // The record's PNG bytes as drawn; empty when it has none or they do
    // not decode.
    QVariant decoration(const AppInfoItem &record) const;

private:
    QVariant scaled(const QImage &icon, qint64 key) const;

    mutable qint64 m_sourceKey = 0;
    mutable qreal m_ratio = 0;
    mutable QImage m_image;
    mutable QPixmap m_pixmap;
    mutable QByteArray m_png;   // the bytes m_image was made from
    mutable bool m_pngBroken = false;
};
