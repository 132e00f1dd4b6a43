#include "CliProgress.h"

#include "AppTask.h"

#include <cstdio>
#include <unistd.h>

CliProgress::CliProgress(QObject *parent) : QObject(parent), m_terminal(isatty(fileno(stderr)) == 1)
{
}

void CliProgress::track(AppTask *task, const QString &label)
{
    m_lines.insert(task, Line{label, 0, -1});
    connect(task, &AppTask::dataChanged, this, [this](AppTask *t, AppTask::DATA_CHANGED changed) {
        if (changed == AppTask::CHANGED_PROGRESS)
            update(t);
    });
}

void CliProgress::update(AppTask *task)
{
    auto it = m_lines.find(task);
    if (it == m_lines.end())
        return;
    const int percent = qBound(0, task->progress(), 100);
    const QByteArray label = it->label.toLocal8Bit();
    if (m_terminal) {
        if (percent == it->lastPercent)
            return;
        it->lastPercent = percent;
        std::fprintf(stderr, "\r\033[K%s: %d%%", label.constData(), percent);
        std::fflush(stderr);
        return;
    }
    // A log or a pipe gets one line per step, never a storm of them.
    const int decile = percent / 10;
    if (decile <= it->lastDecile)
        return;
    it->lastDecile = decile;
    std::fprintf(stderr, "%s: %d%%\n", label.constData(), decile * 10);
}

void CliProgress::finish(AppTask *task)
{
    auto it = m_lines.find(task);
    if (it == m_lines.end())
        return;
    if (m_terminal && it->lastPercent >= 0)
        std::fputs("\n", stderr);
    m_lines.erase(it);
}
