#pragma once

#include "DevPort.h"

#include <libimobiledevice/libimobiledevice.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class DeviceSession;

// Follows usbmuxd's device events and keeps the open devices. Each arriving
// device is opened on a thread of its own; arrival and removal reach the
// change callback in order on one dispatcher thread, never on the caller's.
class DeviceManager
{
public:
    static DeviceManager &instance();

    int init(DVPT_DeviceChangeCallback onChange, DVPT_PasscodeCallback onPasscode);
    // Stops following events, waits for the threads and forgets every device.
    void shutdown();

    // The open device of that identifier ("<n>-<UDID>"), or null.
    std::shared_ptr<DeviceSession> find(const std::string &deviceId) const;
    std::vector<std::string> deviceIds() const;
    // Closes the device and reports it removed; it comes back only when
    // usbmuxd announces it again.
    int eject(const std::string &deviceId);
    // Only devices with these UDIDs are opened from now on (empty: all).
    void setFilter(const std::vector<std::string> &udids);

private:
    struct Entry
    {
        std::shared_ptr<DeviceSession> session;
        std::string id;
        bool announced = false;
    };

    static void onEvent(const idevice_event_t *event, void *self);
    void deviceAdded(const std::string &udid);
    void deviceRemoved(const std::string &udid);
    void openDevice(std::shared_ptr<DeviceSession> session);
    void post(int state, const std::string &deviceId);   // with m_mutex held
    void dispatch();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_running = false;
    DVPT_DeviceChangeCallback m_onChange = nullptr;
    DVPT_PasscodeCallback m_onPasscode = nullptr;
    std::map<std::string, Entry> m_devices;        // by UDID
    std::set<std::string> m_ejected;               // UDIDs waiting for their removal
    std::set<std::string> m_filter;                // the only UDIDs to open, if any
    std::deque<std::pair<int, std::string>> m_events;
    struct Opener
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void reapOpeners();   // with m_mutex held

    std::thread m_dispatcher;
    std::chrono::steady_clock::time_point m_subscribed;   // when the usbmuxd events were asked for
    std::vector<Opener> m_openers;
};
