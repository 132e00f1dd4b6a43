#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>

class AppHandler;
class AppModel;
class AppProxyModel;
class AppTask;
class CliProgress;
class DocModel;

// One device as the apps page sees it: its app service, the app, proxy and
// document models, and the task controller running the tasks that the
// commands create through the models.
class CliSession : public QObject
{
    Q_OBJECT
public:
    explicit CliSession(const QString &deviceId);
    ~CliSession() override;   // removes the device from the task manager and controller

    AppHandler *handler() const { return m_handler.get(); }
    AppModel *appModel() const { return m_appModel; }
    AppProxyModel *proxy() const { return m_proxy; }
    DocModel *docModel() const { return m_docModel; }
    QString deviceKey() const { return m_key; }

    // Runs the load task, fetching parts (AppHandler::LoadPart) after the
    // list; with appIds only those apps are looked up. Returns when all of
    // it is in; false when the app list could not be read.
    bool load(int parts, const QStringList *appIds = nullptr);
    // The answer to every overwrite question of the tasks run from now on.
    void setReplace(bool replace) { m_replace = replace; }

    // Queues the tasks in order, shows their progress and waits for all of
    // them. Prints the message of every failure (and of an install that may
    // not open, as a warning). Returns 0 when none failed, else 1.
    int run(const QList<AppTask *> &tasks);

public slots:
    void slot_overwriteConfirm(bool *bOverwrite);

private:
    QString m_key;
    std::unique_ptr<AppHandler> m_handler;
    AppModel *m_appModel;
    AppProxyModel *m_proxy;
    DocModel *m_docModel;
    CliProgress *m_progress;
    bool m_replace = false;
};
