#pragma once

// The diagnostic log as a test sees it. The log rotates at a few KiB, so one
// entry may have pushed the current file aside; the two files are read
// together, and a test that checks for an entry starts from empty files.

#include "DiagLog.h"

#include <QByteArray>
#include <QFile>

namespace TestData {

inline QByteArray diagLog()
{
    QByteArray text;
    for (const QString &path : {DiagLog::twinPath(), DiagLog::logPath()}) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            text += file.readAll();
    }
    return text;
}

inline void clearDiagLog()
{
    QFile::remove(DiagLog::twinPath());
    QFile::remove(DiagLog::logPath());
}

} // namespace TestData
