#pragma once

#include "AppInfoItem.h"

#include <QList>
#include <QObject>

#include <memory>

class AppIconCache;
class AppTask;

// An app record inside the models, with the tasks working on it (weak: the
// record never deletes a task). Lives on the user interface thread.
class ZAppInfoItem : public QObject
{
    Q_OBJECT
public:
    ZAppInfoItem() = default;

    AppInfoItem record;
    // The icon as views draw it, made from record.iconPng on first use by
    // the GUI side's decorations (ModelDecorations); empty until then.
    mutable std::shared_ptr<AppIconCache> iconCache;

    const QList<AppTask *> &associatedTasks() const { return m_tasks; }
    // Adds the task unless that very pointer is there already (logged).
    void addAssociateTask(AppTask *task);
    // Removes the first task with the same identifier; null is ignored.
    void removeAssociateTask(AppTask *task);

private:
    QList<AppTask *> m_tasks;
};
