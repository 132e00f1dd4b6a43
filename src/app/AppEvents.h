#pragma once

#include "AppInfoItem.h"

#include <string>

class AppTask;

// Where the jobs of the app service (loader, installer, archiver,
// documents) hand their results. AppHandler is the one implementation: it
// turns them into its signals, so the jobs never emit anything themselves.
class AppEvents
{
public:
    virtual ~AppEvents() = default;

    virtual void loadCompleted(const AppInfoItemMap &items) = 0;
    virtual void itemAdded(const AppInfoItem &item, AppTask *task) = 0;
    virtual void itemRemoved(const std::string &appId) = 0;
    virtual void itemChanged(const AppInfoItem &item, DATACHANGED_REASON reason) = 0;
    virtual void itemChanged(const AppInfoItem &item, DATACHANGED_REASON reason, const DocItemInfo &doc) = 0;
    virtual void docAdded(const AppInfoItem &item, const DocItemInfo &doc, AppTask *task) = 0;
};
