#include "ServiceTransport.h"

#include "DiagLog.h"

#include <cerrno>
#include <poll.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

ServiceTransport::~ServiceTransport() = default;

int ServiceTransport::sendFile(int fd, uint64_t offset, int length)
{
    if (length <= 0)
        return -1;
    std::vector<char> buffer(size_t(std::min(length, 256 * 1024)));
    ssize_t got;
    do
        got = ::pread(fd, buffer.data(), buffer.size(), off_t(offset));
    while (got < 0 && errno == EINTR);
    if (got <= 0) {
        DIAG_LOG(got < 0 ? "local file not readable" : "local file ended early");
        return -1;
    }
    int done = 0;
    while (done < got) {
        const int sent = send(buffer.data() + done, int(got) - done);
        if (sent <= 0)
            return -1;
        done += sent;
    }
    return done;
}

int ServiceTransport::sendFileOnSocket(int socket, int fd, uint64_t offset, int length, int timeoutMs)
{
    if (length <= 0)
        return -1;
    for (;;) {
        off_t from = off_t(offset);
        const ssize_t n = ::sendfile(socket, fd, &from, size_t(length));
        if (n > 0)
            return int(n);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{socket, POLLOUT, 0};
            int ready;
            do
                ready = ::poll(&p, 1, timeoutMs);
            while (ready < 0 && errno == EINTR);
            if (ready > 0)
                continue;
            DIAG_LOG("device send timed out");
            return -1;
        }
        DIAG_LOG(n == 0 ? "local file ended early" : "device send failed");
        return -1;
    }
}
