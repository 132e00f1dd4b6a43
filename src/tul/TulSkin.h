#pragma once

#include <QIcon>
#include <QString>

class QColor;

// The current skin: a folder of images and an optional style sheet
// (<skinDir>/app_appvoy/<skin name>/style.qss).
class TulSkin
{
public:
    static constexpr qint64 kMaxStyleSheetSize = 1 << 20;

    // The stored "last_skin", or the product's default skin when none or
    // when the stored name could step out of the skin folder.
    static QString currentSkin();
    // The folder of the current skin's files, without a trailing separator.
    static QString appSkinUrl();
    // The current skin's style sheet; empty when it has none or it is too big.
    static QString styleSheet();
    // One of our images (and its "@2x" form) as a silhouette in the given
    // colour, so that it reads in light and dark palettes and on a selected
    // row; added to `icon` for `mode`.
    static QIcon tintedIcon(const QString &path, const QColor &color, QIcon::Mode mode = QIcon::Normal,
                            QIcon icon = QIcon());
};
