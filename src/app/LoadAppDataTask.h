#pragma once

#include "AppTask.h"

#include <QStringList>

// Kind 0: reads the device's app list. Without parameters the whole list;
// with a QStringList of bundle identifiers only those apps.
class LoadAppDataTask : public AppTask
{
    Q_OBJECT
public:
    explicit LoadAppDataTask(AppHandler *handler);

public slots:
    void setParams(const QVariantList &params) override;
    int execute() override;

private:
    QStringList m_appIds;
    bool m_named = false;
};
