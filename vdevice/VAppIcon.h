#pragma once

// Generated app icons (PNG) for the virtual device: demo apps, sample
// packages and the generic icon of an app whose bundle has none. Drawn with
// shapes only (no fonts), so it works without a GUI application object.

#include <QByteArray>

class VAppIcon
{
public:
    static constexpr int kSize = 120;   // 60pt@2x, the iPhone home-screen icon

    // A deterministic icon for seed: a gradient background in one of a set of
    // hues with a simple motif. Same seed, same bytes.
    static QByteArray render(quint32 seed, int size = kSize);
    // The grey placeholder a device shows for an app without an icon.
    static QByteArray placeholder(int size = kSize);
    // A home-screen wallpaper of width x height.
    static QByteArray wallpaper(int width, int height);
};
