#pragma once

// A hand-made usbmuxd client for what the real clients never send:
// malformed packets, unknown commands, raw lockdown exchanges.

#include "PlistFrame.h"
#include "VMuxPacket.h"

#include <QString>

#include <cstring>
#include <string>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class RawMuxClient
{
public:
    explicit RawMuxClient(const QString &socketPath)
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray path = socketPath.toLocal8Bit();
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()) + 1);
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~RawMuxClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool send(const std::string &bytes) { return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size()); }

    bool request(plist_t dict, uint32_t tag = 1) { return send(VMuxPacket::packet(tag, dict)); }

    // Reads exactly length bytes; false on close or after 5 s.
    bool receive(char *buffer, size_t length)
    {
        size_t done = 0;
        while (done < length) {
            pollfd p {m_fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                return false;
            const ssize_t n = ::recv(m_fd, buffer + done, length - done, 0);
            if (n <= 0)
                return false;
            done += size_t(n);
        }
        return true;
    }

    // The next usbmuxd reply, null when the server closed the connection.
    PlistPtr reply(uint32_t *tag = nullptr)
    {
        char raw[VMuxPacket::kHeaderSize];
        if (!receive(raw, sizeof raw))
            return makePlistPtr();
        const VMuxPacket::Header header = VMuxPacket::decodeHeader(raw);
        if (tag)
            *tag = header.tag;
        std::string body(header.length - VMuxPacket::kHeaderSize, '\0');
        if (header.length < VMuxPacket::kHeaderSize || !receive(body.data(), body.size()))
            return makePlistPtr();
        return makePlistPtr(PlistFrame::parse(body.data(), body.size()));
    }

    // True when the server closed the connection within 5 s: end of file,
    // or a reset when it closed with our bytes still unread.
    bool closedByPeer()
    {
        pollfd p {m_fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            return false;
        char byte;
        return ::recv(m_fd, &byte, 1, 0) <= 0;
    }

    // usbmuxd Connect; true when the socket became a pipe to the port.
    bool connectTo(uint32_t device, uint16_t port, uint64_t *number = nullptr)
    {
        PlistPtr dict = makePlistPtr(plist_new_dict());
        plist_dict_set_item(dict.get(), "MessageType", plist_new_string("Connect"));
        plist_dict_set_item(dict.get(), "DeviceID", plist_new_uint(device));
        plist_dict_set_item(dict.get(), "PortNumber", plist_new_uint(uint16_t((port << 8) | (port >> 8))));
        if (!request(dict.get()))
            return false;
        PlistPtr answer = reply();
        const uint64_t result = answer ? VMuxPacket::uintItem(answer.get(), "Number") : 99;
        if (number)
            *number = result;
        return result == 0;
    }

    // One framed plist exchange on a connected pipe; returns the raw length
    // header of the answer in *length and the parsed body (null if it does
    // not parse or is not read because it is beyond sanity).
    PlistPtr exchange(plist_t message, uint32_t *length)
    {
        std::string packet;
        PlistFrame::frame(message, true, &packet);
        char header[PlistFrame::kHeaderSize];
        *length = 0;
        if (!send(packet) || !receive(header, sizeof header))
            return makePlistPtr();
        *length = PlistFrame::decodeHeader(header);
        if (!PlistFrame::acceptableLength(*length))
            return makePlistPtr();
        std::string body(*length, '\0');
        if (!receive(body.data(), body.size()))
            return makePlistPtr();
        return makePlistPtr(PlistFrame::parse(body.data(), body.size()));
    }

private:
    int m_fd = -1;
};

inline PlistPtr messageOf(const char *type)
{
    PlistPtr dict = makePlistPtr(plist_new_dict());
    plist_dict_set_item(dict.get(), "MessageType", plist_new_string(type));
    return dict;
}

inline PlistPtr lockdownRequest(const char *request, const char *key = nullptr)
{
    PlistPtr dict = makePlistPtr(plist_new_dict());
    plist_dict_set_item(dict.get(), "Label", plist_new_string("tst"));
    if (key)
        plist_dict_set_item(dict.get(), "Key", plist_new_string(key));
    plist_dict_set_item(dict.get(), "Request", plist_new_string(request));
    return dict;
}
