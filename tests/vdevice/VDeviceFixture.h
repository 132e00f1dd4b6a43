#pragma once

// Test fixture for the virtual device: a fresh state folder with default
// devices and an in-process server on a Unix socket, which the real clients
// (libimobiledevice, libusbmuxd, the Debian tools) reach through
// USBMUXD_SOCKET_ADDRESS. One fixture at a time per process.

#include "VDeviceFolder.h"
#include "VServer.h"

#include <libimobiledevice/afc.h>
#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <usbmuxd.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class VDeviceFixture
{
public:
    // Creates `devices` default devices and starts the server.
    bool setUp(int devices = 2)
    {
        if (!m_dir.isValid())
            return false;
        QString error;
        for (int i = 0; i < devices; ++i) {
            const VDeviceProfile profile = VDeviceFolder::defaultProfile(i);
            if (!VDeviceFolder::create(stateDir(), profile, &error))
                return false;
            m_udids << profile.udid;
        }
        m_udids.sort();
        m_server = std::make_unique<VServer>(stateDir());
        if (!m_server->start(socketPath(), &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        qputenv("USBMUXD_SOCKET_ADDRESS", "UNIX:" + socketPath().toLocal8Bit());
        libusbmuxd_set_use_inotify(0);
        return true;
    }

    VServer &server() { return *m_server; }
    QString stateDir() const { return m_dir.path() + QStringLiteral("/state"); }
    QString socketPath() const { return m_dir.path() + QStringLiteral("/mux"); }
    QString scratchDir() const { return m_dir.path(); }
    // UDIDs sorted, so udid(0) has device number 1.
    QString udid(int index) const { return m_udids.value(index); }
    QString iPhoneUdid() const { return VDeviceFolder::defaultProfile(0).udid; }
    QString mediaDir(const QString &udid) const { return stateDir() + QLatin1Char('/') + udid + QStringLiteral("/media"); }

    bool control(const QStringList &args)
    {
        std::vector<std::string> list;
        for (const QString &arg : args)
            list.push_back(arg.toStdString());
        std::string output;
        const bool ok = m_server->control(list, &output);
        if (!ok)
            qWarning("ctl %s: %s", qPrintable(args.join(QLatin1Char(' '))), output.c_str());
        return ok;
    }

    // Runs a Debian tool with the fixture's usbmuxd address; -1 when it did not finish.
    static int run(const QString &program, const QStringList &args, QByteArray *out = nullptr,
                   QByteArray *err = nullptr)
    {
        QProcess process;
        process.start(program, args);
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        if (out)
            *out = process.readAllStandardOutput();
        if (err)
            *err = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

private:
    QTemporaryDir m_dir;
    QStringList m_udids;
    std::unique_ptr<VServer> m_server;
};

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

    afc_error_t readFile(const char *path, QByteArray *data, int chunk = 8192)
    {
        data->clear();
        uint64_t handle = 0;
        afc_error_t rc = afc_file_open(m_afc, path, AFC_FOPEN_RDONLY, &handle);
        QByteArray buffer(chunk, '\0');
        while (rc == AFC_E_SUCCESS) {
            uint32_t got = 0;
            rc = afc_file_read(m_afc, handle, buffer.data(), uint32_t(chunk), &got);
            if (rc != AFC_E_SUCCESS || got == 0)
                break;
            data->append(buffer.constData(), int(got));
        }
        if (handle)
            afc_file_close(m_afc, handle);
        return rc;
    }

private:
    idevice_t m_device = nullptr;
    lockdownd_client_t m_lockdown = nullptr;
    lockdownd_service_descriptor_t m_service = nullptr;
    afc_client_t m_afc = nullptr;
};
