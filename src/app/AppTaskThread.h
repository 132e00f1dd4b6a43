#pragma once

#include <QThread>

#include <condition_variable>
#include <deque>
#include <mutex>

class AppTask;

// The worker thread of one device: runs the queued tasks strictly one at a
// time in the order enqueued. Starts in the constructor. The destructor
// (GUI thread) drops what is still queued (cancel hook, no execution) and
// waits until the running task, if any, has returned.
class AppTaskThread : public QThread
{
    Q_OBJECT
public:
    explicit AppTaskThread(const QString &name);
    ~AppTaskThread() override;

    // Thread-safe; wakes the thread.
    void enqueue(AppTask *task);
    // Drops what is still queued and lets the thread end after the running
    // task, without waiting for it.
    void stop();
    // Takes a task out of the queue before it runs; false when it is not
    // queued (running, done, or never queued). Thread-safe.
    bool drop(AppTask *task);

signals:
    // Emitted from the worker thread once execute() has returned: from then
    // on the thread never touches the task again.
    void taskReleased(AppTask *task);

protected:
    void run() override;

private:
    // The standard primitives rather than Qt's so that the thread sanitizer
    // sees the queue's synchronisation.
    std::deque<AppTask *> m_queue;   // a null entry stops the thread
    std::mutex m_mutex;
    std::condition_variable m_wake;
};
