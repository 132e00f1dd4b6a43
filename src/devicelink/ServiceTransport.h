#pragma once

#include <cstdint>

// A byte stream to one device service: a raw socket in tests, a
// libimobiledevice service client on a real device. Implementations bound
// every call by a time-out so that a silent peer cannot block forever.
class ServiceTransport
{
public:
    virtual ~ServiceTransport();
    // Bytes moved (at least 1), or -1 on error, time-out or a closed peer.
    virtual int send(const char *buffer, int length) = 0;
    virtual int recv(char *buffer, int length) = 0;
    // Sends up to length bytes of the open file fd from offset: the bytes
    // sent (at least 1), or -1 (also when the file ends before). By default
    // through a buffer; a plain socket sends straight from the file.
    virtual int sendFile(int fd, uint64_t offset, int length);
    // Ends the stream; later calls fail. Safe to call more than once.
    virtual void close() = 0;

protected:
    // sendFile() on a plain socket (blocking or not): a full socket is
    // waited for within timeoutMs.
    static int sendFileOnSocket(int socket, int fd, uint64_t offset, int length, int timeoutMs);
};
