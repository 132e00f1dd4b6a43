#include "AppTask.h"

#include <QDateTime>
#include <QMetaType>
#include <QUuid>

#include <atomic>
#include <string>

AppTask::AppTask(AppHandler *handler, int kind)
    : QObject(nullptr), m_handler(handler), m_kind(kind), m_id(newId())
{
}

AppTask::~AppTask() = default;

QString AppTask::newId()
{
    static std::atomic<unsigned> counter{0};
    const unsigned number = ++counter;
    return QStringLiteral("%1_%2_%3")
        .arg(QDateTime::currentSecsSinceEpoch())
        .arg(number, 5, 10, QLatin1Char('0'))
        .arg(QUuid::createUuid().toString());
}

void AppTask::registerMetaTypes()
{
    qRegisterMetaType<AppTask *>("AppTask *");
    qRegisterMetaType<AppTask::TASK_STATUS>("AppTask::TASK_STATUS");
    qRegisterMetaType<AppTask::DATA_CHANGED>("AppTask::DATA_CHANGED");
    qRegisterMetaType<std::string>("std::string");
    qRegisterMetaType<TaskStatusInfo>("TaskStatusInfo");
}

TaskStatusInfo AppTask::statusInfo() const
{
    std::lock_guard<std::mutex> lock(m_statusInfoMutex);
    return m_statusInfo;
}

void AppTask::setStatusInfo(const TaskStatusInfo &info)
{
    std::lock_guard<std::mutex> lock(m_statusInfoMutex);
    m_statusInfo = info;
}

void AppTask::setProgress(int progress)
{
    m_progress = progress;
    emit dataChanged(this, CHANGED_PROGRESS);
}

void AppTask::setStatus(TASK_STATUS status)
{
    const TASK_STATUS old = m_status.exchange(status);
    if (old == status)
        return;
    emit statusChanged(this, old, status);
    emit dataChanged(this, CHANGED_STATUS);
}

void AppTask::setError(int error)
{
    if (m_error.exchange(error) == error)
        return;
    emit dataChanged(this, CHANGED_ERROR);
}

void AppTask::cancel()
{
    m_cancelled = true;
}

void AppTask::requestOverwriteConfirm(bool *)
{
}

int AppTask::runFrame(const std::function<int()> &operation)
{
    setProgress(0);
    setStatus(STATUS_RUNNING);
    const int result = operation ? operation() : -1;
    setProgress(result == 0 ? 100 : 0);
    // The error is stored before the finished status is announced, so every
    // receiver of STATUS_FINISHED reads the final result.
    setError(result);
    setStatus(STATUS_FINISHED);
    return result;
}
