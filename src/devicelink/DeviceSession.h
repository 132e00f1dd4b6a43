#pragma once

#include "DevPort.h"

#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class AfcClient;
class IdeviceTransport;

// One opened device: its usbmux handle, a cached lockdown session (guarded:
// every thread that starts a service goes through it) and the values read
// when it was opened. Thread-safe.
class DeviceSession
{
public:
    DeviceSession(std::string udid);
    ~DeviceSession();
    DeviceSession(const DeviceSession &) = delete;
    DeviceSession &operator=(const DeviceSession &) = delete;

    const std::string &udid() const { return m_udid; }
    // "<usbmux number>-<UDID>", known once open() has found the device.
    std::string id() const;

    // Finds the device and runs the lockdown handshake. A locked or
    // untrusted device goes through onPasscode, and the handshake is tried
    // again while it answers 1. 0 on success, -1 otherwise.
    int open(DVPT_PasscodeCallback onPasscode);
    // Drops the lockdown session and every later service start fails.
    void close();

    std::map<std::string, std::string> values() const;
    // A root-domain value as text; re-read from the device when not cached.
    bool value(const std::string &key, std::string *text);
    // The value of a lockdown domain (a dictionary), owned by the caller.
    plist_t domainValue(const char *domain);

    // Starts a service and connects to it. Null on failure.
    std::shared_ptr<IdeviceTransport> connectService(const char *serviceName, int timeoutMs);
    // The client of the media area, connected on first use and again after
    // its stream failed. Null when the service cannot be reached.
    std::shared_ptr<AfcClient> mediaClient(int timeoutMs);

private:
    bool handshakeLocked(lockdownd_error_t *error);
    lockdownd_error_t startServiceLocked(const char *serviceName, lockdownd_service_descriptor_t *service);
    void readValuesLocked();

    const std::string m_udid;
    mutable std::mutex m_mutex;
    idevice_t m_device = nullptr;
    lockdownd_client_t m_lockdown = nullptr;
    uint32_t m_handle = 0;
    bool m_closed = false;
    std::map<std::string, std::string> m_values;
    std::vector<std::weak_ptr<IdeviceTransport>> m_transports;   // closed with the session
    std::mutex m_mediaMutex;
    std::shared_ptr<AfcClient> m_media;
};
