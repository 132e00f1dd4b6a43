#pragma once

#include <QString>
#include <QStringList>

// Local file helpers of the page's actions.
namespace LocalFiles {

// A name that does not exist in folder: name itself when free, else
// "<base> (n)<.ext>" for the first free n from 2 on (split at the last dot).
QString uniqueFileName(const QString &folder, const QString &name);

// The files of folder whose names contain one of suffixes (any case), as
// native paths, then those of each subfolder when recursive. Symbolic links
// to folders are not followed, so a loop cannot hold the search.
QStringList collectFiles(const QString &folder, const QStringList &suffixes, bool recursive);

// The sum of the files' sizes.
qint64 totalSize(const QStringList &files);

} // namespace LocalFiles
