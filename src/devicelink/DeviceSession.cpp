#include "DeviceSession.h"

#include "AfcClient.h"
#include "DiagLog.h"
#include "IdeviceTransport.h"
#include "LockdownPool.h"
#include "PlistFrame.h"
#include "communication.h"

#include <usbmuxd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

std::string nodeText(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        std::string text;
        plistString(node, &text);
        return text;
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return std::to_string(v);
    }
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return b ? "true" : "false";
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return std::to_string(d);
    }
    default:
        return std::string();
    }
}

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

void logError(const char *what, lockdownd_error_t error)
{
    DIAG_LOG((std::string(what) + ": " + std::to_string(int(error))).c_str());
}

// The service whose answer tells a locked device from an open one.
constexpr const char *kProbeService = "com.apple.afc";

} // namespace

std::atomic<int> DeviceSession::s_trustWaitMs{60000};

void DeviceSession::setTrustWait(int ms)
{
    s_trustWaitMs = ms > 0 ? ms : 60000;
}

int DeviceSession::trustWait()
{
    return s_trustWaitMs;
}

DeviceSession::DeviceSession(std::string udid)
    : m_udid(std::move(udid))
{
}

DeviceSession::~DeviceSession()
{
    close();
    m_pool.reset();
    if (m_device)
        idevice_free(m_device);
}

std::string DeviceSession::id() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::to_string(m_handle) + "-" + m_udid;
}

LockdownPool *DeviceSession::pool() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_closed ? nullptr : m_pool.get();
}

bool DeviceSession::find()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_device)
            return true;
    }
    idevice_t device = nullptr;
    if (idevice_new_with_options(&device, m_udid.c_str(), IDEVICE_LOOKUP_USBMUX) != IDEVICE_E_SUCCESS) {
        DIAG_LOG("device not found through usbmuxd");
        return false;
    }
    uint32_t handle = 0;
    idevice_get_handle(device, &handle);
    usbmuxd_device_info_t info {};
    const bool known = usbmuxd_get_device_by_udid(m_udid.c_str(), &info) > 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device = device;
    m_handle = handle;
    m_productId = known ? info.product_id : 0;
    m_pool = std::make_unique<LockdownPool>(m_device);
    return true;
}

int DeviceSession::open(DVPT_PasscodeCallback onPasscode)
{
    if (!find())
        return -1;
    bool polling = false;
    bool forgotHost = false;
    int64_t pollUntil = 0;
    for (;;) {
        LockdownPool *lockdown = pool();
        if (!lockdown)
            return -1;
        lockdownd_client_t client = nullptr;
        lockdownd_error_t error = lockdown->handshake(&client);
        if (error == LOCKDOWN_E_SUCCESS) {
            error = checkServices(client);
            if (error == LOCKDOWN_E_SUCCESS) {
                readValues(client);
                lockdown->put(client);
                return 0;
            }
            lockdownd_client_free(client);
        }
        if (!handleRefusal(error, onPasscode, &polling, &pollUntil, &forgotHost)) {
            std::lock_guard<std::mutex> lock(m_mutex);
            return m_refused ? kOpenRefused : -1;
        }
    }
}

bool DeviceSession::handleRefusal(lockdownd_error_t error, DVPT_PasscodeCallback onPasscode, bool *polling,
                                  int64_t *pollUntil, bool *forgotHost)
{
    switch (error) {
    case LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING:
        // The trust dialog is up on the device. The user is asked once; then
        // the device is polled while the user walks over to it.
        if (*polling && nowMs() < *pollUntil)
            return pause(1000);
        if (!ask(onPasscode))
            return false;
        *polling = true;
        *pollUntil = nowMs() + s_trustWaitMs;
        return true;
    case LOCKDOWN_E_PASSWORD_PROTECTED:
    case LOCKDOWN_E_USER_DENIED_PAIRING:
        *polling = false;
        return ask(onPasscode);
    case LOCKDOWN_E_INVALID_HOST_ID:
        // The device forgot this computer (erased, or its trust settings were
        // reset): our record is stale. Pair anew, once.
        if (*forgotHost) {
            logError("the device refuses the new pairing", error);
            return false;
        }
        *forgotHost = true;
        DIAG_LOG("the device no longer knows this computer: pairing again");
        usbmuxd_delete_pair_record(m_udid.c_str());
        return true;
    default:
        logError("lockdown handshake failed", error);
        return false;
    }
}

bool DeviceSession::ask(DVPT_PasscodeCallback onPasscode)
{
    const std::string deviceId = id();
    if (!onPasscode || onPasscode(deviceId.c_str()) != 1) {
        DIAG_LOG("the device stays locked or untrusted");
        std::lock_guard<std::mutex> lock(m_mutex);
        m_refused = true;
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_closed;
}

bool DeviceSession::pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_closed; });
    return !m_closed;
}

lockdownd_error_t DeviceSession::checkServices(lockdownd_client_t client)
{
    lockdownd_service_descriptor_t service = nullptr;
    const lockdownd_error_t error = lockdownd_start_service(client, kProbeService, &service);
    if (error != LOCKDOWN_E_SUCCESS) {
        if (service)
            lockdownd_service_descriptor_free(service);
        if (error != LOCKDOWN_E_PASSWORD_PROTECTED)
            logError("media service not started", error);
        return error;
    }
    // Connected and closed again: the media client itself connects when it is
    // first needed.
    if (const auto transport = connect(service, DVPT_GetServiceTimeout()))
        transport->close();
    lockdownd_service_descriptor_free(service);
    return LOCKDOWN_E_SUCCESS;
}

