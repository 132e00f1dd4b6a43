#pragma once

#include "AppTask.h"

// Kind 6: copies one of an app's documents to the computer.
// Parameters: 0 the app's identifier, 1 the target file path, 2 the
// document's name.
class ExportDoctoPCTask : public AppTask
{
    Q_OBJECT
public:
    explicit ExportDoctoPCTask(AppHandler *handler);

    QString appId() const { return m_appId; }
    QString docName() const { return m_docName; }
    QString targetPath() const { return m_targetPath; }
    QString savePath() const { return m_savePath; }
    // The file-name part of the document's name.
    QString fileName() const;
    // A new target before the task is queued (a renamed copy).
    void setTargetPath(const QString &path);

public slots:
    void setParams(const QVariantList &params) override;
    int execute() override;

private:
    QString m_appId;
    QString m_docName;
    QString m_targetPath;
    QString m_savePath;
};
