#include "AppTaskThread.h"

#include "AppTask.h"

AppTaskThread::AppTaskThread(const QString &name)
{
    setObjectName(name);
    start();
}

AppTaskThread::~AppTaskThread()
{
    {
        QMutexLocker lock(&m_mutex);
        while (!m_queue.isEmpty()) {
            AppTask *task = m_queue.takeFirst();
            if (task)
                task->cancel();
        }
        m_queue.append(nullptr);
        m_wake.wakeOne();
    }
    wait();
}

void AppTaskThread::enqueue(AppTask *task)
{
    QMutexLocker lock(&m_mutex);
    m_queue.append(task);
    m_wake.wakeOne();
}

void AppTaskThread::run()
{
    for (;;) {
        AppTask *task = nullptr;
        {
            QMutexLocker lock(&m_mutex);
            while (m_queue.isEmpty())
                m_wake.wait(&m_mutex);
            task = m_queue.takeFirst();
        }
        if (!task)
            return;
        task->setStatus(AppTask::STATUS_RUNNING);
        task->execute();
        emit taskReleased(task);
    }
}
