// The device-wide part of the device access functions: scanning, values,
// disk space, families, eject, and opening services.

#include "DevPort.h"

#include "AfcClient.h"
#include "DeviceManager.h"
#include "DeviceSession.h"
#include "DiagLog.h"
#include "IdeviceTransport.h"
#include "PlistFrame.h"

#include <usbmuxd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<int> g_serviceTimeoutMs{kDefaultServiceTimeoutMs};

std::shared_ptr<DeviceSession> sessionFor(const char *deviceId)
{
    if (!deviceId || !*deviceId)
        return nullptr;
    return DeviceManager::instance().find(deviceId);
}

uint64_t dictUint(plist_t dict, const char *key)
{
    plist_t node = plist_dict_get_item(dict, key);
    uint64_t value = 0;
    if (plist_get_node_type(node) == PLIST_UINT)
        plist_get_uint_val(node, &value);
    return value;
}

std::string familiesOf(const std::string &deviceClass)
{
    if (deviceClass == "iPhone" || deviceClass == "iPod")
        return "1";
    if (deviceClass == "iPad")
        return "1,2";
    if (deviceClass == "AppleTV")
        return "3";
    return std::string();
}

} // namespace

int DVPT_Init(DVPT_DeviceChangeCallback onChange, const char *, const char *, int,
              DVPT_PasscodeCallback onPasscode, int)
{
    return DeviceManager::instance().init(onChange, onPasscode);
}

void DVPT_Shutdown()
{
    DeviceManager::instance().shutdown();
}

int DVPT_CheckService()
{
    char *buid = nullptr;
    const int result = usbmuxd_read_buid(&buid);
    std::free(buid);
    if (result < 0) {
        DIAG_LOG("usbmuxd does not answer");
        return -1;
    }
    return 0;
}

int DVPT_Eject(const char *deviceId)
{
    if (!deviceId) {
        DIAG_LOG("no device id");
        return -1;
    }
    return DeviceManager::instance().eject(deviceId);
}

int DVPT_GetDeviceInfoMap(const char *deviceId, std::map<std::string, std::string> *values)
{
    const auto session = sessionFor(deviceId);
    if (!session || !values) {
        DIAG_LOG("no such device");
        return -1;
    }
    *values = session->values();
    return values->empty() ? -1 : 0;
}

int DVPT_GetValue(const char *key, char *buffer, int bufferSize, const char *deviceId)
{
    if (!key || !buffer || bufferSize <= 0) {
        DIAG_LOG("invalid argument");
        return -1;
    }
    buffer[0] = '\0';
    const auto session = sessionFor(deviceId);
    std::string text;
    if (!session || !session->value(key, &text)) {
        DIAG_LOG("value not available");
        return -1;
    }
    const size_t n = std::min(text.size(), size_t(bufferSize - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return 0;
}

int DVPT_GetDiskSpace(const char *deviceId, uint64_t *free, uint64_t *total, uint64_t *blockSize)
{
    if (free)
        *free = 0;
    if (total)
        *total = 0;
    if (blockSize)
        *blockSize = 0;
    const auto session = sessionFor(deviceId);
    if (!session) {
        DIAG_LOG("no such device");
        return 0;
    }
    uint64_t available = 0, capacity = 0, block = 4096;
    const PlistPtr usage = makePlistPtr(session->domainValue("com.apple.disk_usage"));
    if (usage && plist_get_node_type(usage.get()) == PLIST_DICT) {
        available = dictUint(usage.get(), "AmountDataAvailable");
        if (!available)
            available = dictUint(usage.get(), "TotalDataAvailable");
        capacity = dictUint(usage.get(), "TotalDataCapacity");
        if (!capacity)
            capacity = dictUint(usage.get(), "TotalDiskCapacity");
    }
    // Devices that keep their disk usage to themselves still tell the media
    // area's file system figures; asked only then, as that client may be
    // busy with a transfer of another thread.
    if (!available || !capacity) {
        Afc::KeyValues fs;
        const auto media = session->mediaClient(g_serviceTimeoutMs);
        if (media && media->deviceInfo(&fs) == 0) {
            for (const auto &kv : fs) {
                const uint64_t value = std::strtoull(kv.second.c_str(), nullptr, 10);
                if (kv.first == "FSBlockSize" && value)
                    block = value;
                else if (kv.first == "FSFreeBytes" && !available)
                    available = value;
                else if (kv.first == "FSTotalBytes" && !capacity)
                    capacity = value;
            }
        }
    }
    if (!capacity) {
        DIAG_LOG("disk usage not available");
        return 0;
    }
    if (free)
        *free = available;
    if (total)
        *total = capacity;
    if (blockSize)
        *blockSize = block;
    return 1;
}

int zorn_dvpt_get_device_info_length(const char *deviceId)
{
    const auto session = sessionFor(deviceId);
    std::string deviceClass;
    if (!session || !session->value("DeviceClass", &deviceClass)) {
        DIAG_LOG("device class not available");
        return -1;
    }
    return int(familiesOf(deviceClass).size());
}

int zorn_dvpt_get_device_info(const char *deviceId, char *buffer, int bufferSize)
{
    const auto session = sessionFor(deviceId);
    std::string deviceClass;
    if (!session || !buffer || bufferSize <= 0 || !session->value("DeviceClass", &deviceClass)) {
        DIAG_LOG("device class not available");
        return -1;
    }
    const std::string families = familiesOf(deviceClass);
    if (families.empty() || int(families.size()) >= bufferSize) {
        DIAG_LOG("no families or buffer too small");
        return -1;
    }
    std::memcpy(buffer, families.c_str(), families.size() + 1);
    return 0;
}

void DVPT_SetDeviceFilter(const std::vector<std::string> &udids)
{
    DeviceManager::instance().setFilter(udids);
}

void DVPT_SetTrustWait(int ms)
{
    DeviceSession::setTrustWait(ms);
}

void DVPT_SetServiceTimeout(int timeoutMs)
{
    g_serviceTimeoutMs = timeoutMs > 0 ? timeoutMs : kDefaultServiceTimeoutMs;
}

int DVPT_GetServiceTimeout()
{
    return g_serviceTimeoutMs;
}

ServiceConnection *makeServiceConnection(std::shared_ptr<ServiceTransport> transport, const std::string &pathPrefix);

ServiceConnection *zorn_dvpt_OpenService(const char *deviceId, const char *serviceName)
{
    const auto session = sessionFor(deviceId);
    if (!session || !serviceName) {
        DIAG_LOG("no such device");
        return nullptr;
    }
    auto transport = session->connectService(serviceName, g_serviceTimeoutMs);
    if (!transport)
        return nullptr;   // logged by the session
    return makeServiceConnection(std::move(transport), std::string(deviceId) + "/");
}
