#pragma once

// Starts the device link and waits for the first device (or the first
// few) to arrive.

#include "DevPort.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace FirstDevice {

inline std::mutex &mutex()
{
    static std::mutex m;
    return m;
}

inline std::condition_variable &arrived()
{
    static std::condition_variable cv;
    return cv;
}

inline std::string &id()
{
    static std::string text;
    return text;
}

inline std::set<std::string> &all()
{
    static std::set<std::string> ids;
    return ids;
}

inline void onChange(int state, const char *deviceId)
{
    std::lock_guard<std::mutex> lock(mutex());
    if (state == 1 && id().empty())
        id() = deviceId;
    if (state == 1)
        all().insert(deviceId);
    arrived().notify_all();
}

// The device's identifier, or empty when none arrived in time.
inline std::string wait(int seconds)
{
    DVPT_Init(onChange, "/tmp/", "", 0, nullptr, 1);
    std::unique_lock<std::mutex> lock(mutex());
    arrived().wait_for(lock, std::chrono::seconds(seconds), [] { return !id().empty(); });
    return id();
}

// The identifiers of the first count devices (fewer when they did not
// arrive in time).
inline std::vector<std::string> waitAll(size_t count, int seconds)
{
    DVPT_Init(onChange, "/tmp/", "", 0, nullptr, 1);
    std::unique_lock<std::mutex> lock(mutex());
    arrived().wait_for(lock, std::chrono::seconds(seconds), [count] { return all().size() >= count; });
    return std::vector<std::string>(all().begin(), all().end());
}

} // namespace FirstDevice
