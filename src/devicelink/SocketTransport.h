#pragma once

#include "ServiceTransport.h"

#include <atomic>

// A service stream over a connected socket descriptor (owned).
class SocketTransport : public ServiceTransport
{
public:
    SocketTransport(int fd, int timeoutMs);
    ~SocketTransport() override;

    int send(const char *buffer, int length) override;
    int recv(char *buffer, int length) override;
    int sendFile(int fd, uint64_t offset, int length) override;
    void close() override;

private:
    bool waitFor(short events);

    const int m_fd;
    int m_timeoutMs;
    std::atomic<bool> m_closed{false};
};
