#include "DocIconProvider.h"

#include "DocModel.h"

#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>

namespace {

constexpr int kIconSize = 16;   // as the document view shows it

} // namespace

void DocIconProvider::install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    DocModel::setIconProvider(&DocIconProvider::iconFor);
}

QImage DocIconProvider::iconFor(const QString &fileName)
{
    static QHash<QString, QImage> cache;
    // By name only: the file is on the device, its contents are not here.
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    // Drawn for the screens' highest pixel ratio, so that it is sharp at 200 %.
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const QString key = type.name() + QLatin1Char('@') + QString::number(ratio);
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = QIcon(QStringLiteral(":/images/doc-file.png"));
    const QImage image = icon.pixmap(QSize(kIconSize, kIconSize), ratio).toImage();
    cache.insert(key, image);
    return image;
}
