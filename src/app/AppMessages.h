#pragma once

#include <QCoreApplication>
#include <QString>

// Texts about the app service that the window and the command line both
// show, and the local file names made from device names. Translated in the
// context "AppMessages".
class AppMessages
{
    Q_DECLARE_TR_FUNCTIONS(AppMessages)
public:
    // Exporting apps refused because the device's iOS (iosVersion, e.g.
    // "17.2") no longer archives apps (iOS 9 and later): result -1010.
    static QString exportNotAllowed(const QString &iosVersion);

    // The message for a failed app task of `kind` (AppTask::TASK_TYPE) that
    // ended with `error`; subject is the package's file name for installs
    // and the app's name otherwise. Empty when the kind reports nothing
    // (loading, documents) or the task was cancelled (-1011).
    static QString taskFailure(int kind, int error, const QString &subject,
                               const QString &iosVersion = QString());
    // The device would not list the app's documents (documentsUnknown):
    // they are unknown, which is not the same as none.
    static QString documentsUnreadable(const QString &appName);

    // "%.2f GB" above 2^30 bytes, "%.2f MB" above 2^20, else "%.2f KB".
    static QString sizeText(quint64 bytes);
    // Local date "yyyy-MM-dd" of seconds since 1970; empty for 0.
    static QString dateText(qint64 seconds);
    // A document's time: "yyyy-MM-dd hh:mm".
    static QString timeText(const QDateTime &time);

    // The package name of an exported app: "<name> <version>.ipa", or
    // "<name> <version>(including documents).ipa"; the app's identifier
    // stands in for a missing name. Always a safe file name.
    static QString exportFileName(const QString &name, const QString &version, const QString &appId,
                                  bool appOnly);
    // A device's name made fit to be one local file name (LocalFileName):
    // no separators or control characters, no leading dot, no "." or "..",
    // at most maxChars characters and the file system's limit in bytes.
    static QString safeFileName(const QString &name, int maxChars = 200);
};
