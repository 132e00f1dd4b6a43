#pragma once

#include <QString>

class QIODevice;

// Reads the fixed file version (VS_FIXEDFILEINFO of the RT_VERSION
// resource) of a PE executable, 32- or 64-bit. The file is untrusted: every
// read is checked against the file's size and the version blob is capped.
class PeVersionReader
{
public:
    static constexpr quint32 kMaxVersionBlob = 1024 * 1024;

    // "%d.%d.%d.%d" (major, minor, build, revision); empty, with a diagnostic
    // log entry, when the file is not a PE file or has no usable version.
    static QString fileVersion(const QString &path);
    // The same for an open, random-access device.
    static QString fileVersion(QIODevice &device);
};
