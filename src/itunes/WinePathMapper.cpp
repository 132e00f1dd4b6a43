#include "WinePathMapper.h"

#include "DiagLog.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

bool forbiddenName(const QString &name)
{
    for (const QChar c : name) {
        if (c.unicode() < 32 || QStringLiteral("<>:\"|?*").contains(c))
            return true;
    }
    return false;
}

// The entry of `dir` whose name equals `name` ignoring case, or `name`
// itself when there is none.
QString matchCase(const QString &dir, const QString &name)
{
    if (QFileInfo::exists(dir + QLatin1Char('/') + name))
        return name;
    const QString folded = name.toCaseFolded();
    const QStringList entries =
        QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        if (entry.toCaseFolded() == folded)
            return entry;
    }
    return name;
}

} // namespace

WinePathMapper::WinePathMapper(const QString &prefixDir)
    : prefix_(prefixDir)
{
}

QString WinePathMapper::driveRoot(QChar letter) const
{
    const QString device =
        prefix_ + QStringLiteral("/dosdevices/") + letter.toLower() + QLatin1Char(':');
    QString root = QFileInfo(device).canonicalFilePath();
    if (root.isEmpty() && letter.toLower() == QLatin1Char('c'))
        root = QFileInfo(prefix_ + QStringLiteral("/drive_c")).canonicalFilePath();
    return root;
}

QString WinePathMapper::localPath(const QString &windowsPath) const
{
    QString path = windowsPath.trimmed();
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (path.startsWith(QLatin1String("\\\\?\\")))
        path.remove(0, 4);
    if (path.size() > kMaxPathLength || path.size() < 2 || !path.at(0).isLetter()
        || path.at(0).unicode() > 127 || path.at(1) != QLatin1Char(':')) {
        DIAG_LOG(QStringLiteral("not an absolute drive path: %1").arg(path.left(300))
                     .toLocal8Bit().constData());
        return QString();
    }
    const QString root = driveRoot(path.at(0));
    if (root.isEmpty()) {
        DIAG_LOG(QStringLiteral("no drive %1 in %2").arg(path.left(2), prefix_)
                     .toLocal8Bit().constData());
        return QString();
    }

    QStringList parts;
    for (const QString &part : path.mid(2).split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        if (forbiddenName(part)) {
            DIAG_LOG(QStringLiteral("forbidden name in %1").arg(path.left(300))
                         .toLocal8Bit().constData());
            return QString();
        }
        parts.append(part);
    }

    // Once a component is missing nothing below it can exist, so stop listing.
    QString local = root;
    bool exists = true;
    for (const QString &part : parts) {
        const QString name = exists ? matchCase(local, part) : part;
        local = (local == QLatin1String("/") ? QString() : local) + QLatin1Char('/') + name;
        exists = exists && QFileInfo::exists(local);
    }
    return local;
}
