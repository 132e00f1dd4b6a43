#pragma once

#include "AppRecord.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>

// The app records of one device by bundle identifier. The worker thread
// changes it; any thread may read it: every access is under one mutex and
// readers get copies.
class AppTable
{
public:
    void clear();
    void put(AppRecord record);   // replaces a record of the same identifier
    bool erase(const std::string &appId);
    bool contains(const std::string &appId) const;
    bool find(const std::string &appId, AppRecord *copy) const;
    // Runs change on the record under the lock; false when there is none.
    bool update(const std::string &appId, const std::function<void(AppRecord &)> &change);
    // The converted record after a change, under the same lock.
    bool updateItem(const std::string &appId, const std::function<void(AppRecord &)> &change, AppInfoItem *item);
    AppInfoItemMap items() const;
    bool item(const std::string &appId, AppInfoItem *item) const;
    std::map<std::string, AppRecord> records() const;

private:
    mutable std::mutex m_mutex;
    std::map<std::string, AppRecord> m_records;
};
