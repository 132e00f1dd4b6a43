#include "AppTaskManager.h"

#include "AppAddDocTask.h"
#include "AppDeleteDocTask.h"
#include "AppTaskCtrl.h"
#include "DiagLog.h"
#include "ExportApptoPCTask.h"
#include "ExportApptoiTunesTask.h"
#include "ExportDoctoPCTask.h"
#include "InstallAppTask.h"
#include "LoadAppDataTask.h"
#include "UninstallAppTask.h"

AppTaskManager *AppTaskManager::instance()
{
    static AppTaskManager *manager = new AppTaskManager;
    return manager;
}

AppTask *AppTaskManager::create(AppHandler *handler, int kind, const QVariantList &params)
{
    AppTask *task = nullptr;
    switch (kind) {
    case AppTask::LoadAppDataTask: task = new LoadAppDataTask(handler); break;
    case AppTask::InstallAppTask: task = new InstallAppTask(handler); break;
    case AppTask::UninstallAppTask: task = new UninstallAppTask(handler); break;
    case AppTask::ExportApptoPCTask: task = new ExportApptoPCTask(handler); break;
    case AppTask::ExportApptoiTunesTask: task = new ExportApptoiTunesTask(handler); break;
    case AppTask::AppAddDocTask: task = new AppAddDocTask(handler); break;
    case AppTask::ExportDoctoPCTask: task = new ExportDoctoPCTask(handler); break;
    case AppTask::AppDeleteDocTask: task = new AppDeleteDocTask(handler); break;
    default:
        DIAG_LOG("unknown task kind");
        return nullptr;
    }
    task->setParams(params);
    m_registry[AppTaskCtrl::deviceKey(handler)].append(task);
    return task;
}

int AppTaskManager::remove(const QString &key, const QString &taskId)
{
    auto it = m_registry.find(key);
    if (it == m_registry.end())
        return -1;
    for (int i = 0; i < it->size(); ++i) {
        if (it->at(i)->id() == taskId) {
            it->removeAt(i);
            break;
        }
    }
    return 0;
}

void AppTaskManager::removeDevice(const QString &key)
{
    m_registry.remove(key);
}

QList<AppTask *> AppTaskManager::task(AppHandler *handler, int kind) const
{
    const QString key = AppTaskCtrl::deviceKey(handler);
    auto it = m_registry.constFind(key);
    if (it == m_registry.constEnd()) {
        DIAG_LOG("device not registered");
        return {};
    }
    QList<AppTask *> found;
    for (AppTask *t : *it) {
        if (t->kind() == kind)
            found.append(t);
    }
    return found;
}
