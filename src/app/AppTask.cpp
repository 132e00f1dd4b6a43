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

void AppTask::setStatusInfo(const TaskStatusInfo &info)
{
    m_statusInfo = info;
}

void AppTask::setProgress(int progress)
{
    m_progress = progress;
    emit dataChanged(this, CHANGED_PROGRESS);
}

void AppTask::setStatus(TASK_STATUS status)
{
    if (status == m_status)
        return;
    const TASK_STATUS old = m_status;
    m_status = status;
    emit statusChanged(this, old, status);
    emit dataChanged(this, CHANGED_STATUS);
}

void AppTask::setError(int error)
{
    if (error == m_error)
        return;
    m_error = error;
    emit dataChanged(this, CHANGED_ERROR);
}

void AppTask::cancel()
{
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
