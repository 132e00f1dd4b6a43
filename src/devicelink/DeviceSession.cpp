#include "DeviceSession.h"

#include "AfcClient.h"
#include "DiagLog.h"
#include "IdeviceTransport.h"
#include "PlistFrame.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>

namespace {

constexpr const char *kLabel = "AppShuttle";

std::string nodeText(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        char *s = nullptr;
        plist_get_string_val(node, &s);
        std::string text(s ? s : "");
        std::free(s);
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

// Errors after which the cached session is worth one fresh handshake.
bool sessionLost(lockdownd_error_t e)
{
    return e == LOCKDOWN_E_MUX_ERROR || e == LOCKDOWN_E_SSL_ERROR || e == LOCKDOWN_E_RECEIVE_TIMEOUT
        || e == LOCKDOWN_E_PLIST_ERROR || e == LOCKDOWN_E_SESSION_INACTIVE
        || e == LOCKDOWN_E_INVALID_SESSION_ID || e == LOCKDOWN_E_NO_RUNNING_SESSION
        || e == LOCKDOWN_E_UNKNOWN_ERROR;
}

} // namespace

DeviceSession::DeviceSession(std::string udid)
    : m_udid(std::move(udid))
{
}

DeviceSession::~DeviceSession()
{
    if (m_lockdown)
        lockdownd_client_free(m_lockdown);
    if (m_device)
        idevice_free(m_device);
}

std::string DeviceSession::id() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::to_string(m_handle) + "-" + m_udid;
}

bool DeviceSession::handshakeLocked(lockdownd_error_t *error)
{
    if (m_lockdown) {
        lockdownd_client_free(m_lockdown);
        m_lockdown = nullptr;
    }
    *error = lockdownd_client_new_with_handshake(m_device, &m_lockdown, kLabel);
    if (*error != LOCKDOWN_E_SUCCESS) {
        m_lockdown = nullptr;
        return false;
    }
    return true;
}

int DeviceSession::open(DVPT_PasscodeCallback onPasscode)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_device) {
        if (idevice_new_with_options(&m_device, m_udid.c_str(), IDEVICE_LOOKUP_USBMUX) != IDEVICE_E_SUCCESS) {
            m_device = nullptr;
            DIAG_LOG("device not found through usbmuxd");
            return -1;
        }
        idevice_get_handle(m_device, &m_handle);
    }
    const std::string deviceId = std::to_string(m_handle) + "-" + m_udid;
    for (;;) {
        if (m_closed)
            return -1;
        lockdownd_error_t error = LOCKDOWN_E_SUCCESS;
        if (handshakeLocked(&error))
            break;
        const bool askUser = error == LOCKDOWN_E_PASSWORD_PROTECTED
                             || error == LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING;
        if (!askUser) {
            DIAG_LOG(("lockdown handshake failed: " + std::to_string(int(error))).c_str());
            return -1;
        }
        // The user answers on another thread; the session must not be held meanwhile.
        lock.unlock();
        const int retry = onPasscode ? onPasscode(deviceId.c_str()) : 0;
        lock.lock();
        if (retry != 1) {
            DIAG_LOG("device stays locked");
            return -1;
        }
    }
    readValuesLocked();
    return 0;
}

void DeviceSession::close()
{
    {
        std::lock_guard<std::mutex> media(m_mediaMutex);
        m_media.reset();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = true;
    for (const auto &weak : m_transports) {
        if (const auto transport = weak.lock())
            transport->close();
    }
    m_transports.clear();
    if (m_lockdown) {
        lockdownd_client_free(m_lockdown);
        m_lockdown = nullptr;
    }
}

void DeviceSession::readValuesLocked()
{
    plist_t all = nullptr;
    if (lockdownd_get_value(m_lockdown, nullptr, nullptr, &all) != LOCKDOWN_E_SUCCESS || !all) {
        DIAG_LOG("device values not readable");
        return;
    }
    const PlistPtr owned = makePlistPtr(all);
    if (plist_get_node_type(all) != PLIST_DICT)
        return;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(all, &it);
    for (;;) {
        char *key = nullptr;
        plist_t node = nullptr;
        plist_dict_next_item(all, it, &key, &node);
        if (!key)
            break;
        if (node && plist_get_node_type(node) != PLIST_DICT && plist_get_node_type(node) != PLIST_ARRAY
            && plist_get_node_type(node) != PLIST_DATA)
            m_values[key] = nodeText(node);
        std::free(key);
    }
    std::free(it);
}

std::map<std::string, std::string> DeviceSession::values() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_values;
}

