#include "CliMessages.h"

#include "AppAddDocTask.h"
#include "AppDeleteDocTask.h"
#include "AppMessages.h"
#include "CliConsole.h"
#include "ExportApptoPCTask.h"
#include "ExportApptoiTunesTask.h"
#include "ExportDoctoPCTask.h"
#include "InstallAppTask.h"
#include "UninstallAppTask.h"
#include "communication.h"

#include <QFileInfo>

namespace {

QString exportFailure(int error, const QString &name, bool toItunes)
{
    if (error == -1008 || error == -1009)
        return QStringLiteral("Fail to copy the app \"%1\" to your computer. It may be caused by the following factors: "
                              "1) Your device is locked by passcode; 2) Your device doesn't have a free space bigger "
                              "than the size of the app that is going to be exported.")
            .arg(name);
    if (toItunes)
        return QStringLiteral("Fail to copy the app \"%1\" to iTunes.").arg(name);
    return QStringLiteral("Fail to copy the app \"%1\" to your computer.").arg(name);
}

} // namespace

QString CliMessages::failure(int kind, int error, const QString &subject, Severity *severity, const QString &iosVersion)
{
    *severity = error == 0 ? None : Failure;
    if (error == 0)
        return QString();
    if (error == -1010 && (kind == AppTask::ExportApptoPCTask || kind == AppTask::ExportApptoiTunesTask))
        return AppMessages::exportNotAllowed(iosVersion);
    switch (kind) {
    case AppTask::LoadAppDataTask:
        return QStringLiteral("Cannot read the apps on the device.");
    case AppTask::InstallAppTask:
        switch (error) {
        case -1001:
            return QStringLiteral("The app file \"%1\" cannot be installed on your device because its kind does not "
                                  "match with your device.").arg(subject);
        case -1002:
            return QStringLiteral("The app file \"%1\" cannot be installed on your device because it does not "
                                  "support your iOS version.").arg(subject);
        case -1003:
            *severity = Warning;
            return QStringLiteral("The app \"%1\" may not be normally opened. If so, you need to activate the account "
                                  "that was used to buy this app. To do this, please login the App Store on your "
                                  "device with this account and then randomly download an app.").arg(subject);
        case -1005:
            return QStringLiteral("The app file \"%1\" was not installed: the app is already on your device "
                                  "(--replace replaces it).").arg(subject);
        default:
            return QStringLiteral("Fail to install the app file \"%1\" on your device.").arg(subject);
        }
    case AppTask::UninstallAppTask:
        return QStringLiteral("Fail to delete the app \"%1\" on your device.").arg(subject);
    case AppTask::ExportApptoPCTask:
        return exportFailure(error, subject, false);
    case AppTask::ExportApptoiTunesTask:
        return exportFailure(error, subject, true);
    case AppTask::AppAddDocTask:
        if (error == -1006)
            return QStringLiteral("The file \"%1\" was not added: a document of that name is already on your device "
                                  "(--replace replaces it).").arg(subject);
        return QStringLiteral("Fail to add the file \"%1\" to your device.").arg(subject);
    case AppTask::ExportDoctoPCTask:
        return QStringLiteral("Fail to copy the document \"%1\" to your computer.").arg(subject);
    case AppTask::AppDeleteDocTask:
        return QStringLiteral("Fail to delete the document \"%1\" on your device.").arg(subject);
    default:
        return QStringLiteral("The task failed (%1).").arg(error);
    }
}

QString CliMessages::subject(const AppTask *task)
{
    switch (task->kind()) {
    case AppTask::InstallAppTask:
        return QFileInfo(static_cast<const InstallAppTask *>(task)->packagePath()).fileName();
    case AppTask::UninstallAppTask:
        return static_cast<const UninstallAppTask *>(task)->name();
    case AppTask::ExportApptoPCTask:
        return static_cast<const ExportApptoPCTask *>(task)->name();
    case AppTask::ExportApptoiTunesTask:
        return static_cast<const ExportApptoiTunesTask *>(task)->name();
    case AppTask::AppAddDocTask:
        return QFileInfo(static_cast<const AppAddDocTask *>(task)->localPath()).fileName();
    case AppTask::ExportDoctoPCTask:
        return static_cast<const ExportDoctoPCTask *>(task)->fileName();
    case AppTask::AppDeleteDocTask:
        return static_cast<const AppDeleteDocTask *>(task)->docName();
    default:
        return QString();
    }
}

QString CliMessages::deviceReason(const TaskStatusInfo &info)
{
    if (info.status != kDeviceErrorStatus)
        return QString();
    return CliConsole::printable(QString::fromUtf8(info.error.c_str()));
}
