#include "AppTaskThread.h"

#include "AppTask.h"

AppTaskThread::AppTaskThread(const QString &name)
{
    setObjectName(name);
    start();
}

AppTaskThread::~AppTaskThread()
{
    stop();
    wait();
}

void AppTaskThread::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (AppTask *task : m_queue) {
            if (task)
                task->cancel();
        }
        m_queue.clear();
        m_queue.push_back(nullptr);
    }
    m_wake.notify_one();
}

void AppTaskThread::enqueue(AppTask *task)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(task);
    }
    m_wake.notify_one();
}

bool AppTaskThread::drop(AppTask *task)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
        if (*it == task) {
            m_queue.erase(it);
            return true;
        }
    }
    return false;
}

void AppTaskThread::run()
{
    for (;;) {
        AppTask *task = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_queue.empty(); });
            task = m_queue.front();
            m_queue.pop_front();
        }
        if (!task)
            return;
        task->setStatus(AppTask::STATUS_RUNNING);
        task->execute();
        emit taskReleased(task);
    }
}
