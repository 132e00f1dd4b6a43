#pragma once

#include "ModelDecorations.h"

// The models' decorations for programs that link Qt Gui: app icons through
// each record's AppIconCache (decoded once, on first draw, at 80 x 80), the
// header's check-box icons, and file-type icons from DocModel's icon provider
// at 16 x 16 (in the provider's pixel ratio). GUI applications get pixmaps
// and icons, others plain images and no header icon. Installed for the whole
// program when it starts.
class ModelIcons : public ModelDecorations
{
public:
    QVariant appIcon(const ZAppInfoItem &app) const override;
    QVariant headerIcon(const QString &path) const override;
    QVariant documentIcon(const ZDocItemInfo &doc) const override;
};
