#pragma once

#include "AppTask.h"

// Kind 0: reads the device's app list. Takes no parameters.
class LoadAppDataTask : public AppTask
{
    Q_OBJECT
public:
    explicit LoadAppDataTask(AppHandler *handler);

public slots:
    void setParams(const QVariantList &params) override;
    int execute() override;
};