void DeviceSession::close()
{
    {
        std::lock_guard<std::mutex> media(m_mediaMutex);
        m_media.reset();
    }
    std::vector<std::weak_ptr<IdeviceTransport>> transports;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        transports.swap(m_transports);
    }
    m_wake.notify_all();
    for (const auto &weak : transports) {
        if (const auto transport = weak.lock())
            transport->close();
    }
    if (m_pool)
        m_pool->close();
}

void DeviceSession::readValues(lockdownd_client_t client)
{
    std::map<std::string, std::string> values;
    plist_t all = nullptr;
    if (lockdownd_get_value(client, nullptr, nullptr, &all) == LOCKDOWN_E_SUCCESS && all
        && plist_get_node_type(all) == PLIST_DICT) {
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(all, &it);
        for (;;) {
            char *key = nullptr;
            plist_t node = nullptr;
            plist_dict_next_item(all, it, &key, &node);
            if (!key)
                break;
            const plist_type type = plist_get_node_type(node);
            if (node && type != PLIST_DICT && type != PLIST_ARRAY && type != PLIST_DATA)
                values[key] = nodeText(node);
            std::free(key);
        }
        std::free(it);
    } else {
        DIAG_LOG("device values not readable");
    }
    plist_free(all);
    // What the device record asks by names lockdown does not have.
    if (values.count("ProductType"))
        values["Model"] = values["ProductType"];
    values["DeviceIdentifier"] = m_udid;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_productId) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", unsigned(m_productId));
        values["ProductIdentifier"] = hex;
    }
    m_values = std::move(values);
}

std::map<std::string, std::string> DeviceSession::values() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_values;
}

bool DeviceSession::value(const std::string &key, std::string *text)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_values.find(key);
        if (it != m_values.end()) {
            *text = it->second;
            return true;
        }
    }
    LockdownPool *lockdown = pool();
    if (!lockdown)
        return false;
    plist_t node = nullptr;
    const lockdownd_error_t error = lockdown->run([&](lockdownd_client_t client) {
        plist_free(node);
        node = nullptr;
        return lockdownd_get_value(client, nullptr, key.c_str(), &node);
    });
    const PlistPtr owned = makePlistPtr(node);
    if (error != LOCKDOWN_E_SUCCESS || !node)
        return false;
    *text = nodeText(node);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_values[key] = *text;
    return true;
}

plist_t DeviceSession::domainValue(const char *domain)
{
    LockdownPool *lockdown = pool();
    if (!lockdown || !domain)
        return nullptr;
    plist_t node = nullptr;
    const lockdownd_error_t error = lockdown->run([&](lockdownd_client_t client) {
        plist_free(node);
        node = nullptr;
        return lockdownd_get_value(client, domain, nullptr, &node);
    });
    if (error != LOCKDOWN_E_SUCCESS) {
        plist_free(node);
        logError("device domain not readable", error);
        return nullptr;
    }
    return node;
}

std::shared_ptr<IdeviceTransport> DeviceSession::connect(lockdownd_service_descriptor_t service, int timeoutMs)
{
    idevice_t device = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closed)
            return nullptr;
        device = m_device;
    }
    idevice_connection_t connection = nullptr;
    if (idevice_connect(device, service->port, &connection) != IDEVICE_E_SUCCESS) {
        DIAG_LOG("service port not reachable");
        return nullptr;
    }
    if (service->ssl_enabled && idevice_connection_enable_ssl(connection) != IDEVICE_E_SUCCESS) {
        idevice_disconnect(connection);
        DIAG_LOG("service SSL handshake failed");
        return nullptr;
    }
    auto transport = std::make_shared<IdeviceTransport>(connection, timeoutMs, !service->ssl_enabled);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closed) {
        transport->close();
        return nullptr;
    }
    m_transports.erase(std::remove_if(m_transports.begin(), m_transports.end(),
                                      [](const std::weak_ptr<IdeviceTransport> &t) { return t.expired(); }),
                       m_transports.end());
    m_transports.push_back(transport);
    return transport;
}

std::shared_ptr<IdeviceTransport> DeviceSession::connectService(const char *serviceName, int timeoutMs)
{
    LockdownPool *lockdown = pool();
    if (!lockdown || !serviceName)
        return nullptr;
    lockdownd_service_descriptor_t service = nullptr;
    const lockdownd_error_t error = lockdown->run([&](lockdownd_client_t client) {
        if (service)
            lockdownd_service_descriptor_free(service);
        service = nullptr;
        return lockdownd_start_service(client, serviceName, &service);
    });
    if (error != LOCKDOWN_E_SUCCESS || !service || service->port == 0) {
        if (service)
            lockdownd_service_descriptor_free(service);
        logError(("service not started: " + std::string(serviceName)).c_str(), error);
        return nullptr;
    }
    auto transport = connect(service, timeoutMs);
    lockdownd_service_descriptor_free(service);
    return transport;
}

std::shared_ptr<AfcClient> DeviceSession::mediaClient(int timeoutMs)
{
    {
        std::lock_guard<std::mutex> lock(m_mediaMutex);
        if (m_media && !m_media->broken())
            return m_media;
    }
    // Connected outside the lock: a thread that needs the media area while
    // another reconnects it opens a client of its own rather than waiting.
    auto transport = connectService("com.apple.afc", timeoutMs);
    if (!transport)
        return nullptr;
    auto client = std::make_shared<AfcClient>(transport, id() + "/");
    std::lock_guard<std::mutex> lock(m_mediaMutex);
    if (m_media && !m_media->broken())
        return m_media;   // another thread was quicker; ours closes with its last user
    m_media = client;
    return m_media;
}
