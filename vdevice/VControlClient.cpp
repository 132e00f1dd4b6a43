#include "VControlClient.h"

#include "VMuxPacket.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

bool receive(int fd, char *buffer, size_t length, int timeoutMs)
{
    size_t done = 0;
    while (done < length) {
        pollfd p {fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return false;
        const ssize_t n = ::recv(fd, buffer + done, length - done, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

bool VControlClient::run(const QString &socketPath, const std::vector<std::string> &args,
                         std::string *output, int timeoutMs)
{
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path) {
        *output = "socket path too long";
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()) + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        *output = "cannot connect to " + path.toStdString() + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    PlistPtr request = makePlistPtr(plist_new_dict());
    plist_dict_set_item(request.get(), "MessageType", plist_new_string(VMuxPacket::kControlMessage));
    plist_t list = plist_new_array();
    for (const std::string &arg : args)
        plist_array_append_item(list, plist_new_string(arg.c_str()));
    plist_dict_set_item(request.get(), "Arguments", list);
    const std::string packet = VMuxPacket::packet(1, request.get());
    bool ok = ::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL) == ssize_t(packet.size());
    char raw[VMuxPacket::kHeaderSize];
    ok = ok && receive(fd, raw, sizeof raw, timeoutMs);
    const VMuxPacket::Header header = VMuxPacket::decodeHeader(raw);
    ok = ok && header.length >= VMuxPacket::kHeaderSize && header.length <= 16u << 20;
    std::string body(ok ? header.length - VMuxPacket::kHeaderSize : 0, '\0');
    ok = ok && receive(fd, body.data(), body.size(), timeoutMs);
    ::close(fd);
    PlistPtr reply = makePlistPtr(ok ? PlistFrame::parse(body.data(), body.size()) : nullptr);
    if (!reply || plist_get_node_type(reply.get()) != PLIST_DICT) {
        *output = "no answer from the virtual device";
        return false;
    }
    *output = VMuxPacket::stringItem(reply.get(), "Output");
    return VMuxPacket::stringItem(reply.get(), "Status") == "OK";
}
