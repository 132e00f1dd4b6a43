#pragma once

#include "DevPort.h"

#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class AfcClient;
class IdeviceTransport;
class LockdownPool;

// One opened device: its usbmux handle, its lockdown sessions and the values
// read when it was opened. Thread-safe; the mutex guards only this object's
// fields and is never held while the device is talked to, so a worker
// starting a service never makes another thread wait for that round trip.
class DeviceSession
{
public:
    explicit DeviceSession(std::string udid);
    ~DeviceSession();
    DeviceSession(const DeviceSession &) = delete;
    DeviceSession &operator=(const DeviceSession &) = delete;

    const std::string &udid() const { return m_udid; }
    // "<usbmux number>-<UDID>", known once open() has found the device.
    std::string id() const;

    // Finds the device, runs the lockdown handshake and checks that the
    // device's services answer. 0 on success, kOpenRefused when the device
    // stayed locked or untrusted (onPasscode gave up), -1 otherwise.
    //  - Waiting for the user to tap Trust: onPasscode is asked, and after a
    //    retry the handshake is tried about once a second for trustWaitMs
    //    before onPasscode is asked again.
    //  - Locked, or trust denied: onPasscode is asked; 1 tries again.
    //  - The device no longer knows this computer (erased, trust reset): the
    //    stale pair record is deleted once and pairing starts over.
    static constexpr int kOpenRefused = -2;
    int open(DVPT_PasscodeCallback onPasscode);
    // Ends every session and connection; later requests fail, and a wait in
    // open() ends.
    void close();

    std::map<std::string, std::string> values() const;
    // A root-domain value as text; re-read from the device when not cached.
    // "Model" is the device's ProductType, "ProductIdentifier" the USB
    // product id usbmuxd reports (4 hex digits), "DeviceIdentifier" the UDID.
    bool value(const std::string &key, std::string *text);
    // The value of a lockdown domain (a dictionary), owned by the caller.
    plist_t domainValue(const char *domain);

    // Starts a service and connects to it. Null on failure.
    std::shared_ptr<IdeviceTransport> connectService(const char *serviceName, int timeoutMs);
    // The client of the media area, connected on first use and again after
    // its stream failed. Null when the service cannot be reached.
    std::shared_ptr<AfcClient> mediaClient(int timeoutMs);

    // How long a device waiting for Trust is polled between two questions.
    static void setTrustWait(int ms);
    static int trustWait();

private:
    LockdownPool *pool() const;
    bool find();
    // What the handshake's outcome asks for next; false ends open().
    bool handleRefusal(lockdownd_error_t error, DVPT_PasscodeCallback onPasscode, bool *polling,
                       int64_t *pollUntil, bool *forgotHost);
    bool ask(DVPT_PasscodeCallback onPasscode);
    // Sleeps up to ms unless the session is closed meanwhile; false when closed.
    bool pause(int ms);
    // The app services answer (a locked device refuses them):
    // PASSWORD_PROTECTED when locked.
    lockdownd_error_t checkServices(lockdownd_client_t client);
    std::shared_ptr<IdeviceTransport> connect(lockdownd_service_descriptor_t service, int timeoutMs);
    void readValues(lockdownd_client_t client);

    const std::string m_udid;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;   // ends a pause of open() on close()
    idevice_t m_device = nullptr;
    std::unique_ptr<LockdownPool> m_pool;
    uint32_t m_handle = 0;
    uint16_t m_productId = 0;
    bool m_closed = false;
    bool m_refused = false;   // onPasscode gave the device up
    std::map<std::string, std::string> m_values;
    std::vector<std::weak_ptr<IdeviceTransport>> m_transports;   // closed with the session
    std::mutex m_mediaMutex;
    std::shared_ptr<AfcClient> m_media;

    static std::atomic<int> s_trustWaitMs;
};
