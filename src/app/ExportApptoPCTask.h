#pragma once

#include "AppTask.h"

// Kind 3: archives an app and copies the package to the computer.
// Parameters: 0 the app's record handle, 1 application-only (bool: true
// leaves the app's documents and data out), 2 the target file path.
class ExportApptoPCTask : public AppTask
{
    Q_OBJECT
public:
    explicit ExportApptoPCTask(AppHandler *handler);

    QString appId() const { return m_appId; }
    QString name() const { return m_name; }
    bool appOnly() const { return m_appOnly; }
    QString targetPath() const { return m_targetPath; }
    QString savePath() const { return m_savePath; }
    // A new target before the task is queued (a renamed copy).
    void setTargetPath(const QString &path);

public slots:
    void setParams(const QVariantList &params) override;
    int execute() override;

private:
    QString m_appId;
    QString m_name;
    bool m_appOnly = false;
    QString m_targetPath;
    QString m_savePath;
};
