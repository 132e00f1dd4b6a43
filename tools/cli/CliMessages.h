#pragma once

#include <QString>

class AppTask;
struct TaskStatusInfo;

// What the user reads about a finished task that failed: the apps page's
// messages for the app kinds, and the command line's own for what the apps
// page reports elsewhere (declined replacements, documents).
class CliMessages
{
public:
    enum Severity { None, Warning, Failure };

    // The message for a task of `kind` that ended with `error`; `subject`
    // is the package file name for installs, the app's name for the other
    // app kinds and the document or file name for document kinds.
    // iosVersion: the device's, for the refusal of exports (-1010).
    static QString failure(int kind, int error, const QString &subject, Severity *severity,
                           const QString &iosVersion = QString());
    // The device's own reason for refusing a task's command, fit for a
    // terminal; empty when the device gave none.
    static QString deviceReason(const TaskStatusInfo &info);
    // The subject of a task as the messages name it.
    static QString subject(const AppTask *task);
};
