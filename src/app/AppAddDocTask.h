#pragma once

#include "AppTask.h"

// Kind 5: copies a file from the computer into an app's Documents folder.
// Parameters: 0 the app's identifier, 1 the local file path. A document of
// the same name makes the worker emit sig_overwriteConfirm (connect it with
// Qt::BlockingQueuedConnection).
class AppAddDocTask : public AppTask
{
    Q_OBJECT
public:
    explicit AppAddDocTask(AppHandler *handler);

    QString appId() const { return m_appId; }
    QString localPath() const { return m_localPath; }
    void requestOverwriteConfirm(bool *bOverwrite) override;

public slots:
    void setParams(const QVariantList &params) override;
    int execute() override;

signals:
    void sig_overwriteConfirm(bool *bOverwrite);

private:
    QString m_appId;
    QString m_localPath;
};
