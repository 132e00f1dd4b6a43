#pragma once

#include "DocItemInfo.h"

#include <QList>
#include <QObject>

class AppTask;

// A document record inside the document model, with the tasks working on it
// (weak). Lives on the user interface thread.
class ZDocItemInfo : public QObject
{
    Q_OBJECT
public:
    ZDocItemInfo() = default;

    DocItemInfo record;

    const QList<AppTask *> &associatedTasks() const { return m_tasks; }
    void addAssociateTask(AppTask *task);
    void removeAssociateTask(AppTask *task);

private:
    QList<AppTask *> m_tasks;
};
