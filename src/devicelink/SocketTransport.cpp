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
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SocketTransport::waitFor(short events)
{
    if (m_closed || m_fd < 0)
        return false;
    pollfd p{m_fd, events, 0};
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
        const ssize_t n = ::send(m_fd, buffer, size_t(length), MSG_NOSIGNAL);
        if (n > 0)
            return int(n);
        if (n < 0 && errno == EINTR)
            continue;
        DIAG_ERROR();
        return -1;
    }
}

int SocketTransport::sendFile(int fd, uint64_t offset, int length)
{
    if (!waitFor(POLLOUT))
        return -1;
    return sendFileOnSocket(m_fd, fd, offset, length, m_timeoutMs);
}

int SocketTransport::recv(char *buffer, int length)
{
    if (!buffer || length <= 0 || !waitFor(POLLIN))
        return -1;
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, size_t(length), 0);
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

// Another thread may be blocked on the descriptor: shutting it down wakes
// that call, and the descriptor is released only with the last owner so its
// number cannot be reused underneath.
void SocketTransport::close()
{
    if (!m_closed.exchange(true))
        ::shutdown(m_fd, SHUT_RDWR);
}
