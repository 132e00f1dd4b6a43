#pragma once

#include "AppTask.h"

// Kind 1: installs a package file (.ipa, .pxl). Parameter 0: its path.
// When the app is already on the device the worker emits
// sig_overwriteConfirm and continues with the answer written into the
// flag: connect it with Qt::BlockingQueuedConnection from the GUI thread.
class InstallAppTask : public AppTask
{
    Q_OBJECT
public:
    explicit InstallAppTask(AppHandler *handler);

    QString packagePath() const { return m_packagePath; }
    void requestOverwriteConfirm(bool *bOverwrite) override;

public slots:
    void setParams(const QVariantList &params) override;
    int execute() override;

signals:
    void sig_overwriteConfirm(bool *bOverwrite);

private:
    QString m_packagePath;
};
