#pragma once

#include <QString>

class AppTask;

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
    static QString failure(int kind, int error, const QString &subject, Severity *severity);
    // The subject of a task as the messages name it.
    static QString subject(const AppTask *task);
};
