#include "LoadAppDataTask.h"

#include "AppHandler.h"

LoadAppDataTask::LoadAppDataTask(AppHandler *handler) : AppTask(handler, AppTask::LoadAppDataTask)
{
}

void LoadAppDataTask::setParams(const QVariantList &)
{
}

int LoadAppDataTask::execute()
{
    return runFrame([this] { return handler()->Load(); });
}
