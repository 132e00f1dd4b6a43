#include "AppMessages.h"

#include "AppTask.h"
#include "LocalFileName.h"

#include <QDateTime>

namespace {

// Bound of the app's version in an export's file name (UTF-8 bytes).
constexpr int kMaxVersionBytes = 64;

} // namespace

QString AppMessages::exportNotAllowed(const QString &iosVersion)
{
    return tr("Your device's iOS (%1) no longer allows copying apps to the computer. "
              "Apps can be copied only from devices with iOS 8 or earlier.")
        .arg(iosVersion);
}

QString AppMessages::documentsUnreadable(const QString &appName)
{
    return tr("The documents of the app \"%1\" could not be read from your device.").arg(appName);
}

QString AppMessages::taskFailure(int kind, int error, const QString &subject, const QString &iosVersion)
{
    if (error == 0 || error == -1011)
        return QString();
    const bool exportKind = kind == AppTask::ExportApptoPCTask || kind == AppTask::ExportApptoiTunesTask;
    if (exportKind && error == -1010)
        return exportNotAllowed(iosVersion);
    // Both export kinds speak of the computer here: the archive is made on
    // the device before anything reaches iTunes' folder.
    if (exportKind && (error == -1008 || error == -1009))
        return tr("Fail to copy the app \"%1\" to your computer. It may be caused by the following factors: "
                  "1) Your device is locked by passcode; 2) Your device doesn't have a free space bigger "
                  "than the size of the app that is going to be exported.")
            .arg(subject);
    switch (kind) {
    case AppTask::InstallAppTask:
        switch (error) {
        case -1001:
            return tr("The app file \"%1\" cannot be installed on your device because its kind does not "
                      "match with your device.").arg(subject);
        case -1002:
            return tr("The app file \"%1\" cannot be installed on your device because it does not "
                      "support your iOS version.").arg(subject);
        case -1003:
            return tr("The app \"%1\" may not be normally opened. If so, you need to activate the account "
                      "that was used to buy this app. To do this, please login the App Store on your "
                      "device with this account and then randomly download an app.").arg(subject);
        default:
            return tr("Fail to install the app file \"%1\" on your device.").arg(subject);
        }
    case AppTask::UninstallAppTask:
        return tr("Fail to delete the app \"%1\" on your device.").arg(subject);
    case AppTask::ExportApptoPCTask:
        return tr("Fail to copy the app \"%1\" to your computer.").arg(subject);
    case AppTask::ExportApptoiTunesTask:
        return tr("Fail to copy the app \"%1\" to iTunes.").arg(subject);
    default:
        return QString();
    }
}

QString AppMessages::sizeText(quint64 bytes)
{
    if (bytes > (quint64(1) << 30))
        return tr("%1 GB").arg(double(bytes) / double(quint64(1) << 30), 0, 'f', 2);
    if (bytes > (quint64(1) << 20))
        return tr("%1 MB").arg(double(bytes) / double(quint64(1) << 20), 0, 'f', 2);
    return tr("%1 KB").arg(double(bytes) / 1024.0, 0, 'f', 2);
}

QString AppMessages::dateText(qint64 seconds)
{
    if (seconds == 0)
        return QString();
    // Only the low 32 bits are a time value: an unreadable store date
    // (4294967295) thus shows as the last date such a value can hold.
    const quint32 low = quint32(quint64(seconds) & 0xffffffffu);
    return QDateTime::fromSecsSinceEpoch(qint64(low)).date().toString(QStringLiteral("yyyy-MM-dd"));
}

QString AppMessages::timeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

QString AppMessages::exportFileName(const QString &name, const QString &version, const QString &appId,
                                    bool appOnly)
{
    // The version, the documents mark and the extension are kept whole; the
    // app's name gives way to fit the file system's limit.
    QString suffix = QLatin1Char(' ') + LocalFileName::clean(version, kMaxVersionBytes);
    if (!appOnly)
        suffix += QLatin1Char('(') + tr("including documents") + QLatin1Char(')');
    suffix += QLatin1String(".ipa");
    return LocalFileName::make(name.isEmpty() ? appId : name, suffix);
}

QString AppMessages::safeFileName(const QString &name, int maxChars)
{
    return LocalFileName::make(name.left(qMax(1, maxChars)));
}
