#pragma once

#include "ServiceTransport.h"

#include <libimobiledevice/libimobiledevice.h>

#include <atomic>

// A service stream over a libimobiledevice connection (plain or SSL), owned.
// Sends are bounded through the socket's send time-out, receives through the
// library's receive time-out. close() may come from another thread while a
// call is blocked: it shuts the socket down so the call returns, and the
// connection itself is freed only with the last owner. A plain connection
// sends files straight from their descriptor.
class IdeviceTransport : public ServiceTransport
{
public:
    IdeviceTransport(idevice_connection_t connection, int timeoutMs, bool plain);
    ~IdeviceTransport() override;

    int send(const char *buffer, int length) override;
    int recv(char *buffer, int length) override;
    int sendFile(int fd, uint64_t offset, int length) override;
    void close() override;

private:
    idevice_connection_t m_connection;
    int m_fd = -1;
    int m_timeoutMs;
    const bool m_plain;
    std::atomic<bool> m_closed{false};
};
