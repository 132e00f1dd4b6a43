#pragma once

#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>

#include <functional>
#include <mutex>
#include <vector>

// Lockdown sessions to one device, each used by one caller at a time. No lock
// is held while a session talks to the device: a caller that finds no idle
// session shakes hands on a new one, so no thread ever waits for another
// thread's round trip. Thread-safe.
class LockdownPool
{
public:
    using Request = std::function<lockdownd_error_t(lockdownd_client_t)>;

    explicit LockdownPool(idevice_t device);   // not owned; must outlive the pool
    ~LockdownPool();
    LockdownPool(const LockdownPool &) = delete;
    LockdownPool &operator=(const LockdownPool &) = delete;

    // A new session: QueryType, pairing when the host has no record for the
    // device, StartSession (TLS when the device asks for it).
    lockdownd_error_t handshake(lockdownd_client_t *client) const;
    // Runs request on a session. A session the device dropped (devices end
    // idle ones) is replaced by a fresh one once, transparently.
    lockdownd_error_t run(const Request &request);
    // Keeps a working session for later requests (or frees it once closed).
    void put(lockdownd_client_t client);
    // Frees the idle sessions; sessions put back later are freed at once.
    void close();

    // Errors after which a session is worth one fresh handshake.
    static bool sessionLost(lockdownd_error_t error);

private:
    lockdownd_client_t take();

    idevice_t m_device;
    std::mutex m_mutex;
    std::vector<lockdownd_client_t> m_idle;
    bool m_closed = false;
};
