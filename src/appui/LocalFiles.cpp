#include "LocalFiles.h"

#include <QDir>
#include <QFileInfo>

QString LocalFiles::uniqueFileName(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    if (!QFileInfo::exists(dir.filePath(name)))
        return name;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(ext);
        if (!QFileInfo::exists(dir.filePath(candidate)))
            return candidate;
    }
}

QStringList LocalFiles::collectFiles(const QString &folder, const QStringList &suffixes, bool recursive)
{
    QStringList found;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden, QDir::NoSort)) {
        for (const QString &suffix : suffixes) {
            if (name.contains(suffix, Qt::CaseInsensitive)) {
                found << QDir::toNativeSeparators(folder + QLatin1Char('/') + name);
                break;
            }
        }
    }
    if (!recursive)
        return found;
    for (const QString &sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::NoSort))
        found << collectFiles(folder + QLatin1Char('/') + sub, suffixes, true);
    return found;
}

qint64 LocalFiles::totalSize(const QStringList &files)
{
    qint64 sum = 0;
    for (const QString &file : files)
        sum += QFileInfo(file).size();
    return sum;
}
