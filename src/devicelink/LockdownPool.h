#pragma once

#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

// Lockdown sessions to one device, each used by one caller at a time. No lock
// is held while a session talks to the device. A caller that finds no idle
// session waits a moment for one in use to come back (a request is one
// quick round trip; a new session is a TLS handshake, for which
// libimobiledevice sleeps 100 ms whenever the device has not answered yet)
// and shakes hands on a new one only after that. Thread-safe.
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
    // An idle session (counted in use), or null: the caller makes one.
    lockdownd_client_t take();
    // Ends a use begun by take(): keeps the session, or gives the slot up (null).
    void release(lockdownd_client_t client);

    idevice_t m_device;
    std::mutex m_mutex;
    std::condition_variable m_returned;
    std::vector<lockdownd_client_t> m_idle;
    int m_inUse = 0;
    bool m_closed = false;
};
