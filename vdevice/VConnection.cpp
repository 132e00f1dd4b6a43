#include "VConnection.h"

#include "DiagLog.h"

#include "VDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include <sys/socket.h>
#include <unistd.h>

VConnection::VConnection(int fd, VDevice *device, std::string serviceName)
    : m_fd(fd), m_device(device), m_service(std::move(serviceName))
{
    if (m_device)
        m_faults = m_device->faultsFor(m_service);
}

VConnection::~VConnection()
{
    if (m_fd >= 0)
        ::close(m_fd);
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
        const ssize_t n = ::recv(m_fd, out + done, want, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
        m_bytesIn += uint64_t(n);
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
        const ssize_t n = ::send(m_fd, in + done, allowed - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
        m_bytesOut += uint64_t(n);
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
