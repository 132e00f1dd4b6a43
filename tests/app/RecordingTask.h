#pragma once

#include "AppTask.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

// A task that records what the app service reports to it and answers the
// overwrite question as told.
class RecordingTask : public AppTask
{
public:
    explicit RecordingTask(int kind = AppTask::InstallAppTask) : AppTask(nullptr, kind) {}

    void setParams(const QVariantList &) override {}
    int execute() override { return 0; }

    void setStatusInfo(const TaskStatusInfo &info) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            infos.push_back(info);
        }
        if (onStatus)
            onStatus();
        AppTask::setStatusInfo(info);
    }
    void setProgress(int value) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            progressValues.push_back(value);
        }
        AppTask::setProgress(value);
    }
    std::function<void()> onStatus;   // called on the worker with each status
    void requestOverwriteConfirm(bool *answer) override
    {
        ++overwriteAsked;
        *answer = overwriteAnswer;
    }

    // Progress is never lower than before, and stays within [from, to].
    bool progressRises(int from, int to) const
    {
        int last = from;
        for (int p : progressValues) {
            if (p < last || p > to)
                return false;
            last = p;
        }
        return true;
    }
    bool sawStatus(const std::string &status, int percent) const
    {
        for (const auto &i : infos) {
            if (i.status == status && i.percent == percent)
                return true;
        }
        return false;
    }

    std::mutex mutex;
    std::vector<TaskStatusInfo> infos;
    std::vector<int> progressValues;
    bool overwriteAnswer = false;
    int overwriteAsked = 0;
};
