#pragma once

#include "AppTask.h"
#include "DiagLog.h"

#include <QList>

// The task-list rules shared by the app and document holders: a pointer is
// kept once; removal goes by task identifier.
namespace AssociatedTasks {

inline bool add(QList<AppTask *> *tasks, AppTask *task)
{
    if (!task || tasks->contains(task))
        return false;
    tasks->append(task);
    return true;
}

inline void remove(QList<AppTask *> *tasks, AppTask *task)
{
    if (!task)
        return;
    const QString id = task->id();
    for (int i = 0; i < tasks->size(); ++i) {
        if (tasks->at(i)->id() == id) {
            tasks->removeAt(i);
            return;
        }
    }
}

} // namespace AssociatedTasks
