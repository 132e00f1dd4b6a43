#include "AppAddDocTask.h"

#include "AppHandler.h"

AppAddDocTask::AppAddDocTask(AppHandler *handler) : AppTask(handler, AppTask::AppAddDocTask)
{
}

void AppAddDocTask::requestOverwriteConfirm(bool *bOverwrite)
{
    emit sig_overwriteConfirm(bOverwrite);
}

void AppAddDocTask::setParams(const QVariantList &params)
{
    m_appId = params.value(0).toString();
    m_localPath = params.value(1).toString();
}

int AppAddDocTask::execute()
{
    return runFrame([this] { return handler()->AppAddDoc(m_appId.toUtf8(), m_localPath.toUtf8(), this); });
}
