#include "AppTable.h"

void AppTable::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.clear();
}

void AppTable::put(AppRecord record)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string id = record.appId;
    m_records[id] = std::move(record);
}

bool AppTable::erase(const std::string &appId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records.erase(appId) > 0;
}

bool AppTable::contains(const std::string &appId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records.count(appId) > 0;
}

bool AppTable::find(const std::string &appId, AppRecord *copy) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_records.find(appId);
    if (it == m_records.end())
        return false;
    if (copy)
        *copy = it->second;
    return true;
}

bool AppTable::update(const std::string &appId, const std::function<void(AppRecord &)> &change)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_records.find(appId);
    if (it == m_records.end())
        return false;
    change(it->second);
    return true;
}

bool AppTable::updateItem(const std::string &appId, const std::function<void(AppRecord &)> &change,
                          AppInfoItem *item)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_records.find(appId);
    if (it == m_records.end())
        return false;
    if (change)
        change(it->second);
    if (item)
        *item = it->second.toItem();
    return true;
}

AppInfoItemMap AppTable::items() const
{
    // Icons decode outside the lock: readers on other threads wait only for the copy.
    const std::map<std::string, AppRecord> copy = records();
    AppInfoItemMap map;
    for (const auto &entry : copy)
        map.insert(QString::fromUtf8(entry.first.c_str()), entry.second.toItem());
    return map;
}

bool AppTable::item(const std::string &appId, AppInfoItem *item) const
{
    AppRecord record;
    if (!find(appId, &record))
        return false;
    *item = record.toItem();
    return true;
}

std::map<std::string, AppRecord> AppTable::records() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records;
}
