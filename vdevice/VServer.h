#pragma once

// The virtual device server: a usbmuxd-compatible Unix socket in front of the
// devices of a state folder. Embeddable (tests start it in-process) and used
// by the appshuttle-vdevice daemon.
//
// Every accepted connection runs on its own thread: usbmuxd requests, then
// after "Connect" the device's lockdown or one of its services. Devices are
// numbered from 1 in the order they attach; a re-attached device gets a new
// number, as with usbmuxd. Detaching a device closes its connections.
//
// The control requests of ctl travel on the same socket as a usbmuxd plist
// message with MessageType "AppShuttleControl" and "Arguments" (strings);
// control() runs the same commands in-process.
//
// Lockdown speaks TLS from StartSession on unless plain lockdown is chosen
// (for debugging with a packet trace). The state folder's keys (VPairKeys)
// make the TLS identity of every device and the pre-made host pair record
// that trusted devices start with.

#include "VDevice.h"
#include "VPairKeys.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class VTlsContext;

class VServer
{
public:
    explicit VServer(const QString &stateDir);
    ~VServer();   // stops
    VServer(const VServer &) = delete;
    VServer &operator=(const VServer &) = delete;

    // Loads the devices, binds the socket under a temporary name, listens and
    // renames it to socketPath, so the socket exists only once it answers.
    bool start(const QString &socketPath, QString *error);
    // Removes the socket, closes every connection and joins every thread.
    void stop();
    bool isRunning() const { return m_running; }
    const QString &socketPath() const { return m_socketPath; }

    std::shared_ptr<VDevice> device(const QString &udid) const;
    std::vector<std::shared_ptr<VDevice>> devices() const;
    uint32_t deviceNumber(const QString &udid) const;   // 0 when not attached

    // Attach loads a device folder added after start when needed.
    bool attach(const QString &udid, QString *error);
    bool detach(const QString &udid, QString *error);

    // Lockdown sessions in plain text (EnableSessionSSL false), for the
    // sessions started after the call. Off by default.
    void setPlainLockdown(bool on) { m_plainLockdown = on; }
    // The idle timeout of every device, also of devices loaded later; 0 turns
    // it off (the default). Applies from each connection's next request on.
    void setIdleTimeout(int ms);
    // Every device's USB link rate in bytes per second (0: unlimited).
    void setLinkRate(uint64_t bytesPerSecond);

    // ctl commands: list | attach UDID | detach UDID | lock UDID | unlock UDID
    // | trust UDID (answers the trust dialog: the next Pair succeeds)
    // | deny UDID (the next Pair is denied) | forget-host UDID (the device
    // forgets every host; the host keeps its stale record)
    // | untrust UDID (forget-host, and the host's record is deleted)
    // | idle UDID SECONDS (0: off) | fault UDID SERVICE KIND [ARG]
    // | clear-faults UDID | end-sessions UDID (closes the lockdown
    // connections, as a device ends idle sessions). Output text; false on failure.
    bool control(const std::vector<std::string> &args, std::string *output);

private:
    struct Attached
    {
        std::shared_ptr<VDevice> device;
        uint32_t number = 0;
    };
    struct Worker
    {
        std::thread thread;
        int fd = -1;
        VDevice *device = nullptr;   // set once the connection reaches a device
        std::string service;         // and the service it reached
        bool done = false;
    };

    void acceptLoop();
    void serveClient(Worker *worker);
    void reapWorkers();
    // False closes the client; *handedOver once a service had the socket.
    bool handleMuxRequest(Worker *worker, uint32_t tag, std::string &body, bool *handedOver);
    bool connectRequest(Worker *worker, uint32_t tag, plist_t request, bool *handedOver);
    std::string pairRecordReply(uint32_t tag, const std::string &type, plist_t request);
    bool storePairRecord(const std::string &udid, const char *bytes, size_t length) const;
    // VDevice::load, the default idle timeout, and the pre-made pair record
    // of a device that starts out trusted.
    std::shared_ptr<VDevice> loadDevice(const QString &dir, QString *error);
    std::string controlReply(uint32_t tag, plist_t request);
    void broadcast(const std::string &packet);
    // Shuts the device's connections down (only those of one service when given).
    void closeDeviceConnections(VDevice *device, const std::string &service = std::string());
    std::string pairRecordPath(const std::string &udid) const;

    QString m_stateDir;
    QString m_socketPath;
    int m_listenFd = -1;
    std::atomic<bool> m_running{false};
    std::thread m_acceptThread;

    mutable std::mutex m_mutex;   // devices, numbers, listeners, workers
    std::vector<std::shared_ptr<VDevice>> m_devices;
    std::vector<Attached> m_attached;
    uint32_t m_nextNumber = 1;
    std::vector<int> m_listeners;
    std::list<Worker> m_workers;
    VPairKeys m_keys;   // set by start(), then only read
    std::unique_ptr<VTlsContext> m_tls;
    std::atomic<bool> m_plainLockdown{false};
    std::atomic<int> m_idleTimeoutMs{0};
    std::atomic<uint64_t> m_linkRate{0};
};
