#include "TulSkin.h"

#include "DiagLog.h"
#include "TulPref.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPixmap>

QString TulSkin::currentSkin()
{
    const QString fallback = TulPref::productInfo(QStringLiteral("default_skin"));
    const QString name = TulPref::instance()->value(QStringLiteral("last_skin")).toString();
    if (name.isEmpty())
        return fallback;
    // The name comes from a user-editable file and becomes part of a path.
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))
        || name == QLatin1String(".") || name == QLatin1String("..")) {
        DIAG_LOG("skin name with a path separator ignored");
        return fallback;
    }
    return name;
}

QString TulSkin::appSkinUrl()
{
    return QDir::fromNativeSeparators(TulPref::skinDir()) + QStringLiteral("/app_appvoy/")
        + currentSkin();
}

QString TulSkin::styleSheet()
{
    QFile file(appSkinUrl() + QStringLiteral("/style.qss"));
    if (!file.exists())
        return QString();
    if (file.size() > kMaxStyleSheetSize || !file.open(QIODevice::ReadOnly)) {
        DIAG_LOG(qPrintable(QStringLiteral("style sheet not loaded: ") + file.fileName()));
        return QString();
    }
    return QString::fromUtf8(file.read(kMaxStyleSheetSize));
}

QIcon TulSkin::tintedIcon(const QString &path, const QColor &color, QIcon::Mode mode, QIcon icon)
{
    for (const QString &file : {path, path.chopped(4) + QStringLiteral("@2x.png")}) {
        QPixmap pixmap(file);
        if (pixmap.isNull())
            continue;
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), color);
        painter.end();
        icon.addPixmap(pixmap, mode);
    }
    return icon;
}
