#include "VLockdown.h"

#include "DiagLog.h"
#include "VConnection.h"
#include "VDevice.h"
#include "VMuxPacket.h"
#include "VServiceTable.h"

#include <QUuid>

#include <string>

using VMuxPacket::stringItem;

void VLockdown::serve()
{
    VDevice *device = m_conn.device();
    if (!device)
        return;
    std::string sessionId;
    for (;;) {
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
        const auto refuse = [r](const char *error) { plist_dict_set_item(r, "Error", plist_new_string(error)); };
        // The refusals of a device that waits for its passcode or for the user's trust.
        const auto gated = [&]() {
            if (!device->isTrusted()) {
                refuse("PairingDialogResponsePending");
                return true;
            }
            if (device->isLocked()) {
                refuse("PasswordProtected");
                return true;
            }
            return false;
        };
        bool closeAfter = false;

        if (request == "QueryType") {
            plist_dict_set_item(r, "Type", plist_new_string("com.apple.mobile.lockdown"));
        } else if (request == "GetValue") {
            const std::string domain = stringItem(raw, "Domain");
            const std::string key = stringItem(raw, "Key");
            if (!domain.empty())
                plist_dict_set_item(r, "Domain", plist_new_string(domain.c_str()));
            if (!key.empty())
                plist_dict_set_item(r, "Key", plist_new_string(key.c_str()));
            if (key.empty()) {
                // Unknown domains answer an empty dict, as devices do.
                plist_dict_set_item(r, "Value", device->values(domain).release());
            } else if (domain == "com.apple.disk_usage") {
                // Through values() so that an injected free space shows.
                PlistPtr usage = device->values(domain);
                if (plist_t node = plist_dict_get_item(usage.get(), key.c_str()))
                    plist_dict_set_item(r, "Value", plist_copy(node));
                else
                    refuse("MissingValue");
            } else if (PlistPtr value = device->value(key, domain)) {
                plist_dict_set_item(r, "Value", value.release());
            } else {
                refuse("MissingValue");
            }
        } else if (request == "SetValue") {
            refuse("SetProhibited");
        } else if (request == "RemoveValue") {
            refuse("RemoveProhibited");
        } else if (request == "ValidatePair" || request == "Pair") {
            gated();
        } else if (request == "Unpair") {
            // Nothing to forget: the record lives on the host side.
        } else if (request == "StartSession") {
            if (!sessionId.empty()) {
                refuse("SessionActive");
            } else if (!gated()) {
                sessionId = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
                plist_dict_set_item(r, "SessionID", plist_new_string(sessionId.c_str()));
                plist_dict_set_item(r, "EnableSessionSSL", plist_new_bool(0));
            }
        } else if (request == "StopSession") {
            if (sessionId.empty()) {
                refuse("SessionInactive");
            } else {
                sessionId.clear();
                plist_dict_set_item(r, "Result", plist_new_string("Success"));
            }
        } else if (request == "StartService") {
            const std::string service = stringItem(raw, "Service");
            if (!service.empty())
                plist_dict_set_item(r, "Service", plist_new_string(service.c_str()));
            if (service.empty()) {
                refuse("MissingService");
            } else if (sessionId.empty()) {
                refuse("SessionInactive");
            } else if (gated()) {
                // refused above
            } else if (!VServiceTable::find(service)) {
                refuse("InvalidService");
            } else {
                plist_dict_set_item(r, "Port", plist_new_uint(device->openServicePort(service)));
                plist_dict_set_item(r, "EnableServiceSSL", plist_new_bool(0));
            }
        } else if (request == "Goodbye") {
            plist_dict_set_item(r, "Result", plist_new_string("Success"));
            closeAfter = true;
        } else {
            refuse(request.empty() ? "MissingRequest" : "InvalidRequest");
        }
        if (!m_conn.sendPlist(r) || closeAfter)
            return;
    }
}
