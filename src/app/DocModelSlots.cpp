// The DocModel slots that follow the app model's document signals and the
// document tasks.
#include "DocModel.h"

#include "AppModel.h"
#include "AppTaskCtrl.h"
#include "AppTaskManager.h"
#include "DiagLog.h"
#include "ExportDoctoPCTask.h"
#include "ZAppInfoItem.h"
#include "ZDocItemInfo.h"

#include <algorithm>

void DocModel::slot_appRemoved(const QModelIndex &parent, int start, int end)
{
    if (parent.isValid() || !m_appModel)
        return;
    for (int row = start; row <= end; ++row) {
        ZAppInfoItem *app = m_appModel->itemAt(row);
        if (!app)
            continue;
        if (app == m_current) {
            beginResetModel();
            m_current = nullptr;
            qDeleteAll(m_docs.take(app->record.appId));
            endResetModel();
        } else {
            qDeleteAll(m_docs.take(app->record.appId));
        }
    }
}

void DocModel::slot_appModelAboutToBeReset()
{
    // The app model's records are about to be replaced: the current
    // pointer would dangle. Lists stay, keyed by identifier.
    beginResetModel();
    m_current = nullptr;
    endResetModel();
}

// Signals for an app whose list was never built are skipped: the app
// model's record already holds the change and the list is built from it
// when the app is shown.
void DocModel::slot_docAdded(AppInfoItem *pAppItem, DocItemInfo docItem, AppTask *pTask)
{
    ZDocItemInfo *item = adoptOrphanDataItem(pTask);
    if (!item || !pAppItem)
        return;
    item->record = docItem;
    auto it = m_docs.find(pAppItem->appId);
    if (it == m_docs.end()) {
        delete item;
        return;
    }
    DocList &list = *it;
    const int row = int(std::lower_bound(list.begin(), list.end(), item, &DocModel::lessThan) - list.begin());
    if (isCurrent(pAppItem->appId)) {
        beginInsertRows(QModelIndex(), row, row);
        list.insert(row, item);
        endInsertRows();
    } else {
        list.insert(row, item);
    }
}

void DocModel::slot_docChanged(AppInfoItem *pAppItem, DATACHANGED_REASON reason, DocItemInfo docItem)
{
    if (!pAppItem)
        return;
    auto it = m_docs.find(pAppItem->appId);
    if (it == m_docs.end())
        return;
    if (reason == DOC_ALL_CHANGED && docItem.path.isEmpty()) {
        // The app's whole document list arrived (after the app list).
        rebuild(*it, *pAppItem);
        return;
    }
    const int position = indexByPath(*it, docItem.path);
    if (position < 0)
        return;
    ZDocItemInfo *doc = it->at(position);
    DocItemInfo &r = doc->record;
    int first = 0;
    int last = ColumnCount - 1;
    switch (reason) {
    case DOC_ALL_CHANGED:
        doc->icon.reset();
        r.name = docItem.name;
        r.modifiedTime = docItem.modifiedTime;
        r.createdTime = docItem.createdTime;
        r.size = docItem.size;
        break;
    case DOC_ICON_CHANGED:
        doc->icon.reset();
        first = last = ColIcon;
        break;
    case DOC_NAME_CHANGED:
        r.name = docItem.name;
        first = last = ColName;
        break;
    case DOC_CREATED_CHANGED:
        // Sent once with the final file information of an added document:
        // the size of the last progress report is not the final size.
        r.createdTime = docItem.createdTime;
        r.modifiedTime = docItem.modifiedTime;
        r.size = docItem.size;
        first = ColModified;
        last = ColSize;
        break;
    case DOC_MODIFIED_CHANGED:
        r.modifiedTime = docItem.modifiedTime;
        first = last = ColModified;
        break;
    case DOC_SIZE_CHANGED:
        r.size = docItem.size;
        first = last = ColSize;
        break;
    default:
        DIAG_LOG("unexpected reason");
        return;
    }
    if (isCurrent(pAppItem->appId))
        emit dataChanged(index(position, first), index(position, last));
}

void DocModel::slot_docRemoved(AppInfoItem *pAppItem, DocItemInfo docItem)
{
    if (!pAppItem)
        return;
    auto it = m_docs.find(pAppItem->appId);
    if (it == m_docs.end())
        return;
    const int position = indexByPath(*it, docItem.path);
    if (position < 0)
        return;
    const bool current = isCurrent(pAppItem->appId);
    if (current)
        beginRemoveRows(QModelIndex(), position, position);
    delete it->takeAt(position);
    if (current)
        endRemoveRows();
}

void DocModel::slot_taskDataChanged(AppTask *pTask, AppTask::DATA_CHANGED changed)
{
    if (!pTask)
        return;
    const int kind = pTask->kind();
    if (changed == AppTask::CHANGED_PROGRESS) {
        if (kind != AppTask::ExportDoctoPCTask || !m_current)
            return;
        if (static_cast<ExportDoctoPCTask *>(pTask)->appId() != m_current->record.appId)
            return;
        const int row = rowOf(dataItemByTask(pTask));
        if (row < 0)
            DIAG_LOG("no document has the task");
        refreshRow(row);
        return;
    }
    if (changed != AppTask::CHANGED_STATUS || pTask->status() != AppTask::STATUS_FINISHED
        || !AppTaskCtrl::instance()->finishReached(pTask))
        return;
    if (kind == AppTask::AppAddDocTask && pTask->error() < 0) {
        delete adoptOrphanDataItem(pTask);
    } else {
        // Delete-document tasks are detached too: a failed delete must not
        // leave its document in use.
        ZDocItemInfo *owner = dataItemByTask(pTask);
        if (owner) {
            owner->removeAssociateTask(pTask);
            refreshRow(rowOf(owner));
        } else if (kind != AppTask::AppDeleteDocTask && kind != AppTask::AppAddDocTask) {
            DIAG_LOG("no document has the task");
        }
    }
    AppTaskManager::instance()->remove(AppTaskCtrl::deviceKey(pTask->handler()), pTask->id());
    if (!refersTo(pTask))
        AppTaskCtrl::instance()->retire(pTask);
}

void DocModel::rebuild(DocList &list, const AppInfoItem &app)
{
    if (std::any_of(list.begin(), list.end(), [](const ZDocItemInfo *d) { return !d->associatedTasks().isEmpty(); })) {
        DIAG_LOG("document list busy; not replaced");
        return;
    }
    const bool current = isCurrent(app.appId);
    if (current)
        beginResetModel();
    qDeleteAll(list);
    list.clear();
    for (const DocItemInfo &doc : app.documents) {
        auto *item = new ZDocItemInfo;
        item->record = doc;
        list.append(item);
    }
    if (current)
        endResetModel();
}
