#include "AppDeleteDocTask.h"

#include "AppHandler.h"

AppDeleteDocTask::AppDeleteDocTask(AppHandler *handler) : AppTask(handler, AppTask::AppDeleteDocTask)
{
}

void AppDeleteDocTask::setParams(const QVariantList &params)
{
    m_appId = params.value(0).toString();
    m_docName = params.value(1).toString();
}

int AppDeleteDocTask::execute()
{
    // The delete operation reports no progress: the task is not handed on.
    return runFrame([this] { return handler()->AppDeleteDoc(m_appId.toUtf8(), m_docName.toUtf8()); });
}
