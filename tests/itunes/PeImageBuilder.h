#pragma once

#include <QByteArray>

// Builds the smallest PE executable Windows would take a version from: one
// ".rsrc" section holding RT_VERSION / 1 / 0x409 -> VS_VERSIONINFO.
class PeImageBuilder
{
public:
    static QByteArray build(quint16 major, quint16 minor, quint16 build, quint16 revision,
                            bool pe32Plus = false);
    // Where the fixed-info signature sits in what build() returns.
    static int signatureOffset(const QByteArray &image);
};
