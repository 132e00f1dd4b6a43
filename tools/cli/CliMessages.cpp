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

QString CliMessages::failure(int kind, int error, const QString &subject, Severity *severity, const QString &iosVersion)
{
    *severity = error == 0 ? None : Failure;
    if (error == 0)
        return QString();
    switch (kind) {
    case AppTask::LoadAppDataTask:
        return QStringLiteral("Cannot read the apps on the device.");
    case AppTask::InstallAppTask:
        if (error == -1005)
            return QStringLiteral("The app file \"%1\" was not installed: the app is already on your device "
                                  "(--replace replaces it).").arg(subject);
        if (error == -1003)
            *severity = Warning;
        return AppMessages::taskFailure(kind, error, subject);
    case AppTask::UninstallAppTask:
    case AppTask::ExportApptoPCTask:
    case AppTask::ExportApptoiTunesTask:
        return AppMessages::taskFailure(kind, error, subject, iosVersion);
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
