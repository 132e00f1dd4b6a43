#include "UninstallAppTask.h"

#include "AppHandler.h"
#include "AppTaskParams.h"
#include "DiagLog.h"

UninstallAppTask::UninstallAppTask(AppHandler *handler) : AppTask(handler, AppTask::UninstallAppTask)
{
}

void UninstallAppTask::setParams(const QVariantList &params)
{
    const ZAppInfoItem *item = AppTaskParams::appItem(params, 0);
    if (!item) {
        DIAG_LOG("no app record");
        return;
    }
    m_appId = item->record.appId;
    m_name = item->record.name;
}

int UninstallAppTask::execute()
{
    return runFrame([this] { return handler()->AppUninstall(m_appId.toUtf8(), this); });
}
