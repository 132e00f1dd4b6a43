#pragma once

#include "AppTask.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>

class AppHandler;
class AppTaskThread;

// Runs tasks: one worker thread per device key (created with the device's
// first task), the list of each device's unfinished tasks, and the end of
// a task's life. GUI thread only; one process-wide instance.
//
// A task that went through addTask is deleted (deleteLater) once both the
// worker has released it and its model has retired it (retire(): every
// receiver has handled its finish and no record points to it any more).
class AppTaskCtrl : public QObject
{
    Q_OBJECT
public:
    static AppTaskCtrl *instance();

    // The identifier of the task's device, decoded from UTF-8.
    static QString deviceKey(const AppHandler *handler);

    // Sets the task waiting and queues it on its device's thread.
    void addTask(AppTask *task);
    // (average progress of the unfinished install, uninstall and export
    // tasks, 0); the second member is always 0.
    QPair<int, int> progress(const QString &key) const;
    // True while a task other than the load task is unfinished.
    bool isBusy(const QString &key) const;
    // Stops a task: a queued one is taken out of its queue and finishes at
    // once with AppTask::kCancelled (it never runs); a running one is asked
    // to stop at its next block and ends as a failure does. False when the
    // task is not the controller's or already finished.
    bool cancelTask(AppTask *task);
    // Drops the key's queued tasks (they stay waiting and are not deleted)
    // and returns once its running task, if any, has returned.
    void removeDevice(const QString &key);
    // The same without waiting, for a running task that may wait on the GUI
    // thread (a replace question): the worker ends on its own after that
    // task; then the thread and keepAlive (what the task still uses, such
    // as its AppHandler) are deleted.
    void releaseDevice(const QString &key, QObject *keepAlive);
    // The unfinished tasks of a key, in the order added.
    QList<AppTask *> tasks(const QString &key) const { return m_tasks.value(key); }
    bool hasThread(const QString &key) const { return m_threads.contains(key); }

    // Called by the model that created the task when it is done with it.
    void retire(AppTask *task);
    // False while a queued task's finish has not reached the controller.
    // A receiver of dataChanged reads the status when its queued slot runs,
    // so the event of the running status may already read "finished" while
    // the worker's later signals (an added app or document) are still on
    // their way: receivers handle a finish only once this is true.
    bool finishReached(const AppTask *task) const;

public slots:
    void taskStatusChanged(AppTask *pTask, AppTask::TASK_STATUS old, AppTask::TASK_STATUS now);

private slots:
    void slot_taskReleased(AppTask *task);

private:
    AppTaskCtrl() = default;
    void deleteWhenDone(AppTask *task);

    enum LifeFlag { Released = 1, Retired = 2, FinishSeen = 4 };

    QMap<QString, AppTaskThread *> m_threads;
    QMap<QString, QList<AppTask *>> m_tasks;
    QHash<AppTask *, int> m_life;   // tasks handed to addTask: LifeFlag bits
    // Each followed task's device key: a queued status change may arrive
    // after the device, and with it the task's handler, is gone.
    QHash<AppTask *, QString> m_keys;
};