bool DeviceSession::value(const std::string &key, std::string *text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_values.find(key);
    if (it != m_values.end()) {
        *text = it->second;
        return true;
    }
    if (!m_lockdown || m_closed)
        return false;
    plist_t node = nullptr;
    if (lockdownd_get_value(m_lockdown, nullptr, key.c_str(), &node) != LOCKDOWN_E_SUCCESS || !node)
        return false;
    const PlistPtr owned = makePlistPtr(node);
    *text = nodeText(node);
    m_values[key] = *text;
    return true;
}

plist_t DeviceSession::domainValue(const char *domain)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closed || !m_device)
        return nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        lockdownd_error_t error = LOCKDOWN_E_UNKNOWN_ERROR;
        if (m_lockdown) {
            plist_t node = nullptr;
            error = lockdownd_get_value(m_lockdown, domain, nullptr, &node);
            if (error == LOCKDOWN_E_SUCCESS)
                return node;
        }
        if (attempt == 0 && (!m_lockdown || sessionLost(error)) && handshakeLocked(&error))
            continue;
        DIAG_LOG("device domain not readable");
        break;
    }
    return nullptr;
}

lockdownd_error_t DeviceSession::startServiceLocked(const char *serviceName,
                                                    lockdownd_service_descriptor_t *service)
{
    lockdownd_error_t error = LOCKDOWN_E_UNKNOWN_ERROR;
    if (m_lockdown) {
        error = lockdownd_start_service(m_lockdown, serviceName, service);
        if (error == LOCKDOWN_E_SUCCESS || !sessionLost(error))
            return error;
    }
    // Devices end idle sessions; one fresh handshake, no questions to the user.
    if (!handshakeLocked(&error))
        return error;
    return lockdownd_start_service(m_lockdown, serviceName, service);
}

std::shared_ptr<IdeviceTransport> DeviceSession::connectService(const char *serviceName, int timeoutMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closed || !m_device || !serviceName)
        return nullptr;
    lockdownd_service_descriptor_t service = nullptr;
    const lockdownd_error_t error = startServiceLocked(serviceName, &service);
    if (error != LOCKDOWN_E_SUCCESS || !service || service->port == 0) {
        if (service)
            lockdownd_service_descriptor_free(service);
        DIAG_LOG(("service not started: " + std::string(serviceName)).c_str());
        return nullptr;
    }
    idevice_connection_t connection = nullptr;
    if (idevice_connect(m_device, service->port, &connection) != IDEVICE_E_SUCCESS) {
        lockdownd_service_descriptor_free(service);
        DIAG_LOG("service port not reachable");
        return nullptr;
    }
    const bool ssl = service->ssl_enabled;
    lockdownd_service_descriptor_free(service);
    if (ssl && idevice_connection_enable_ssl(connection) != IDEVICE_E_SUCCESS) {
        idevice_disconnect(connection);
        DIAG_LOG("service SSL handshake failed");
        return nullptr;
    }
    auto transport = std::make_shared<IdeviceTransport>(connection, timeoutMs);
    m_transports.erase(std::remove_if(m_transports.begin(), m_transports.end(),
                                      [](const std::weak_ptr<IdeviceTransport> &t) { return t.expired(); }),
                       m_transports.end());
    m_transports.push_back(transport);
    return transport;
}

std::shared_ptr<AfcClient> DeviceSession::mediaClient(int timeoutMs)
{
    std::lock_guard<std::mutex> lock(m_mediaMutex);
    if (m_media && !m_media->broken())
        return m_media;
    m_media.reset();
    auto transport = connectService("com.apple.afc", timeoutMs);
    if (!transport)
        return nullptr;
    m_media = std::make_shared<AfcClient>(transport, id() + "/");
    return m_media;
}
