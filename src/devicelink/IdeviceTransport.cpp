#include "IdeviceTransport.h"

#include "DiagLog.h"

#include <cerrno>
#include <sys/socket.h>
#include <sys/time.h>

IdeviceTransport::IdeviceTransport(idevice_connection_t connection, int timeoutMs, bool plain)
    : m_connection(connection), m_timeoutMs(timeoutMs), m_plain(plain)
{
    if (idevice_connection_get_fd(m_connection, &m_fd) == IDEVICE_E_SUCCESS && m_fd >= 0) {
        timeval tv{};
        tv.tv_sec = timeoutMs / 1000;
        tv.tv_usec = (timeoutMs % 1000) * 1000;
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    }
}

IdeviceTransport::~IdeviceTransport()
{
    if (m_connection)
        idevice_disconnect(m_connection);
}

int IdeviceTransport::send(const char *buffer, int length)
{
    if (m_closed || !m_connection || !buffer || length <= 0)
        return -1;
    uint32_t sent = 0;
    const idevice_error_t rc = idevice_connection_send(m_connection, buffer, uint32_t(length), &sent);
    if (rc != IDEVICE_E_SUCCESS || sent == 0) {
        DIAG_LOG("device send failed");
        return -1;
    }
    return int(sent);
}

int IdeviceTransport::sendFile(int fd, uint64_t offset, int length)
{
    if (!m_plain || m_fd < 0)
        return ServiceTransport::sendFile(fd, offset, length);
    if (m_closed)
        return -1;
    return sendFileOnSocket(m_fd, fd, offset, length, m_timeoutMs);
}

int IdeviceTransport::recv(char *buffer, int length)
{
    if (m_closed || !m_connection || !buffer || length <= 0)
        return -1;
    uint32_t got = 0;
    const idevice_error_t rc =
        idevice_connection_receive_timeout(m_connection, buffer, uint32_t(length), &got, unsigned(m_timeoutMs));
    if (rc != IDEVICE_E_SUCCESS || got == 0) {
        DIAG_LOG(rc == IDEVICE_E_TIMEOUT ? "device receive timed out" : "device receive failed");
        return -1;
    }
    return int(got);
}

void IdeviceTransport::close()
{
    if (!m_closed.exchange(true) && m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}
