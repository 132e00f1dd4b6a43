#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

// Process-wide table of shared objects keyed by the small integer handles
// that the device access functions hand out. Handles are never reused within
// a run, so a stale handle finds nothing instead of a stranger. Thread-safe;
// an object stays alive while a caller holds its pointer.
template<typename T>
class HandleTable
{
public:
    static HandleTable &instance()
    {
        static HandleTable table;
        return table;
    }

    int add(std::shared_ptr<T> object)
    {
        if (!object)
            return 0;
        std::lock_guard<std::mutex> lock(m_mutex);
        const int handle = m_next++;
        m_objects.emplace(handle, std::move(object));
        return handle;
    }

    std::shared_ptr<T> find(int handle) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_objects.find(handle);
        return it == m_objects.end() ? nullptr : it->second;
    }

    // Removes the handle and gives its object back (null when unknown).
    std::shared_ptr<T> take(int handle)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_objects.find(handle);
        if (it == m_objects.end())
            return nullptr;
        std::shared_ptr<T> object = std::move(it->second);
        m_objects.erase(it);
        return object;
    }

private:
    mutable std::mutex m_mutex;
    std::unordered_map<int, std::shared_ptr<T>> m_objects;
    int m_next = 1;
};
