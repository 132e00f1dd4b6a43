// The AppModel slots that follow the app service and the tasks.
#include "AppModel.h"

#include "AppHandler.h"
#include "AppTaskCtrl.h"
#include "AppTaskManager.h"
#include "DiagLog.h"
#include "ZAppInfoItem.h"

#include <algorithm>

void AppModel::slot_data_loadcompleted(AppInfoItemMap itemMap)
{
    // A reload that finds no apps empties the list.
    if (itemMap.isEmpty() && m_items.empty())
        return;
    std::vector<ZAppInfoItem *> fresh;
    fresh.reserve(size_t(itemMap.size()));
    for (auto it = itemMap.cbegin(); it != itemMap.cend(); ++it) {
        auto *item = new ZAppInfoItem;
        item->record = it.value();
        fresh.push_back(item);
    }
    if (m_items.empty()) {
        beginInsertRows(QModelIndex(), 0, int(fresh.size()) - 1);
        m_items = std::move(fresh);
        endInsertRows();
        return;
    }
    // A second load replaces the rows; tasks still working on an app move
    // to its new record so that their ends find it.
    beginResetModel();
    for (ZAppInfoItem *old : m_items) {
        for (ZAppInfoItem *item : fresh) {
            if (item->record.appId == old->record.appId) {
                for (AppTask *task : old->associatedTasks())
                    item->addAssociateTask(task);
            }
        }
    }
    qDeleteAll(m_items);
    m_items = std::move(fresh);
    // Ticks stay on the apps the reload still found.
    for (auto it = m_checked.begin(); it != m_checked.end();) {
        if (itemMap.contains(*it))
            ++it;
        else
            it = m_checked.erase(it);
    }
    endResetModel();
}

void AppModel::slot_data_itemadded(AppInfoItem item, AppTask *pTask)
{
    ZAppInfoItem *placeholder = takePending(pTask);
    if (!placeholder) {
        DIAG_LOG("no placeholder for the installed app");
        return;
    }
    placeholder->removeAssociateTask(pTask);
    if (ZAppInfoItem *existing = this->item(item.appId)) {
        // A replaced app keeps its row.
        existing->record = item;
        delete placeholder;
        refreshRow(rowOf(existing));
        emit data_itemadded(item);
        return;
    }
    const int row = lowerBound(item.appId);
    beginInsertRows(QModelIndex(), row, row);
    placeholder->record = item;
    m_items.insert(m_items.begin() + row, placeholder);
    endInsertRows();
    emit data_itemadded(item);
}

void AppModel::slot_data_itemremoved(std::string appId)
{
    const QString key = QString::fromUtf8(appId.data(), int(appId.size()));
    ZAppInfoItem *found = item(key);
    if (!found) {
        DIAG_LOG("app not in the model");
        return;
    }
    const int row = rowOf(found);
    beginRemoveRows(QModelIndex(), row, row);
    m_checked.remove(key);
    m_items.erase(m_items.begin() + row);
    delete found;
    endRemoveRows();
}

void AppModel::slot_data_itemchanged(AppInfoItem item, DATACHANGED_REASON reason)
{
    ZAppInfoItem *found = this->item(item.appId);
    if (!found) {
        DIAG_LOG("app not in the model");
        return;
    }
    const int row = rowOf(found);
    if (reason == SIZE_CHANGED) {
        found->record.appSize = item.appSize;
        found->record.documentSize = item.documentSize;
        refreshRow(row, ColAppSize, ColDocumentSize);
    } else if (reason == DOCSIZE_CHANGED) {
        found->record.documentSize = item.documentSize;
        refreshRow(row, ColDocumentSize, ColDocumentSize);
    } else if (reason == ICON_CHANGED) {
        found->record.iconPng = item.iconPng;
        refreshRow(row, ColCheck, ColCheck);
    } else if (reason == INFO_CHANGED) {
        AppInfoItem &r = found->record;
        r.name = item.name;
        r.version = item.version;
        r.genre = item.genre;
        r.purchaseAccount = item.purchaseAccount;
        r.purchaseDate = item.purchaseDate;
        r.releaseDate = item.releaseDate;
        refreshRow(row);
    } else {
        DIAG_LOG("unexpected reason");
    }
}

void AppModel::slot_data_itemchanged(AppInfoItem item, DATACHANGED_REASON reason, DocItemInfo docItem)
{
    ZAppInfoItem *found = this->item(item.appId);
    if (!found) {
        DIAG_LOG("app not in the model");
        return;
    }
    // The row's record is current before anyone hears of the change.
    found->record.documents = item.documents;
    found->record.documentsUnknown = item.documentsUnknown;
    if (reason == DOC_REMOVED) {
        // The service converts the record before the document leaves it.
        QList<DocItemInfo> &docs = found->record.documents;
        docs.erase(std::remove_if(docs.begin(), docs.end(),
                                  [&docItem](const DocItemInfo &d) { return d.path == docItem.path; }),
                   docs.end());
    }
    if (reason >= DOC_ALL_CHANGED && reason <= DOC_SIZE_CHANGED)
        emit data_sharedDocChanged(&item, reason, docItem);
    else if (reason == DOC_REMOVED)
        emit data_sharedDocRemoved(&item, docItem);
    else
        DIAG_LOG("unexpected reason");
}

void AppModel::slot_app_docAdded(AppInfoItem item, DocItemInfo docItem, AppTask *pTask)
{
    ZAppInfoItem *found = this->item(item.appId);
    if (!found) {
        DIAG_LOG("app not in the model");
        return;
    }
    emit data_sharedDocAdded(&item, docItem, pTask);
    found->record.documents = item.documents;
}

void AppModel::slot_taskDataChanged(AppTask *pTask, AppTask::DATA_CHANGED changed)
{
    if (!pTask)
        return;
    const int kind = pTask->kind();
    if (changed == AppTask::CHANGED_PROGRESS && kind >= AppTask::UninstallAppTask
        && kind <= AppTask::ExportApptoiTunesTask) {
        // Views draw a running task's progress on its app's row.
        if (ZAppInfoItem *owner = itemByTask(pTask))
            refreshRow(rowOf(owner));
        return;
    }
    if (changed != AppTask::CHANGED_STATUS || pTask->status() != AppTask::STATUS_FINISHED
        || !AppTaskCtrl::instance()->finishReached(pTask))
        return;
    const int error = pTask->error();
    switch (kind) {
    case AppTask::InstallAppTask:
        if (error < 0) {
            delete takePending(pTask);
            if (error != -1005)
                emit taskFailed(pTask);
        }
        break;
    case AppTask::ExportApptoPCTask:
    case AppTask::ExportApptoiTunesTask: {
        ZAppInfoItem *owner = itemByTask(pTask);
        if (!owner) {
            DIAG_LOG("no app has the task");
            break;
        }
        owner->removeAssociateTask(pTask);
        refreshRow(rowOf(owner));
        if (error < 0)
            emit taskFailed(pTask);
        break;
    }
    case AppTask::LoadAppDataTask:
        emit loadTaskCompleted();
        break;
    case AppTask::UninstallAppTask:
        // A successful uninstall removed the record already; a failed one
        // frees its app for the next action.
        if (ZAppInfoItem *owner = itemByTask(pTask)) {
            owner->removeAssociateTask(pTask);
            refreshRow(rowOf(owner));
        }
        if (error < 0)
            emit taskFailed(pTask);
        break;
    default:
        break;
    }
    AppTaskManager::instance()->remove(AppTaskCtrl::deviceKey(pTask->handler()), pTask->id());
    if (!refersTo(pTask))
        AppTaskCtrl::instance()->retire(pTask);
}
