#include "SocketTransport.h"

#include "DiagLog.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

SocketTransport::SocketTransport(int fd, int timeoutMs)
    : m_fd(fd), m_timeoutMs(timeoutMs)
{
}

SocketTransport::~SocketTransport()
{
    close();
}

bool SocketTransport::waitFor(short events)
{
    const int fd = m_fd.load();
    if (fd < 0)
        return false;
    pollfd p{fd, events, 0};
    for (;;) {
        const int n = ::poll(&p, 1, m_timeoutMs);
        if (n > 0)
            return true;
        if (n == 0) {
            errno = ETIMEDOUT;
            DIAG_LOG("service connection timed out");
            return false;
        }
        if (errno != EINTR) {
            DIAG_ERROR();
            return false;
        }
    }
}

int SocketTransport::send(const char *buffer, int length)
{
    if (!buffer || length <= 0 || !waitFor(POLLOUT))
        return -1;
    for (;;) {
        const ssize_t n = ::send(m_fd.load(), buffer, size_t(length), MSG_NOSIGNAL);
        if (n > 0)
            return int(n);
        if (n < 0 && errno == EINTR)
            continue;
        DIAG_ERROR();
        return -1;
    }
}

int SocketTransport::recv(char *buffer, int length)
{
    if (!buffer || length <= 0 || !waitFor(POLLIN))
        return -1;
    for (;;) {
        const ssize_t n = ::recv(m_fd.load(), buffer, size_t(length), 0);
        if (n > 0)
            return int(n);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ECONNRESET;   // the peer closed: no more bytes will come
        DIAG_ERROR();
        return -1;
    }
}

void SocketTransport::close()
{
    const int fd = m_fd.exchange(-1);
    if (fd >= 0) {
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }
}
