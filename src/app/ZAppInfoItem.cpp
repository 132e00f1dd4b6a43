#include "ZAppInfoItem.h"

#include "AssociatedTasks.h"

void ZAppInfoItem::addAssociateTask(AppTask *task)
{
    if (!AssociatedTasks::add(&m_tasks, task) && task)
        DIAG_ERROR();
}

void ZAppInfoItem::removeAssociateTask(AppTask *task)
{
    AssociatedTasks::remove(&m_tasks, task);
}
