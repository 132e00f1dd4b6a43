#include "AppDropFiles.h"

#include "AppListView.h"
#include "AppTreeView.h"
#include "DiagLog.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

namespace {

// Folders nested deeper than this are a loop of links or not worth walking.
constexpr int kMaxDepth = 32;

} // namespace

bool AppDropFiles::acceptable(const QDropEvent *event)
{
    return acceptable(event->mimeData(), event->source());
}

bool AppDropFiles::acceptable(const QMimeData *data, const QObject *source)
{
    if (qobject_cast<const AppListView *>(source) || qobject_cast<const AppTreeView *>(source))
        return false;
    return data && data->hasFormat(QStringLiteral("text/uri-list"));
}

void AppDropFiles::answer(QDropEvent *event)
{
    if (acceptable(event))
        event->acceptProposedAction();
    else
        event->ignore();
}

QStringList AppDropFiles::take(QDropEvent *event)
{
    if (!acceptable(event)) {
        event->ignore();
        return {};
    }
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty()) {
        DIAG_ERROR();
        return {};
    }
    event->acceptProposedAction();
    return collect(urls);
}

bool AppDropFiles::isPackage(const QString &path)
{
    return path.endsWith(QLatin1String(".ipa"), Qt::CaseInsensitive);
}

QStringList AppDropFiles::collect(const QList<QUrl> &urls)
{
    QStringList out;
    for (const QUrl &url : urls) {
        const QString path = QDir::toNativeSeparators(url.toLocalFile());
        if (path.isEmpty())
            continue;
        const QFileInfo info(path);
        if (info.isFile() && isPackage(path))
            out << path;
        else if (info.isDir())
            collectFolder(path, out, 0);
    }
    return out;
}

void AppDropFiles::collectFolder(const QString &folder, QStringList &out, int depth)
{
    if (depth > kMaxDepth) {
        DIAG_LOG("folder nesting too deep");
        return;
    }
    const QDir dir(folder);
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Unsorted);
    for (const QFileInfo &file : files) {
        if (isPackage(file.fileName()))
            out << QDir::toNativeSeparators(file.absoluteFilePath());
    }
    const QFileInfoList folders =
        dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks, QDir::Unsorted);
    for (const QFileInfo &sub : folders)
        collectFolder(sub.absoluteFilePath(), out, depth + 1);
}
