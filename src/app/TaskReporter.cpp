#include "TaskReporter.h"

#include <QtGlobal>

int TaskReporter::scaled(int percent) const
{
    return scaledStatusPercent(qBound(0, percent, 100), m_mode);
}

void TaskReporter::report(const char *status, int percent, const char *error)
{
    m_last = percent;
    if (!m_sink)
        return;
    TaskStatusInfo info;
    info.status = status ? status : "";
    info.error = error ? error : "";
    info.percent = scaled(percent);
    m_sink->setStatusInfo(info);
    m_sink->setProgress(info.percent);
}

void TaskReporter::progress(uint64_t done, uint64_t total)
{
    const int percent = total ? int(float(done) / float(total) * 100.0f) : 0;
    if (percent != m_last)
        report("DownLoad", percent);
}
