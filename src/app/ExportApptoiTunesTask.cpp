#include "ExportApptoiTunesTask.h"

#include "AppHandler.h"
#include "AppTaskParams.h"
#include "DiagLog.h"

ExportApptoiTunesTask::ExportApptoiTunesTask(AppHandler *handler)
    : AppTask(handler, AppTask::ExportApptoiTunesTask)
{
}

void ExportApptoiTunesTask::setParams(const QVariantList &params)
{
    const ZAppInfoItem *item = AppTaskParams::appItem(params, 0);
    if (item) {
        m_appId = item->record.appId;
        m_name = item->record.name;
    } else {
        DIAG_LOG("no app record");
    }
    m_appOnly = params.value(1).toBool();
}

int ExportApptoiTunesTask::execute()
{
    return runFrame([this] { return handler()->exportToiTunes(m_appId.toUtf8(), m_appOnly, this); });
}
