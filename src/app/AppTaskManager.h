#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QVariantList>

class AppHandler;
class AppTask;

// Creates tasks by kind and keeps them in a registry per device key until
// the model that created them has handled their end. The registry never
// deletes a task. GUI thread only; one process-wide instance.
class AppTaskManager
{
public:
    static AppTaskManager *instance();

    // A new task of that kind (0 to 7) with its parameters set, registered
    // under the handler's device key; null for any other kind.
    AppTask *create(AppHandler *handler, int kind, const QVariantList &params);
    QList<AppTask *> registry(const QString &key) const { return m_registry.value(key); }
    // -1 when the key is unknown; otherwise 0, whether or not the task was there.
    int remove(const QString &key, const QString &taskId);
    void removeDevice(const QString &key);
    // The registered tasks of one kind for the handler's device.
    QList<AppTask *> task(AppHandler *handler, int kind) const;

private:
    AppTaskManager() = default;

    QMap<QString, QList<AppTask *>> m_registry;
};
