#include "DeviceManager.h"

#include "DeviceSession.h"
#include "DiagLog.h"

#include <usbmuxd.h>

#include <csignal>
#include <cstdlib>
#include <mutex>
#include <pthread.h>

DeviceManager &DeviceManager::instance()
{
    static DeviceManager manager;
    return manager;
}

int DeviceManager::init(DVPT_DeviceChangeCallback onChange, DVPT_PasscodeCallback onPasscode)
{
    // libimobiledevice writes TLS records with a plain write(): a device that
    // is unplugged or ends an idle session would otherwise kill the process
    // with SIGPIPE. Every failed write is reported as an error instead.
    static std::once_flag ignorePipes;
    std::call_once(ignorePipes, [] { std::signal(SIGPIPE, SIG_IGN); });
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_running) {
            DIAG_LOG("already scanning");
            return -1;
        }
        m_running = true;
        m_onChange = onChange;
        m_onPasscode = onPasscode;
    }
    // A socket given by address is there or not: watching /var/run for it
    // would only delay the first events.
    if (std::getenv("USBMUXD_SOCKET_ADDRESS"))
        libusbmuxd_set_use_inotify(0);
    m_dispatcher = std::thread([this] { dispatch(); });
    m_subscribed = std::chrono::steady_clock::now();
    if (idevice_event_subscribe(&DeviceManager::onEvent, this) != IDEVICE_E_SUCCESS) {
        DIAG_LOG("usbmuxd events not available");
        shutdown();
        return -1;
    }
    return 0;
}

void DeviceManager::shutdown()
{
    // libusbmuxd cancels its event thread on unsubscribe; a cancel that lands
    // while the thread still sends its Listen request loses that request's
    // memory. The request goes out within a moment of subscribing, so a
    // command that ends at once waits for that moment first.
    std::this_thread::sleep_until(m_subscribed + std::chrono::milliseconds(50));
    idevice_event_unsubscribe();
    std::vector<Opener> openers;
    std::map<std::string, Entry> devices;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = false;
        openers.swap(m_openers);
        devices.swap(m_devices);
        m_ejected.clear();
        m_events.clear();
    }
    m_wake.notify_all();
    for (auto &entry : devices)
        entry.second.session->close();
    for (auto &opener : openers)
        opener.thread.join();
    if (m_dispatcher.joinable())
        m_dispatcher.join();
}

void DeviceManager::onEvent(const idevice_event_t *event, void *self)
{
    if (!event || !event->udid || event->conn_type != CONNECTION_USBMUXD)
        return;
    auto *manager = static_cast<DeviceManager *>(self);
    if (event->event == IDEVICE_DEVICE_ADD)
        manager->deviceAdded(event->udid);
    else if (event->event == IDEVICE_DEVICE_REMOVE)
        manager->deviceRemoved(event->udid);
}

void DeviceManager::setFilter(const std::vector<std::string> &udids)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_filter = std::set<std::string>(udids.begin(), udids.end());
}

void DeviceManager::deviceAdded(const std::string &udid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_running || m_devices.count(udid) || m_ejected.count(udid))
        return;
    if (!m_filter.empty() && !m_filter.count(udid))
        return;
    reapOpeners();
    auto session = std::make_shared<DeviceSession>(udid);
    m_devices[udid].session = session;
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([this, session, done] {
        openDevice(session);
        *done = true;
    });
    m_openers.push_back({std::move(thread), done});
}

// Devices come and go all day: threads that finished opening one are joined
// as the next arrives, so their stacks do not pile up.
void DeviceManager::reapOpeners()
{
    for (auto it = m_openers.begin(); it != m_openers.end();) {
        if (*it->done) {
            it->thread.join();
            it = m_openers.erase(it);
        } else {
            ++it;
        }
    }
}

void DeviceManager::openDevice(std::shared_ptr<DeviceSession> session)
{
    pthread_setname_np(pthread_self(), "devport-open");
    DVPT_PasscodeCallback onPasscode = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        onPasscode = m_onPasscode;
    }
    const int rc = session->open(onPasscode);
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_devices.find(session->udid());
    if (it == m_devices.end() || it->second.session != session)
        return;   // removed while opening
    if (rc != 0) {
        m_devices.erase(it);
        if (rc != DeviceSession::kOpenRefused)
            post(kDeviceFailed, session->id());
        return;
    }
    it->second.id = session->id();
    it->second.announced = true;
    post(1, it->second.id);
}

void DeviceManager::deviceRemoved(const std::string &udid)
{
    std::shared_ptr<DeviceSession> session;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ejected.erase(udid);
        const auto it = m_devices.find(udid);
        if (it == m_devices.end())
            return;
        session = it->second.session;
        if (it->second.announced)
            post(0, it->second.id);
        m_devices.erase(it);
    }
    session->close();
}

int DeviceManager::eject(const std::string &deviceId)
{
    std::shared_ptr<DeviceSession> session;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_devices.begin(); it != m_devices.end(); ++it) {
            if (it->second.announced && it->second.id == deviceId) {
                session = it->second.session;
                m_ejected.insert(it->first);
                post(0, it->second.id);
                m_devices.erase(it);
                break;
            }
        }
    }
    if (!session) {
        DIAG_LOG("no such device");
        return -1;
    }
    session->close();
    return 0;
}

std::shared_ptr<DeviceSession> DeviceManager::find(const std::string &deviceId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto &entry : m_devices) {
        if (entry.second.announced && entry.second.id == deviceId)
            return entry.second.session;
    }
    return nullptr;
}

std::vector<std::string> DeviceManager::deviceIds() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> ids;
    for (const auto &entry : m_devices) {
        if (entry.second.announced)
            ids.push_back(entry.second.id);
    }
    return ids;
}

void DeviceManager::post(int state, const std::string &deviceId)
{
    m_events.emplace_back(state, deviceId);
    m_wake.notify_one();
}

void DeviceManager::dispatch()
{
    pthread_setname_np(pthread_self(), "devport-events");
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_running || !m_events.empty(); });
        if (!m_running)
            return;
        const auto event = m_events.front();
        m_events.pop_front();
        const DVPT_DeviceChangeCallback onChange = m_onChange;
        lock.unlock();
        if (onChange)
            onChange(event.first, event.second.c_str());
        lock.lock();
    }
}
