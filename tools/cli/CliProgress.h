#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class AppTask;

// Shows the progress of running tasks on stderr: one line rewritten in
// place on a terminal, otherwise one line per 10 % step.
class CliProgress : public QObject
{
    Q_OBJECT
public:
    explicit CliProgress(QObject *parent = nullptr);

    void track(AppTask *task, const QString &label);
    // Ends the task's line on a terminal.
    void finish(AppTask *task);

private:
    void update(AppTask *task);

    struct Line
    {
        QString label;
        int lastDecile = 0;
        int lastPercent = -1;
    };
    bool m_terminal;
    QHash<AppTask *, Line> m_lines;
};
