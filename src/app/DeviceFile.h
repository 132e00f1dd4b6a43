#pragma once

#include <QByteArray>

#include <cstdint>
#include <string>

// One file on the device, in the media area (reached by the device's
// identifier) or in an app's container (reached by the file-service handle
// of a house-arrest connection), behind one set of calls. Paths are as the
// device access functions take them. An open file is closed when the
// object goes.
class DeviceFile
{
public:
    static DeviceFile inMedia(const QByteArray &deviceId);
    static DeviceFile inContainer(int fileService);
    ~DeviceFile();
    DeviceFile(DeviceFile &&other) noexcept;
    DeviceFile(const DeviceFile &) = delete;
    DeviceFile &operator=(const DeviceFile &) = delete;
    DeviceFile &operator=(DeviceFile &&) = delete;

    // mode as fopen's ("rb", "wb", ...). 0 or the device's negative code.
    int open(const std::string &path, const char *mode);
    bool isOpen() const { return m_open; }
    // Up to *length bytes; *length is what came (0 at the end).
    int read(char *buffer, uint32_t *length);
    int write(const char *buffer, uint32_t length);
    // length bytes of the open local file fd from offset.
    int writeFrom(int fd, uint64_t offset, uint32_t length);
    int seek(int64_t offset, int whence);
    // The size, by seeking to the end and back to the start. A failed
    // seek or tell is an error, never a size.
    int size(uint64_t *size);
    int close();

private:
    DeviceFile(const QByteArray &deviceId, int fileService);

    QByteArray m_deviceId;   // media area; empty for a container
    int m_fileService = 0;
    uint64_t m_ref = 0;
    bool m_open = false;
};
