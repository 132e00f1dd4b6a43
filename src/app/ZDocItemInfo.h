#pragma once

#include "DocItemInfo.h"

#include <QList>
#include <QObject>

#include <memory>

class AppTask;
class QImage;

// A document record inside the document model, with the tasks working on it
// (weak). Lives on the user interface thread.
class ZDocItemInfo : public QObject
{
    Q_OBJECT
public:
    ZDocItemInfo() = default;

    DocItemInfo record;
    // The file-type icon, derived from the name on first use by the GUI
    // side's decorations (ModelDecorations); dropped when the document or
    // its icon is reported changed.
    mutable std::shared_ptr<QImage> icon;

    const QList<AppTask *> &associatedTasks() const { return m_tasks; }
    void addAssociateTask(AppTask *task);
    void removeAssociateTask(AppTask *task);

private:
    QList<AppTask *> m_tasks;
};
