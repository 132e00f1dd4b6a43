#pragma once

// Debian's libimobiledevice as a client of the virtual device (DeviceFixture).

#include "DeviceFixture.h"
#include "PlistFrame.h"
#include "VServer.h"

#include <libimobiledevice/afc.h>
#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <usbmuxd.h>

#include <QTest>

#include <csignal>
#include <memory>

// Reads a whole file over an AFC connection in chunks.
inline afc_error_t afcReadFile(afc_client_t afc, const char *path, QByteArray *data, int chunk = 8192)
{
    data->clear();
    uint64_t handle = 0;
    afc_error_t rc = afc_file_open(afc, path, AFC_FOPEN_RDONLY, &handle);
    QByteArray buffer(chunk, '\0');
    while (rc == AFC_E_SUCCESS) {
        uint32_t got = 0;
        rc = afc_file_read(afc, handle, buffer.data(), uint32_t(chunk), &got);
        if (rc != AFC_E_SUCCESS || got == 0)
            break;
        data->append(buffer.constData(), int(got));
    }
    if (handle)
        afc_file_close(afc, handle);
    return rc;
}

// libimobiledevice writes TLS records with write(2), so a write to a
// connection the device closed raises SIGPIPE; like libimobiledevice's own
// tools, a test that uses it directly ignores the signal from its start.
inline const bool g_sigpipeIgnored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;

// A libimobiledevice device, lockdown session and AFC client, freed in order.
class AfcClient
{
public:
    ~AfcClient() { close(); }

    // The lockdown result of the handshake, or of StartService, or 0.
    int open(const QString &udid, const char *service = AFC_SERVICE_NAME)
    {
        close();
        if (idevice_new_with_options(&m_device, udid.toUtf8().constData(), IDEVICE_LOOKUP_USBMUX) != IDEVICE_E_SUCCESS)
            return -1000;
        int rc = lockdownd_client_new_with_handshake(m_device, &m_lockdown, "tst_vdevice");
        if (rc != LOCKDOWN_E_SUCCESS)
            return rc;
        rc = lockdownd_start_service(m_lockdown, service, &m_service);
        if (rc != LOCKDOWN_E_SUCCESS)
            return rc;
        return afc_client_new(m_device, m_service, &m_afc) == AFC_E_SUCCESS ? 0 : -1001;
    }

    void close()
    {
        if (m_afc)
            afc_client_free(m_afc);
        if (m_service)
            lockdownd_service_descriptor_free(m_service);
        if (m_lockdown)
            lockdownd_client_free(m_lockdown);
        if (m_device)
            idevice_free(m_device);
        m_afc = nullptr;
        m_service = nullptr;
        m_lockdown = nullptr;
        m_device = nullptr;
    }

    afc_client_t afc() const { return m_afc; }
    idevice_t device() const { return m_device; }
    lockdownd_client_t lockdown() const { return m_lockdown; }
    uint16_t servicePort() const { return m_service ? m_service->port : 0; }

    // Whole-file helpers over the C API.
    afc_error_t writeFile(const char *path, const QByteArray &data, int chunk = 1 << 20)
    {
        uint64_t handle = 0;
        afc_error_t rc = afc_file_open(m_afc, path, AFC_FOPEN_WRONLY, &handle);
        for (int offset = 0; rc == AFC_E_SUCCESS && offset < data.size(); offset += chunk) {
            uint32_t written = 0;
            const int n = std::min(chunk, int(data.size()) - offset);
            rc = afc_file_write(m_afc, handle, data.constData() + offset, uint32_t(n), &written);
        }
        if (handle) {
            const afc_error_t closed = afc_file_close(m_afc, handle);
            if (rc == AFC_E_SUCCESS)
                rc = closed;
        }
        return rc;
    }

    afc_error_t readFile(const char *path, QByteArray *data, int chunk = 8192) const
    {
        return afcReadFile(m_afc, path, data, chunk);
    }

private:
    idevice_t m_device = nullptr;
    lockdownd_client_t m_lockdown = nullptr;
    lockdownd_service_descriptor_t m_service = nullptr;
    afc_client_t m_afc = nullptr;
};

// The host's pair record for udid as usbmuxd hands it out; null when there is none.
inline PlistPtr hostPairRecord(const QString &udid)
{
    char *record = nullptr;
    uint32_t size = 0;
    if (usbmuxd_read_pair_record(udid.toUtf8().constData(), &record, &size) != 0)
        return makePlistPtr();
    PlistPtr parsed = makePlistPtr(PlistFrame::parse(record, size));
    free(record);
    return parsed;
}
