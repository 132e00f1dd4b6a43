#include "VLockdown.h"

#include "DiagLog.h"
#include "VConnection.h"
#include "VDevice.h"
#include "VMuxPacket.h"
#include "VPairKeys.h"
#include "VServiceTable.h"

#include <QUuid>

#include <set>

using VMuxPacket::stringItem;

namespace {

// What a locked device will not start: everything that reaches the user's data.
bool refusedWhileLocked(const std::string &service)
{
    static const std::set<std::string> services = {
        "com.apple.afc", "com.apple.mobile.installation_proxy", "com.apple.mobile.house_arrest",
        "com.apple.springboardservices"};
    return services.count(service) > 0;
}

void setError(plist_t reply, const char *error)
{
    plist_dict_set_item(reply, "Error", plist_new_string(error));
}

std::string recordHostId(plist_t request)
{
    plist_t record = plist_dict_get_item(request, "PairRecord");
    return record && plist_get_node_type(record) == PLIST_DICT ? stringItem(record, "HostID") : std::string();
}

} // namespace

void VLockdown::serve()
{
    VDevice *device = m_conn.device();
    if (!device)
        return;
    for (;;) {
        const int idleMs = device->idleTimeoutMs();
        if (idleMs > 0 && !m_conn.waitForData(idleMs)) {
            DIAG_LOG("lockdown connection idle: closed without a TLS goodbye");
            m_conn.drop();
            return;
        }
        plist_t raw = nullptr;
        if (!m_conn.recvPlist(&raw))
            return;
        PlistPtr message = makePlistPtr(raw);
        if (plist_get_node_type(raw) != PLIST_DICT) {
            DIAG_LOG("lockdown request is not a dictionary: connection closed");
            return;
        }
        const std::string request = stringItem(raw, "Request");
        PlistPtr reply = makePlistPtr(plist_new_dict());
        plist_t r = reply.get();
        plist_dict_set_item(r, "Request", plist_new_string(request.c_str()));
        bool closeAfter = false;
        bool tlsAfter = false;

        if (request == "QueryType") {
            plist_dict_set_item(r, "Type", plist_new_string("com.apple.mobile.lockdown"));
        } else if (request == "GetValue") {
            getValue(raw, r);
        } else if (request == "SetValue") {
            setError(r, "SetProhibited");
        } else if (request == "RemoveValue") {
            setError(r, "RemoveProhibited");
        } else if (request == "Pair" || request == "ValidatePair" || request == "Unpair") {
            pairing(request, raw, r);
        } else if (request == "StartSession") {
            tlsAfter = startSession(raw, r);
        } else if (request == "StopSession") {
            if (m_sessionId.empty()) {
                setError(r, "SessionInactive");
            } else {
                m_sessionId.clear();
                plist_dict_set_item(r, "Result", plist_new_string("Success"));
                m_conn.endTlsOnCloseNotify();
            }
        } else if (request == "StartService") {
            startService(raw, r);
        } else if (request == "Goodbye") {
            plist_dict_set_item(r, "Result", plist_new_string("Success"));
            closeAfter = true;
        } else {
            setError(r, request.empty() ? "MissingRequest" : "InvalidRequest");
        }
        if (!m_conn.sendPlist(r) || closeAfter)
            return;
        // The client starts its handshake as soon as it has the reply:
        // nothing may be written in between. An injected Error replaced the
        // reply, so no session started.
        if (tlsAfter && m_conn.faults().errorReply.empty() && !m_conn.startTls())
            return;
    }
}

void VLockdown::getValue(plist_t request, plist_t r) const
{
    VDevice *device = m_conn.device();
    const std::string domain = stringItem(request, "Domain");
    const std::string key = stringItem(request, "Key");
    if (!domain.empty())
        plist_dict_set_item(r, "Domain", plist_new_string(domain.c_str()));
    if (!key.empty())
        plist_dict_set_item(r, "Key", plist_new_string(key.c_str()));
    const QByteArray &publicKey = m_keys.devicePublicKey;
    if (key.empty()) {
        // Unknown domains answer an empty dict, as devices do.
        PlistPtr values = device->values(domain);
        if (domain.empty())
            plist_dict_set_item(values.get(), "DevicePublicKey", plist_new_data(publicKey.constData(), uint64_t(publicKey.size())));
        plist_dict_set_item(r, "Value", values.release());
    } else if (domain.empty() && key == "DevicePublicKey") {
        plist_dict_set_item(r, "Value", plist_new_data(publicKey.constData(), uint64_t(publicKey.size())));
    } else if (domain == "com.apple.disk_usage") {
        // Through values() so that an injected free space shows.
        PlistPtr usage = device->values(domain);
        if (plist_t node = plist_dict_get_item(usage.get(), key.c_str()))
            plist_dict_set_item(r, "Value", plist_copy(node));
        else
            setError(r, "MissingValue");
    } else if (PlistPtr value = device->value(key, domain)) {
        plist_dict_set_item(r, "Value", value.release());
    } else {
        setError(r, "MissingValue");
    }
}

void VLockdown::pairing(const std::string &name, plist_t request, plist_t r)
{
    VDevice *device = m_conn.device();
    const std::string hostId = recordHostId(request);
    if (hostId.empty()) {
        setError(r, plist_dict_get_item(request, "PairRecord") ? "InvalidPairRecord" : "MissingPairRecord");
        return;
    }
    if (name == "Unpair") {
        device->forgetHost(hostId);
        return;
    }
    if (name == "ValidatePair") {
        if (!device->trustsHost(hostId))
            setError(r, "InvalidHostID");
        return;
    }
    const std::string error = device->pair(hostId);
    if (!error.empty()) {
        DIAG_LOG(("Pair refused: " + error).c_str());
        setError(r, error.c_str());
        return;
    }
    const QByteArray bag = device->escrowBag();
    plist_dict_set_item(r, "EscrowBag", plist_new_data(bag.constData(), uint64_t(bag.size())));
}

bool VLockdown::startSession(plist_t request, plist_t r)
{
    const std::string hostId = stringItem(request, "HostID");
    if (!m_sessionId.empty() || m_conn.tlsActive()) {
        setError(r, "SessionActive");
        return false;
    }
    if (hostId.empty()) {
        setError(r, "MissingHostID");
        return false;
    }
    if (!m_conn.device()->trustsHost(hostId)) {
        DIAG_LOG("StartSession from a host the device does not trust");
        setError(r, "InvalidHostID");
        return false;
    }
    m_sessionId = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
    plist_dict_set_item(r, "SessionID", plist_new_string(m_sessionId.c_str()));
    plist_dict_set_item(r, "EnableSessionSSL", plist_new_bool(m_sessionTls));
    return m_sessionTls;
}

void VLockdown::startService(plist_t request, plist_t r)
{
    VDevice *device = m_conn.device();
    const std::string service = stringItem(request, "Service");
    if (!service.empty())
        plist_dict_set_item(r, "Service", plist_new_string(service.c_str()));
    if (service.empty()) {
        setError(r, "MissingService");
    } else if (m_sessionId.empty()) {
        setError(r, "SessionInactive");
    } else if (device->isLocked() && refusedWhileLocked(service)) {
        setError(r, "PasswordProtected");
    } else if (!VServiceTable::find(service)) {
        setError(r, "InvalidService");
    } else {
        const bool tls = device->faultsFor(service).tls;
        plist_dict_set_item(r, "Port", plist_new_uint(device->openServicePort(service, tls)));
        plist_dict_set_item(r, "EnableServiceSSL", plist_new_bool(tls));
    }
}
