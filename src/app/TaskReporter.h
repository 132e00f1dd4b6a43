#pragma once

#include "communication.h"

#include <string>

// Hands progress of one operation to its task: the status record first,
// then the same percent as progress. The mode maps the operation's own
// 0..100 onto the task's range as RecvStatus does. No task: no reports.
class TaskReporter
{
public:
    TaskReporter(StatusSink *sink, int mode) : m_sink(sink), m_mode(mode) {}

    // percent is the operation's own (0..100), before scaling.
    void report(const char *status, int percent, const char *error = "");
    // "DownLoad" at the truncated percent of done/total, only when the
    // whole percent changed since the last report (the first always goes).
    void progress(uint64_t done, uint64_t total);
    int scaled(int percent) const;
    int lastPercent() const { return m_last; }

private:
    StatusSink *m_sink;
    int m_mode;
    int m_last = -1;
};
