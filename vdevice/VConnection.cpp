#include "VConnection.h"

#include "DiagLog.h"

#include "VDevice.h"
#include "VTlsContext.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// SSL_read/SSL_write take an int; a larger buffer goes in several calls.
constexpr size_t kMaxTlsCall = size_t(1) << 30;
// What receiveToFile moves at a time (and its pipe's size).
constexpr size_t kChunkBytes = 1024 * 1024;

} // namespace

VConnection::VConnection(int fd, VDevice *device, std::string serviceName, const VTlsContext *tls)
    : m_fd(fd), m_device(device), m_service(std::move(serviceName)), m_tls(tls)
{
    if (m_device)
        m_faults = m_device->faultsFor(m_service);
}

VConnection::~VConnection()
{
    // SSL_free sends nothing: the peer sees the connection end without close_notify.
    SSL_free(m_ssl);
    if (m_fd >= 0)
        ::close(m_fd);
    for (int end : m_pipe) {
        if (end >= 0)
            ::close(end);
    }
}

bool VConnection::startTls()
{
    if (m_ssl || !m_tls) {
        DIAG_LOG(m_ssl ? "TLS is on already" : "no TLS context for this connection");
        return false;
    }
    m_ssl = m_tls->accept(m_fd);
    m_plainAfterTls = false;
    return m_ssl != nullptr;
}

