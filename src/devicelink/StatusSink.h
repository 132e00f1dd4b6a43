#pragma once

#include "TaskStatusInfo.h"

// Whatever follows the progress of a device operation (a task). The device
// link reports through this so that it needs to know nothing of tasks.
// Called on the thread that runs the operation.
class StatusSink
{
public:
    virtual ~StatusSink() = default;
    virtual void setStatusInfo(const TaskStatusInfo &info) = 0;
    virtual void setProgress(int percent) = 0;
};
