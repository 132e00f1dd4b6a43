#pragma once

#include <QString>

// Maps Windows paths onto the folders of a Wine prefix the way Wine does:
// drive letters through "dosdevices/<x>:" (drive C: falls back to
// "drive_c"), names matched case-insensitively against what exists.
class WinePathMapper
{
public:
    static constexpr int kMaxPathLength = 32767;

    explicit WinePathMapper(const QString &prefixDir);

    // The local path of "C:\dir\file" (either separator, "\\?\" allowed).
    // "." and ".." are resolved without ever climbing above the drive root.
    // Components that do not exist yet are kept as written. Empty for
    // relative, UNC or device paths, unknown drives and names Windows
    // forbids.
    QString localPath(const QString &windowsPath) const;

private:
    QString driveRoot(QChar letter) const;

    QString prefix_;
};
