// Values of a lockdown domain, for the figures the summary shows beside the
// device record (battery and the like).

#include "DevPort.h"

#include "DeviceManager.h"
#include "DeviceSession.h"
#include "DiagLog.h"
#include "communication.h"
#include "PlistFrame.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// False for kinds that have no one-line text (dictionaries, arrays, data).
bool scalarText(plist_t node, std::string *text)
{
    switch (plist_get_node_type(node)) {
    case PLIST_STRING:
        return plistString(node, text);
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        *text = std::to_string(v);
        return true;
    }
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        *text = b ? "true" : "false";
        return true;
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%g", d);
        *text = buffer;
        return true;
    }
    default:
        return false;
    }
}

} // namespace

int DVPT_GetDomainValues(const char *deviceId, const char *domain,
                         std::map<std::string, std::string> *values)
{
    if (!deviceId || !*deviceId || !domain || !*domain || !values) {
        DIAG_LOG("invalid argument");
        return -1;
    }
    values->clear();
    const auto session = DeviceManager::instance().find(deviceId);
    if (!session) {
        DIAG_LOG("no such device");
        return -1;
    }
    const PlistPtr dict = makePlistPtr(session->domainValue(domain));
    if (!dict) {
        DIAG_LOG("domain not readable");
        return -1;
    }
    if (plist_get_node_type(dict.get()) != PLIST_DICT)
        return 0;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(dict.get(), &it);
    char *key = nullptr;
    plist_t node = nullptr;
    for (;;) {
        plist_dict_next_item(dict.get(), it, &key, &node);
        if (!key)
            break;
        std::string text;
        const size_t keyLength = std::strlen(key);
        if (node && keyLength > 0 && keyLength <= size_t(kMaxDomainValueLength)
            && int(values->size()) < kMaxDomainValues && scalarText(node, &text))
            (*values)[key] = text.substr(0, size_t(kMaxDomainValueLength));
        std::free(key);
        key = nullptr;
    }
    std::free(it);
    return 0;
}
