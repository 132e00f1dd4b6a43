#pragma once

#include "AppTask.h"

// Kind 2: removes an app. Parameter 0: the app's record handle
// (AppTaskParams::appHandle); identifier and name are copied at once.
class UninstallAppTask : public AppTask
{
    Q_OBJECT
public:
    explicit UninstallAppTask(AppHandler *handler);

    QString appId() const { return m_appId; }
    QString name() const { return m_name; }

public slots:
    void setParams(const QVariantList &params) override;
    int execute() override;

private:
    QString m_appId;
    QString m_name;
};
