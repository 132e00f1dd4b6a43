#include "CliSession.h"

#include "AppAddDocTask.h"
#include "AppHandler.h"
#include "AppModel.h"
#include "AppProxyModel.h"
#include "AppTaskCtrl.h"
#include "AppTaskManager.h"
#include "CliConsole.h"
#include "CliMessages.h"
#include "CliProgress.h"
#include "DiagLog.h"
#include "DocModel.h"
#include "InstallAppTask.h"

#include <QEventLoop>

namespace {

QString progressLabel(const AppTask *task)
{
    const QString subject = CliConsole::printable(CliMessages::subject(task));
    switch (task->kind()) {
    case AppTask::InstallAppTask: return QStringLiteral("Installing %1").arg(subject);
    case AppTask::UninstallAppTask: return QStringLiteral("Deleting %1").arg(subject);
    case AppTask::ExportApptoPCTask: return QStringLiteral("Copying %1").arg(subject);
    case AppTask::ExportApptoiTunesTask: return QStringLiteral("Copying %1 to iTunes").arg(subject);
    case AppTask::AppAddDocTask: return QStringLiteral("Adding %1").arg(subject);
    case AppTask::ExportDoctoPCTask: return QStringLiteral("Saving %1").arg(subject);
    default: return QString();
    }
}

} // namespace

CliSession::CliSession(const QString &deviceId)
    : m_key(deviceId),
      m_handler(std::make_unique<AppHandler>(deviceId.toUtf8())),
      m_appModel(new AppModel(m_handler.get(), this)),
      m_proxy(new AppProxyModel),
      m_docModel(new DocModel(m_appModel, this)),
      m_progress(new CliProgress(this))
{
    m_proxy->setParent(this);
    m_proxy->setSourceModel(m_appModel);
}

CliSession::~CliSession()
{
    AppTaskManager::instance()->removeDevice(m_key);
    AppTaskCtrl::instance()->removeDevice(m_key);
    // Models first: they hold records; the handler goes last.
    delete m_docModel;
    delete m_proxy;
    delete m_appModel;
}

bool CliSession::load(int parts, const QStringList *appIds)
{
    bool listed = false;
    m_handler->setLoadParts(parts);
    connect(m_handler.get(), &AppHandler::data_loadcompleted, this, [&listed] { listed = true; });
    QVariantList params;
    if (appIds)
        params << QVariant(*appIds);
    AppTask *task = m_proxy->createTask(m_handler.get(), AppTask::LoadAppDataTask, params);
    if (!task)
        return false;
    QEventLoop loop;
    connect(m_appModel, &AppModel::loadTaskCompleted, &loop, &QEventLoop::quit);
    AppTaskCtrl::instance()->addTask(task);
    loop.exec();
    // The list counts even when the home-screen names could not be read.
    return listed;
}

void CliSession::slot_overwriteConfirm(bool *bOverwrite)
{
    if (bOverwrite)
        *bOverwrite = m_replace;
}

int CliSession::run(const QList<AppTask *> &tasks)
{
    int pending = 0;
    int exitCode = 0;
    const QString iosVersion = CliConsole::printable(QString::fromUtf8(m_handler->deviceInfo().firmwareVersion()), 40);
    QEventLoop loop;
    QList<QMetaObject::Connection> finishes;
    for (AppTask *task : tasks) {
        if (!task)
            continue;
        ++pending;
        if (auto *install = qobject_cast<InstallAppTask *>(task))
            connect(install, &InstallAppTask::sig_overwriteConfirm, this, &CliSession::slot_overwriteConfirm,
                    Qt::BlockingQueuedConnection);
        if (auto *add = qobject_cast<AppAddDocTask *>(task))
            connect(add, &AppAddDocTask::sig_overwriteConfirm, this, &CliSession::slot_overwriteConfirm,
                    Qt::BlockingQueuedConnection);
        const QString subject = CliConsole::printable(CliMessages::subject(task));
        const QString label = progressLabel(task);
        if (!label.isEmpty())
            m_progress->track(task, label);
        // Queued from the worker; the task lives until its model and the
        // controller are done with it, which is after this slot has run.
        finishes << connect(task, &AppTask::statusChanged, this,
                [this, subject, iosVersion, &pending, &exitCode, &loop](AppTask *t, AppTask::TASK_STATUS, AppTask::TASK_STATUS now) {
                    if (now != AppTask::STATUS_FINISHED)
                        return;
                    m_progress->finish(t);
                    CliMessages::Severity severity = CliMessages::None;
                    const QString message = CliMessages::failure(t->kind(), t->error(), subject, &severity, iosVersion);
                    if (severity == CliMessages::Warning) {
                        CliConsole::note(QStringLiteral("warning: ") + message);
                    } else if (severity == CliMessages::Failure) {
                        DIAG_LOG(message.toUtf8().constData());
                        CliConsole::note(message);
                        const QString reason = CliMessages::deviceReason(t->statusInfo());
                        if (!reason.isEmpty())
                            CliConsole::note(QStringLiteral("  The device said: ") + reason);
                        exitCode = 1;
                    }
                    if (--pending == 0)
                        loop.quit();
                });
    }
    if (pending == 0)
        return 0;
    for (AppTask *task : tasks) {
        if (task)
            AppTaskCtrl::instance()->addTask(task);
    }
    loop.exec();
    for (const QMetaObject::Connection &c : finishes)
        disconnect(c);
    return exitCode;
}
