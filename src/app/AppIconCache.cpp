#include "AppIconCache.h"

#include "AppInfoItem.h"
#include "DiagLog.h"

#include <QGuiApplication>

QVariant AppIconCache::decoration(const AppInfoItem &record) const
{
    if (record.iconPng.isEmpty())
        return QVariant();
    // Copies of a record share their bytes: the same data pointer is the
    // same icon, and a new icon brings new bytes.
    const bool same = m_png.constData() == record.iconPng.constData() && m_png.size() == record.iconPng.size();
    if (same && m_pngBroken)
        return QVariant();
    if (!same || m_image.isNull()) {
        m_png = record.iconPng;
        QImage icon;
        m_pngBroken = !icon.loadFromData(m_png, "PNG");
        if (m_pngBroken) {
            DIAG_LOG("icon does not decode");
            m_image = QImage();
            m_pixmap = QPixmap();
            return QVariant();
        }
        m_image = QImage();
        return scaled(icon, icon.cacheKey());
    }
    return scaled(QImage(), m_sourceKey);
}

QVariant AppIconCache::scaled(const QImage &icon, qint64 key) const
{
    auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    // Scaled for the densest screen, so 200 % stays crisp.
    const qreal ratio = gui ? gui->devicePixelRatio() : 1.0;
    if (key != m_sourceKey || ratio != m_ratio || m_image.isNull()) {
        QImage source = icon;
        if (source.isNull() && !m_png.isEmpty())
            source.loadFromData(m_png, "PNG");   // only when the density changed
        if (source.isNull())
            return QVariant();
        const int side = qRound(kSide * ratio);
        m_image = source.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_image.setDevicePixelRatio(ratio);
        m_pixmap = gui ? QPixmap::fromImage(m_image) : QPixmap();
        m_sourceKey = key;
        m_ratio = ratio;
    }
    if (gui)
        return m_pixmap;
    return m_image;
}
