#include "InstallAppTask.h"

#include "AppHandler.h"

InstallAppTask::InstallAppTask(AppHandler *handler) : AppTask(handler, AppTask::InstallAppTask)
{
}

void InstallAppTask::requestOverwriteConfirm(bool *bOverwrite)
{
    emit sig_overwriteConfirm(bOverwrite);
}

void InstallAppTask::setParams(const QVariantList &params)
{
    m_packagePath = params.value(0).toString();
}

int InstallAppTask::execute()
{
    return runFrame([this] { return handler()->AppInstall(m_packagePath.toUtf8(), this); });
}
