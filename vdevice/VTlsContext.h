#pragma once

// The TLS server side of the virtual devices (OpenSSL), built from the state
// folder's device key and certificate (VPairKeys). Like a device it allows
// TLS 1.0 at security level 0 (libimobiledevice caps devices before iOS 10 at
// TLS 1.0), asks the client for its certificate and accepts whatever comes
// (the device checks nothing it cannot), and issues no session tickets.
//
// Sessions read and write the socket through a BIO of our own that sends with
// MSG_NOSIGNAL: a write to a peer that is gone fails with EPIPE and never
// raises SIGPIPE in the process that embeds the server.
//
// Thread affinity: built once before the server accepts connections, then
// only read; each session belongs to its connection's thread.

#include <QString>

struct VPairKeys;
struct ssl_st;
struct ssl_ctx_st;

class VTlsContext
{
public:
    VTlsContext() = default;
    ~VTlsContext();
    VTlsContext(const VTlsContext &) = delete;
    VTlsContext &operator=(const VTlsContext &) = delete;

    // False (logged) with a reason when the keys do not load.
    bool init(const VPairKeys &keys, QString *error);

    // Runs the server handshake on fd. The session, or null (logged) when the
    // handshake fails. The caller frees it with SSL_free, which sends nothing:
    // closing the descriptor afterwards ends the connection without a TLS
    // goodbye.
    ssl_st *accept(int fd) const;

private:
    ssl_ctx_st *m_context = nullptr;
};
