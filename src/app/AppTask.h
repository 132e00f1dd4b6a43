#pragma once

#include "StatusSink.h"
#include "TaskStatusInfo.h"

#include <QObject>
#include <QString>
#include <QVariantList>

#include <atomic>
#include <functional>
#include <mutex>

class AppHandler;

// One long operation on a device. Created on the GUI thread, executed on the
// device's worker thread; reports through dataChanged and statusChanged.
// Receivers on other threads read the fields when their queued slot runs and
// may see a later value than the one signalled; every field is safe to read
// from any thread while the worker writes it.
class AppTask : public QObject, public StatusSink
{
    Q_OBJECT
public:
    enum TASK_TYPE {
        LoadAppDataTask = 0,
        InstallAppTask = 1,
        UninstallAppTask = 2,
        ExportApptoPCTask = 3,
        ExportApptoiTunesTask = 4,
        AppAddDocTask = 5,
        ExportDoctoPCTask = 6,
        AppDeleteDocTask = 7
    };
    Q_ENUM(TASK_TYPE)

    enum TASK_STATUS {
        STATUS_CREATED = 0,
        STATUS_WAITING = 1,
        STATUS_RUNNING = 2,
        STATUS_FINISHED = 3
    };
    Q_ENUM(TASK_STATUS)

    enum DATA_CHANGED {
        CHANGED_PROGRESS = 0,
        CHANGED_STATUS = 1,
        CHANGED_ERROR = 2
    };
    Q_ENUM(DATA_CHANGED)

    AppTask(AppHandler *handler, int kind);
    ~AppTask() override;

    AppHandler *handler() const { return m_handler; }
    int kind() const { return m_kind; }
    TASK_STATUS status() const { return m_status; }
    QString id() const { return m_id; }
    int progress() const { return m_progress; }
    int error() const { return m_error; }
    TaskStatusInfo statusInfo() const;

    // No signal: the following setProgress announces the change.
    void setStatusInfo(const TaskStatusInfo &info) override;
    // Always emits dataChanged(CHANGED_PROGRESS), even for an equal value.
    void setProgress(int progress) override;
    // Emit only on change: statusChanged first, then dataChanged(CHANGED_STATUS).
    void setStatus(TASK_STATUS status);
    void setError(int error);

    // Asks the user whether to replace an existing app or document. Called
    // on the worker thread by the app service; the kinds that can replace
    // something emit their blocking sig_overwriteConfirm here. The base
    // leaves the answer as it is (false: do not replace).
    virtual void requestOverwriteConfirm(bool *bOverwrite);

    // Result of a task stopped by cancel(): no message is shown for it.
    static constexpr int kCancelled = -1011;
    // True once cancel() was called; transfers poll it at every block and
    // then end as a failure ends, with kCancelled. Safe from any thread.
    bool isCancelled() const { return m_cancelled; }

    // "%1_%2_%3": seconds since 1970, a 5-digit run-wide counter, a braced UUID.
    static QString newId();
    // Registers the meta-types that queued connections of tasks need.
    static void registerMetaTypes();

public slots:
    virtual void setParams(const QVariantList &params) = 0;
    virtual int execute() = 0;
    virtual void cancel();

signals:
    void dataChanged(AppTask *pTask, AppTask::DATA_CHANGED changed);
    void statusChanged(AppTask *pTask, AppTask::TASK_STATUS old, AppTask::TASK_STATUS now);
    void taskAboutToBeDestoryed();

protected:
    // The frame every kind's execute runs: progress 0, running, the
    // operation, progress 100 or 0, error, finished. Returns the result.
    int runFrame(const std::function<int()> &operation);

private:
    AppHandler *m_handler;
    const int m_kind;
    mutable std::mutex m_statusInfoMutex;
    TaskStatusInfo m_statusInfo;
    std::atomic<TASK_STATUS> m_status{STATUS_CREATED};
    const QString m_id;
    std::atomic<int> m_progress{0};
    std::atomic<int> m_error{0};
    std::atomic<bool> m_cancelled{false};
};

Q_DECLARE_METATYPE(AppTask *)
Q_DECLARE_METATYPE(TaskStatusInfo)
