#pragma once

// lockdownd of a virtual device (port 62078) without SSL: QueryType,
// GetValue (root domain, a key, a domain), SetValue/RemoveValue (refused),
// ValidatePair, Pair, Unpair, StartSession (EnableSessionSSL false),
// StopSession, StartService (dynamic ports of the registered services),
// Goodbye. Every reply echoes Request. A locked device answers
// PasswordProtected and an untrusted one PairingDialogResponsePending to
// pairing, session and service requests.

class VConnection;

class VLockdown
{
public:
    static constexpr unsigned short kPort = 62078;
    static constexpr const char *kServiceName = "com.apple.mobile.lockdown";

    explicit VLockdown(VConnection &conn) : m_conn(conn) {}
    void serve();

private:
    VConnection &m_conn;
};
