#pragma once

#include "AppTask.h"

// Kind 4: archives an app into iTunes' automatic-import folder.
// Parameters: 0 the app's record handle, 1 application-only (bool).
class ExportApptoiTunesTask : public AppTask
{
    Q_OBJECT
public:
    explicit ExportApptoiTunesTask(AppHandler *handler);

    QString appId() const { return m_appId; }
    QString name() const { return m_name; }
    bool appOnly() const { return m_appOnly; }

public slots:
    void setParams(const QVariantList &params) override;
    int execute() override;

private:
    QString m_appId;
    QString m_name;
    bool m_appOnly = false;
};
