#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

class QDropEvent;
class QMimeData;
class QObject;

// What the app views take from a drop: .ipa files (suffix in any case),
// dropped directly or found in dropped folders and all their subfolders.
class AppDropFiles
{
public:
    // True for file URLs ("text/uri-list") that do not come from an app
    // view of this program (a view never installs its own apps). Reads only
    // the offered formats, never the data itself.
    static bool acceptable(const QDropEvent *event);
    static bool acceptable(const QMimeData *data, const QObject *source);
    // The local paths (native separators) of the packages, in the order found:
    // each folder's files first, then its subfolders, unsorted.
    static QStringList collect(const QList<QUrl> &urls);
    static bool isPackage(const QString &path);

    // Accepts the proposed action of an acceptable drag, else ignores it.
    static void answer(QDropEvent *event);
    // The packages of a drop (accepted when acceptable; a drop without
    // URLs is logged and gives nothing).
    static QStringList take(QDropEvent *event);

private:
    static void collectFolder(const QString &folder, QStringList &out, int depth);
};
