#include "DeviceFile.h"

#include "DevPort.h"
#include "DiagLog.h"

DeviceFile::DeviceFile(const QByteArray &deviceId, int fileService) : m_deviceId(deviceId), m_fileService(fileService)
{
}

DeviceFile DeviceFile::inMedia(const QByteArray &deviceId)
{
    return DeviceFile(deviceId, 0);
}

DeviceFile DeviceFile::inContainer(int fileService)
{
    return DeviceFile(QByteArray(), fileService);
}

DeviceFile::DeviceFile(DeviceFile &&other) noexcept
    : m_deviceId(other.m_deviceId), m_fileService(other.m_fileService), m_ref(other.m_ref), m_open(other.m_open)
{
    other.m_open = false;
}

DeviceFile::~DeviceFile()
{
    close();
}

int DeviceFile::open(const std::string &path, const char *mode)
{
    close();
    const int rc = m_deviceId.isEmpty() ? zorn_dvpt_fopenEx(m_fileService, path.c_str(), mode, &m_ref)
                                        : zorn_dvpt_fopen(m_deviceId.constData(), path.c_str(), mode, &m_ref);
    m_open = rc == 0;
    return rc;
}

int DeviceFile::read(char *buffer, uint32_t *length)
{
    if (!m_open) {
        DIAG_LOG("file not open");
        return -1;
    }
    return m_deviceId.isEmpty() ? zorn_dvpt_FileRefReadEx(m_fileService, m_ref, buffer, length)
                                : zorn_dvpt_FileRefRead(m_deviceId.constData(), m_ref, buffer, length);
}

int DeviceFile::write(const char *buffer, uint32_t length)
{
    if (!m_open) {
        DIAG_LOG("file not open");
        return -1;
    }
    return m_deviceId.isEmpty() ? zorn_dvpt_FileRefWriteEx(m_fileService, m_ref, buffer, length)
                                : zorn_dvpt_FileRefWrite(m_deviceId.constData(), m_ref, buffer, length);
}

int DeviceFile::writeFrom(int fd, uint64_t offset, uint32_t length)
{
    if (!m_open) {
        DIAG_LOG("file not open");
        return -1;
    }
    return m_deviceId.isEmpty() ? zorn_dvpt_FileRefWriteFromEx(m_fileService, m_ref, fd, offset, length)
                                : zorn_dvpt_FileRefWriteFrom(m_deviceId.constData(), m_ref, fd, offset, length);
}

int DeviceFile::seek(int64_t offset, int whence)
{
    if (!m_open) {
        DIAG_LOG("file not open");
        return -1;
    }
    return m_deviceId.isEmpty() ? zorn_dvpt_FileRefSeekEx(m_fileService, m_ref, offset, whence)
                                : zorn_dvpt_FileRefSeek(m_deviceId.constData(), m_ref, offset, whence);
}

int DeviceFile::size(uint64_t *size)
{
    *size = 0;
    int rc = seek(0, 2);
    if (rc == 0) {
        if (m_deviceId.isEmpty()) {
            rc = zorn_dvpt_FileTellEx(m_fileService, m_ref, size);
        } else {
            const int64_t position = zorn_dvpt_FileTell(m_deviceId.constData(), m_ref);
            rc = position < 0 ? -1 : 0;
            *size = position < 0 ? 0 : uint64_t(position);
        }
    }
    if (rc == 0)
        rc = seek(0, 0);
    if (rc != 0) {
        *size = 0;
        DIAG_LOG("file size not read");
    }
    return rc;
}

int DeviceFile::close()
{
    if (!m_open)
        return 0;
    m_open = false;
    return m_deviceId.isEmpty() ? zorn_dvpt_FileCloseEx(m_fileService, m_ref)
                                : zorn_dvpt_FileClose(m_deviceId.constData(), m_ref);
}
