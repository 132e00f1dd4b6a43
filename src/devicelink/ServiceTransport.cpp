#include "ServiceTransport.h"

#include "DiagLog.h"

#include <cerrno>
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
