#pragma once

// One accepted connection to a virtual device's service, after usbmuxd
// "Connect" has turned the socket into a raw byte pipe. Every read and write
// of a service goes through here so that injected faults (a drop after N
// bytes, slow chunks, garbage or oversized replies, error answers) apply to
// every service alike, in plain text as inside TLS once startTls() ran.
//
// Contract shared by all services of the virtual device:
//  - one VConnection per accepted socket, used by one thread;
//  - a false result means the peer is gone or misbehaved: the service
//    returns and the connection is closed; nothing else is affected.

#include "VFaults.h"

#include "PlistFrame.h"

#include <plist/plist.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class VDevice;
class VTlsContext;
struct ssl_st;

class VConnection
{
public:
    // tls: the server's TLS context, needed only by startTls().
    VConnection(int fd, VDevice *device, std::string serviceName, const VTlsContext *tls = nullptr);
    ~VConnection();   // closes the descriptor, without a TLS goodbye
    VConnection(const VConnection &) = delete;
    VConnection &operator=(const VConnection &) = delete;

    int fd() const { return m_fd; }
    VDevice *device() const { return m_device; }
    const std::string &serviceName() const { return m_service; }

    bool readExact(void *buffer, size_t length);
    bool writeAll(const void *buffer, size_t length);
    // Takes the next length bytes into the open file fd at its position,
    // moved by the kernel (splice) where the connection allows it: plain,
    // no "drop" fault, fd not in append mode; otherwise through a buffer.
    // A failed write sets *writeError (errno) and the rest is read and
    // dropped, so the stream stays whole. False when the peer is gone.
    bool receiveToFile(int fd, uint64_t length, int *writeError);

    // Runs the server side of a TLS handshake; every later read and write
    // goes through TLS. False (logged) when the handshake fails.
    bool startTls();
    bool tlsActive() const { return m_ssl != nullptr; }
    // A close_notify from the client then ends TLS and the connection goes on
    // in plain text (lockdown after StopSession); without this call it ends
    // the connection.
    void endTlsOnCloseNotify() { m_plainAfterTls = true; }
    // True when a request arrives within timeoutMs (or the peer closed).
    bool waitForData(int timeoutMs);
    // Cuts the connection as a device does: both directions, no TLS goodbye.
    void drop();

    // Property-list messages with the 4-byte big-endian length framing.
    // recvPlist refuses lengths above the framing's bound. sendPlist applies
    // the reply faults of this service (garbage, huge length, Error answer).
    bool recvPlist(plist_t *message);
    bool sendPlist(plist_t message, bool xml = true);
    // One request of a plist service: false (logged) when the peer is gone
    // or sent something other than a dictionary.
    bool recvRequest(PlistPtr *request);

    // The faults of this connection's service, taken when it was accepted.
    // readExact/writeAll apply "drop" and "delay"; sendPlist applies "error",
    // "garbage" and "hugelength"; binary protocols (AFC) apply those three
    // themselves from here.
    const VFaults &faults() const { return m_faults; }

private:
    bool countBytes(size_t length);
    // One recv/send, through TLS when it is on: as recv/send return.
    long receiveSome(char *buffer, size_t length);
    long sendSome(const char *buffer, size_t length);

    int m_fd;
    VDevice *m_device;
    std::string m_service;
    const VTlsContext *m_tls;
    ssl_st *m_ssl = nullptr;
    bool m_plainAfterTls = false;
    VFaults m_faults;
    uint64_t m_bytesOut = 0;
    uint64_t m_bytesIn = 0;
    bool m_repliedWithError = false;   // an injected Error answered the current request
    int m_pipe[2] = {-1, -1};          // receiveToFile's, made on first use
    std::vector<char> m_scratch;       // receiveToFile's buffer, kept between calls
};
