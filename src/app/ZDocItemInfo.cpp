#include "ZDocItemInfo.h"

#include "AssociatedTasks.h"

void ZDocItemInfo::addAssociateTask(AppTask *task)
{
    if (!AssociatedTasks::add(&m_tasks, task) && task)
        DIAG_ERROR();
}

void ZDocItemInfo::removeAssociateTask(AppTask *task)
{
    AssociatedTasks::remove(&m_tasks, task);
}
