#pragma once

// lockdownd of a virtual device (port 62078): QueryType, GetValue (root
// domain with DevicePublicKey, a key, a domain), SetValue/RemoveValue
// (refused), Pair, ValidatePair, Unpair, StartSession, StopSession,
// StartService (dynamic ports of the registered services), Goodbye. Every
// reply echoes Request.
//
// Trust is the device's (VDevice): Pair goes through the trust dialog and
// answers an EscrowBag; ValidatePair and StartSession answer InvalidHostID
// for a host the device does not trust. A locked device refuses Pair and the
// start of the app services with PasswordProtected, but opens sessions.
//
// With sessionTls, StartSession answers EnableSessionSSL true and the
// connection continues in TLS right after the reply; the client's
// close_notify after StopSession returns it to plain text. The device's idle
// timeout closes a connection that long without a request, without a TLS
// goodbye, as devices end idle sessions.

#include <plist/plist.h>

#include <string>

class VConnection;
struct VPairKeys;

class VLockdown
{
public:
    static constexpr unsigned short kPort = 62078;
    static constexpr const char *kServiceName = "com.apple.mobile.lockdown";

    VLockdown(VConnection &conn, const VPairKeys &keys, bool sessionTls)
        : m_conn(conn), m_keys(keys), m_sessionTls(sessionTls) {}
    void serve();

private:
    void getValue(plist_t request, plist_t reply) const;
    void pairing(const std::string &name, plist_t request, plist_t reply);
    // True when TLS starts after the reply.
    bool startSession(plist_t request, plist_t reply);
    void startService(plist_t request, plist_t reply);

    VConnection &m_conn;
    const VPairKeys &m_keys;
    bool m_sessionTls;
    std::string m_sessionId;
};
