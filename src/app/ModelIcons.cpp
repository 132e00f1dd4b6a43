#include "ModelIcons.h"

#include "AppIconCache.h"
#include "DocModel.h"
#include "ZAppInfoItem.h"
#include "ZDocItemInfo.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace {

bool guiApplication()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

// Linking this library is what gives the models their pictures: no caller
// has to remember to install them (the library is linked whole for this).
const ModelIcons s_icons;
const bool s_installed = (ModelDecorations::install(&s_icons), true);

} // namespace

QVariant ModelIcons::appIcon(const ZAppInfoItem &app) const
{
    if (!app.iconCache)
        app.iconCache = std::make_shared<AppIconCache>();
    return app.iconCache->decoration(app.record);
}

QVariant ModelIcons::headerIcon(const QString &path) const
{
    if (!guiApplication())
        return QVariant();
    return QIcon(path);
}

QVariant ModelIcons::documentIcon(const ZDocItemInfo &doc) const
{
    // Derived once per document from its name; a provider that has nothing
    // is asked again next time.
    const DocModel::IconProvider &provider = DocModel::iconProvider();
    if ((!doc.icon || doc.icon->isNull()) && provider)
        doc.icon = std::make_shared<QImage>(provider(doc.record.name));
    if (!doc.icon || doc.icon->isNull())
        return QVariant();
    const QImage &icon = *doc.icon;
    // 16 x 16 in the view, in as many pixels as the image's pixel ratio gives.
    const qreal ratio = qMax<qreal>(1, icon.devicePixelRatio());
    const QSize pixels = (QSizeF(16, 16) * ratio).toSize();
    QImage scaled = icon.size() == pixels ? icon : icon.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    if (guiApplication())
        return QPixmap::fromImage(scaled);
    return scaled;
}