bool VConnection::waitForData(int timeoutMs)
{
    if (m_ssl && SSL_pending(m_ssl) > 0)
        return true;
    pollfd p {m_fd, POLLIN, 0};
    for (;;) {
        const int n = ::poll(&p, 1, timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        return n > 0;
    }
}

void VConnection::drop()
{
    ::shutdown(m_fd, SHUT_RDWR);
}

long VConnection::receiveSome(char *buffer, size_t length)
{
    for (;;) {
        if (!m_ssl) {
            const ssize_t n = ::recv(m_fd, buffer, length, 0);
            if (n < 0 && errno == EINTR)
                continue;
            return long(n);
        }
        ERR_clear_error();
        const int n = SSL_read(m_ssl, buffer, int(std::min(length, kMaxTlsCall)));
        if (n > 0)
            return n;
        if (m_plainAfterTls && SSL_get_error(m_ssl, n) == SSL_ERROR_ZERO_RETURN) {
            SSL_free(m_ssl);
            m_ssl = nullptr;
            m_plainAfterTls = false;
            continue;
        }
        return n == 0 ? 0 : -1;
    }
}

long VConnection::sendSome(const char *buffer, size_t length)
{
    if (!m_ssl) {
        for (;;) {
            const ssize_t n = ::send(m_fd, buffer, length, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            return long(n);
        }
    }
    ERR_clear_error();
    const int n = SSL_write(m_ssl, buffer, int(std::min(length, kMaxTlsCall)));
    return n > 0 ? n : -1;
}

// The "drop" fault counts both directions, so that it can cut an upload
// (mostly read) as well as a download (mostly written).
bool VConnection::countBytes(size_t length)
{
    if (m_faults.dropAfterBytes < 0)
        return true;
    return m_bytesIn + m_bytesOut + length <= uint64_t(m_faults.dropAfterBytes);
}

bool VConnection::readExact(void *buffer, size_t length)
{
    auto *out = static_cast<char *>(buffer);
    size_t done = 0;
    while (done < length) {
        size_t want = length - done;
        if (m_faults.dropAfterBytes >= 0) {
            const uint64_t passed = m_bytesIn + m_bytesOut;
            if (passed >= uint64_t(m_faults.dropAfterBytes)) {
                ::shutdown(m_fd, SHUT_RDWR);
                return false;
            }
            want = size_t(std::min<uint64_t>(want, uint64_t(m_faults.dropAfterBytes) - passed));
        }
        const long n = receiveSome(out + done, want);
        if (n <= 0)
            return false;
        done += size_t(n);
        m_bytesIn += uint64_t(n);
        if (m_device)
            m_device->chargeLink(size_t(n));
    }
    return true;
}

bool VConnection::receiveToFile(int fd, uint64_t length, int *writeError)
{
    *writeError = 0;
    const int flags = ::fcntl(fd, F_GETFL);
    bool spliced = !m_ssl && m_faults.dropAfterBytes < 0 && flags >= 0 && !(flags & O_APPEND);
    if (spliced && m_pipe[0] < 0) {
        spliced = ::pipe2(m_pipe, O_CLOEXEC) == 0;
        if (spliced)
            ::fcntl(m_pipe[1], F_SETPIPE_SZ, int(kChunkBytes));
        else
            m_pipe[0] = m_pipe[1] = -1;
    }
    // Bytes that go through this process: those of a buffered receive, or
    // those dropped after a failed write.
    std::vector<char> &buffer = m_scratch;
    if (buffer.size() < kChunkBytes)
        buffer.resize(kChunkBytes);
    while (length > 0) {
        size_t got = 0;
        if (spliced) {
            const ssize_t n = ::splice(m_fd, nullptr, m_pipe[1], nullptr, size_t(std::min<uint64_t>(length, kChunkBytes)),
                                       SPLICE_F_MOVE);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            got = size_t(n);
            m_bytesIn += got;
            if (m_device)
                m_device->chargeLink(got);
        } else {
            got = size_t(std::min<uint64_t>(length, buffer.size()));
            if (!readExact(buffer.data(), got))
                return false;
        }
        length -= got;
        // Into the file; after a failed write, out of the pipe into nowhere.
        for (size_t done = 0; done < got;) {
            ssize_t n;
            if (spliced && *writeError == 0)
                n = ::splice(m_pipe[0], nullptr, fd, nullptr, got - done, SPLICE_F_MOVE);
            else if (spliced)
                n = ::read(m_pipe[0], buffer.data(), std::min(got - done, buffer.size()));
            else if (*writeError == 0)
                n = ::write(fd, buffer.data() + done, got - done);
            else
                n = ssize_t(got - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0 && *writeError == 0) {
                *writeError = n < 0 ? errno : EIO;
                continue;
            }
            if (n <= 0)
                return false;   // the pipe itself failed
            done += size_t(n);
        }
    }
    return true;
}

bool VConnection::writeAll(const void *buffer, size_t length)
{
    if (m_faults.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_faults.delayMs));
    const auto *in = static_cast<const char *>(buffer);
    size_t allowed = length;
    bool dropAfter = false;
    if (!countBytes(length)) {
        const uint64_t passed = m_bytesIn + m_bytesOut;
        allowed = passed >= uint64_t(m_faults.dropAfterBytes)
                      ? 0 : size_t(uint64_t(m_faults.dropAfterBytes) - passed);
        dropAfter = true;
    }
    size_t done = 0;
    while (done < allowed) {
        const long n = sendSome(in + done, allowed - done);
        if (n <= 0)
            return false;
        done += size_t(n);
        m_bytesOut += uint64_t(n);
        if (m_device)
            m_device->chargeLink(size_t(n));
    }
    if (dropAfter) {
        ::shutdown(m_fd, SHUT_RDWR);
        return false;
    }
    return true;
}

bool VConnection::recvPlist(plist_t *message)
{
    if (!message)
        return false;
    *message = nullptr;
    m_repliedWithError = false;
    char header[PlistFrame::kHeaderSize];
    if (!readExact(header, sizeof header))
        return false;
    const uint32_t length = PlistFrame::decodeHeader(header);
    if (length == 0 || !PlistFrame::acceptableLength(length))
        return false;
    std::string body(length, '\0');
    if (!readExact(body.data(), body.size()))
        return false;
    *message = PlistFrame::parse(body.data(), body.size());
    return *message != nullptr;
}

bool VConnection::sendPlist(plist_t message, bool xml)
{
    if (!message)
        return false;
    if (m_faults.hugeLength) {
        // A header announcing ~2 GiB followed by a little plausible text.
        const char packet[] = "\x7f\xff\xff\xf0<?xml version=\"1.0\"";
        writeAll(packet, sizeof packet - 1);
        return false;
    }
    if (m_faults.garbageReply) {
        const char body[] = "this is not a property list \x01\x02\x03";
        char header[PlistFrame::kHeaderSize];
        PlistFrame::encodeHeader(uint32_t(sizeof body - 1), header);
        std::string packet(header, sizeof header);
        packet.append(body, sizeof body - 1);
        writeAll(packet.data(), packet.size());
        return false;
    }
    std::string packet;
    if (!m_faults.errorReply.empty() && plist_get_node_type(message) == PLIST_DICT) {
        // One injected Error per request: the rest of a status stream is
        // swallowed so the client never reads stale replies.
        if (m_repliedWithError)
            return true;
        m_repliedWithError = true;
        PlistPtr reply = makePlistPtr(plist_new_dict());
        if (plist_t request = plist_dict_get_item(message, "Request"))
            plist_dict_set_item(reply.get(), "Request", plist_copy(request));
        plist_dict_set_item(reply.get(), "Error", plist_new_string(m_faults.errorReply.c_str()));
        plist_dict_set_item(reply.get(), "ErrorDescription",
                            plist_new_string("Injected fault of the virtual device"));
        if (!PlistFrame::frame(reply.get(), xml, &packet))
            return false;
        return writeAll(packet.data(), packet.size());
    }
    if (!PlistFrame::frame(message, xml, &packet))
        return false;
    return writeAll(packet.data(), packet.size());
}

bool VConnection::recvRequest(PlistPtr *request)
{
    plist_t raw = nullptr;
    if (!recvPlist(&raw))
        return false;
    *request = makePlistPtr(raw);
    if (plist_get_node_type(raw) != PLIST_DICT) {
        DIAG_LOG("request is not a dictionary");
        return false;
    }
    return true;
}
