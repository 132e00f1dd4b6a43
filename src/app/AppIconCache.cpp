#include "AppIconCache.h"

#include <QGuiApplication>

QVariant AppIconCache::decoration(const QImage &icon) const
{
    if (icon.isNull())
        return QVariant();
    auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    // Scaled for the densest screen, so 200 % stays crisp.
    const qreal ratio = gui ? gui->devicePixelRatio() : 1.0;
    if (icon.cacheKey() != m_sourceKey || ratio != m_ratio || m_image.isNull()) {
        const int side = qRound(kSide * ratio);
        m_image = icon.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_image.setDevicePixelRatio(ratio);
        m_pixmap = gui ? QPixmap::fromImage(m_image) : QPixmap();
        m_sourceKey = icon.cacheKey();
        m_ratio = ratio;
    }
    if (gui)
        return m_pixmap;
    return m_image;
}
