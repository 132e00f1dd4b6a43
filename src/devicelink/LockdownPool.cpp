#include "LockdownPool.h"

#include "DiagLog.h"

#include <chrono>
#include <string>

namespace {

constexpr const char *kLabel = "AppShuttle";
// Enough for the device link's own threads plus a caller or two; sessions
// beyond it are ended rather than kept.
constexpr size_t kMaxIdle = 2;
// How long a caller waits for a session in use before making its own.
constexpr std::chrono::milliseconds kBusyWait(300);

} // namespace

LockdownPool::LockdownPool(idevice_t device)
    : m_device(device)
{
}

LockdownPool::~LockdownPool()
{
    close();
}

bool LockdownPool::sessionLost(lockdownd_error_t e)
{
    return e == LOCKDOWN_E_MUX_ERROR || e == LOCKDOWN_E_SSL_ERROR || e == LOCKDOWN_E_RECEIVE_TIMEOUT
        || e == LOCKDOWN_E_PLIST_ERROR || e == LOCKDOWN_E_SESSION_INACTIVE
        || e == LOCKDOWN_E_INVALID_SESSION_ID || e == LOCKDOWN_E_NO_RUNNING_SESSION
        || e == LOCKDOWN_E_UNKNOWN_ERROR;
}

lockdownd_error_t LockdownPool::handshake(lockdownd_client_t *client) const
{
    *client = nullptr;
    const lockdownd_error_t error = lockdownd_client_new_with_handshake(m_device, client, kLabel);
    if (error != LOCKDOWN_E_SUCCESS)
        *client = nullptr;
    return error;
}

lockdownd_client_t LockdownPool::take()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_returned.wait_for(lock, kBusyWait, [this] { return m_closed || !m_idle.empty() || m_inUse == 0; });
    ++m_inUse;
    if (m_closed || m_idle.empty())
        return nullptr;
    lockdownd_client_t client = m_idle.back();
    m_idle.pop_back();
    return client;
}

void LockdownPool::release(lockdownd_client_t client)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_inUse;
    }
    if (client)
        put(client);
    else
        m_returned.notify_one();
}

void LockdownPool::put(lockdownd_client_t client)
{
    if (!client)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_closed && m_idle.size() < kMaxIdle) {
            m_idle.push_back(client);
            m_returned.notify_one();
            return;
        }
    }
    lockdownd_client_free(client);
    m_returned.notify_one();
}

lockdownd_error_t LockdownPool::run(const Request &request)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closed)
            return LOCKDOWN_E_MUX_ERROR;
    }
    lockdownd_client_t client = take();
    bool fresh = false;
    lockdownd_error_t error = LOCKDOWN_E_UNKNOWN_ERROR;
    for (;;) {
        if (!client) {
            error = handshake(&client);
            if (error != LOCKDOWN_E_SUCCESS) {
                DIAG_LOG(("lockdown handshake failed: " + std::to_string(int(error))).c_str());
                release(nullptr);
                return error;
            }
            fresh = true;
        }
        error = request(client);
        if (error == LOCKDOWN_E_SUCCESS || !sessionLost(error)) {
            release(client);
            return error;
        }
        // The device ended the session (or the link broke): a fresh session
        // once; a fresh one that fails the same way is a real failure.
        lockdownd_client_free(client);
        client = nullptr;
        if (fresh) {
            DIAG_LOG(("lockdown request failed on a fresh session: " + std::to_string(int(error))).c_str());
            release(nullptr);
            return error;
        }
    }
}

void LockdownPool::close()
{
    std::vector<lockdownd_client_t> idle;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        idle.swap(m_idle);
    }
    m_returned.notify_all();
    for (lockdownd_client_t client : idle)
        lockdownd_client_free(client);
}
