#pragma once

#include "AppTask.h"

// Kind 7: deletes one of an app's documents on the device.
// Parameters: 0 the app's identifier, 1 the document's name.
class AppDeleteDocTask : public AppTask
{
    Q_OBJECT
public:
    explicit AppDeleteDocTask(AppHandler *handler);

    QString appId() const { return m_appId; }
    QString docName() const { return m_docName; }

public slots:
    void setParams(const QVariantList &params) override;
    int execute() override;

private:
    QString m_appId;
    QString m_docName;
};
