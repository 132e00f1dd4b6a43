#include "ExportApptoPCTask.h"

#include "AppHandler.h"
#include "AppTaskParams.h"
#include "DiagLog.h"

ExportApptoPCTask::ExportApptoPCTask(AppHandler *handler) : AppTask(handler, AppTask::ExportApptoPCTask)
{
}

void ExportApptoPCTask::setTargetPath(const QString &path)
{
    m_targetPath = path;
    m_savePath = path;
}

void ExportApptoPCTask::setParams(const QVariantList &params)
{
    const ZAppInfoItem *item = AppTaskParams::appItem(params, 0);
    if (item) {
        m_appId = item->record.appId;
        m_name = item->record.name;
    } else {
        DIAG_LOG("no app record");
    }
    m_appOnly = params.value(1).toBool();
    setTargetPath(params.value(2).toString());
}

int ExportApptoPCTask::execute()
{
    return runFrame([this] {
        return handler()->AppArchive(m_appId.toUtf8(), m_appOnly, m_targetPath.toUtf8(), this);
    });
}
