#include "LoadAppDataTask.h"

#include "AppHandler.h"

LoadAppDataTask::LoadAppDataTask(AppHandler *handler) : AppTask(handler, AppTask::LoadAppDataTask)
{
}

void LoadAppDataTask::setParams(const QVariantList &params)
{
    m_named = !params.isEmpty();
    m_appIds = m_named ? params.first().toStringList() : QStringList();
}

int LoadAppDataTask::execute()
{
    return runFrame([this] { return m_named ? handler()->LoadApps(m_appIds) : handler()->Load(); });
}
