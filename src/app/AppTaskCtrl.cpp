#include "AppTaskCtrl.h"

#include "AppHandler.h"
#include "AppTaskThread.h"
#include "DiagLog.h"

AppTaskCtrl *AppTaskCtrl::instance()
{
    static AppTaskCtrl *ctrl = new AppTaskCtrl;
    return ctrl;
}

QString AppTaskCtrl::deviceKey(const AppHandler *handler)
{
    return handler ? QString::fromUtf8(handler->deviceId()) : QString();
}

void AppTaskCtrl::addTask(AppTask *task)
{
    if (!task || !task->handler()) {
        DIAG_LOG("task without a device");
        return;
    }
    AppTask::registerMetaTypes();
    connect(task, &AppTask::statusChanged, this, &AppTaskCtrl::taskStatusChanged, Qt::AutoConnection);
    const QString key = deviceKey(task->handler());
    if (!m_threads.contains(key)) {
        auto *thread = new AppTaskThread(QStringLiteral("device-") + key);
        // Queued: the slot runs on the GUI thread after every signal the
        // worker emitted for the task during execute().
        connect(thread, &AppTaskThread::taskReleased, this, &AppTaskCtrl::slot_taskReleased,
                Qt::QueuedConnection);
        m_threads.insert(key, thread);
    }
    m_tasks[key].append(task);
    m_life.insert(task, 0);
    m_keys.insert(task, key);
    task->setError(0);
    task->setStatus(AppTask::STATUS_WAITING);
}

void AppTaskCtrl::taskStatusChanged(AppTask *pTask, AppTask::TASK_STATUS old, AppTask::TASK_STATUS now)
{
    const auto known = m_keys.constFind(pTask);
    if (!pTask || known == m_keys.constEnd()) {
        DIAG_LOG("status of a task that is no longer followed");
        return;
    }
    const QString key = *known;
    if (old == AppTask::STATUS_CREATED && now == AppTask::STATUS_WAITING) {
        AppTaskThread *thread = m_threads.value(key);
        if (thread)
            thread->enqueue(pTask);
        else
            DIAG_LOG("no thread for the device");
    } else if (old == AppTask::STATUS_WAITING && now == AppTask::STATUS_RUNNING) {
    } else if ((old == AppTask::STATUS_WAITING || old == AppTask::STATUS_RUNNING)
               && now == AppTask::STATUS_FINISHED) {
        auto it = m_tasks.find(key);
        if (it != m_tasks.end())
            it->removeOne(pTask);
        auto life = m_life.find(pTask);
        if (life != m_life.end())
            *life |= FinishSeen;
    } else {
        DIAG_ERROR();
    }
}

bool AppTaskCtrl::cancelTask(AppTask *task)
{
    if (!task || !m_life.contains(task) || task->status() == AppTask::STATUS_FINISHED)
        return false;
    task->cancel();
    AppTaskThread *thread = m_threads.value(deviceKey(task->handler()));
    if (thread && thread->drop(task)) {
        // Out of the queue, the worker never sees it: finish it here, as
        // the worker would have, so the models let go of it.
        task->setError(AppTask::kCancelled);
        task->setStatus(AppTask::STATUS_FINISHED);
        slot_taskReleased(task);
    }
    return true;
}

QPair<int, int> AppTaskCtrl::progress(const QString &key) const
{
    qint64 sum = 0;
    int count = 0;
    for (const AppTask *task : m_tasks.value(key)) {
        const int kind = task->kind();
        if (kind < AppTask::InstallAppTask || kind > AppTask::ExportApptoiTunesTask)
            continue;
        if (task->status() == AppTask::STATUS_FINISHED)
            continue;
        sum += task->progress();
        ++count;
    }
    return qMakePair(count ? int(sum / count) : 0, 0);
}

bool AppTaskCtrl::isBusy(const QString &key) const
{
    const QList<AppTask *> list = m_tasks.value(key);
    int count = list.size();
    for (const AppTask *task : list) {
        if (task->kind() == AppTask::LoadAppDataTask) {
            --count;
            break;
        }
    }
    return count > 0;
}

void AppTaskCtrl::removeDevice(const QString &key)
{
    delete m_threads.take(key);
    // Dropped tasks never run: forget them without deleting them (their
    // creators may still hold them). The running one is released by the
    // thread's queued signal, which arrives later.
    for (AppTask *task : m_tasks.take(key)) {
        if (task->status() == AppTask::STATUS_WAITING) {
            m_life.remove(task);
            m_keys.remove(task);
        }
    }
}

void AppTaskCtrl::releaseDevice(const QString &key, QObject *keepAlive)
{
    AppTaskThread *thread = m_threads.take(key);
    for (AppTask *task : m_tasks.take(key)) {
        if (task->status() == AppTask::STATUS_WAITING) {
            m_life.remove(task);
            m_keys.remove(task);
        }
    }
    if (!thread) {
        delete keepAlive;
        return;
    }
    connect(thread, &QThread::finished, this, [thread, keepAlive] {
        delete thread;   // finished: the wait in its destructor is short
        delete keepAlive;
    }, Qt::QueuedConnection);
    thread->stop();
}

void AppTaskCtrl::retire(AppTask *task)
{
    auto it = m_life.find(task);
    if (it == m_life.end())
        return;
    *it |= Retired;
    deleteWhenDone(task);
}

void AppTaskCtrl::slot_taskReleased(AppTask *task)
{
    auto it = m_life.find(task);
    if (it == m_life.end())
        return;
    *it |= Released;
    deleteWhenDone(task);
}

bool AppTaskCtrl::finishReached(const AppTask *task) const
{
    auto it = m_life.constFind(const_cast<AppTask *>(task));
    return it == m_life.constEnd() || (*it & FinishSeen);
}

void AppTaskCtrl::deleteWhenDone(AppTask *task)
{
    const int done = Released | Retired;
    if ((m_life.value(task) & done) != done)
        return;
    m_life.remove(task);
    m_keys.remove(task);
    task->deleteLater();
}
