#pragma once

// Copies an app bundle folder staged by a client (ideviceinstaller uploads a
// developer's .app folder entry by entry, links included) into a work
// folder, with the bounds and link rules of VPackageReader: files are
// opened without following links, links are recreated last and only when
// they stay inside the bundle, other kinds of files are skipped.
// Results are VAppError codes.

#include <QString>

class VPackageFolder
{
public:
    static int copy(const QString &sourceDir, const QString &targetDir);
};
