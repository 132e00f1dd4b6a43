#pragma once

// An in-process virtual device server with a fresh state folder, reached
// through USBMUXD_SOCKET_ADDRESS by the device link (startScanning) or by the
// real clients, and the arrivals the device link reported. One fixture per
// test: construct in init(), destroy in cleanup().
//
// Lockdown speaks TLS as a real device does; every device starts out trusted
// by the host whose pair record the state folder holds.

#include "VDeviceFolder.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

class VServer;

class DeviceFixture
{
public:
    // Creates the devices of the given default profiles (0: an iPhone on
    // iOS 8.2, 1: an iPad on iOS 17), each with no apps unless demoApps.
    explicit DeviceFixture(std::vector<int> profiles = {0}, bool demoApps = false);
    ~DeviceFixture();   // stops scanning, the server, and removes the state

    bool ok() const { return m_ok; }
    const QString &error() const { return m_error; }
    QString root() const { return m_dir.path(); }
    QString stateDir() const { return m_dir.path() + QStringLiteral("/state"); }
    QString deviceDir(int index) const;
    QString appsDir(int index) const { return deviceDir(index) + QStringLiteral("/apps"); }
    QString mediaDir(int index) const { return deviceDir(index) + QStringLiteral("/media"); }
    QString mediaDir(const QString &udid) const { return stateDir() + QLatin1Char('/') + udid + QStringLiteral("/media"); }
    QString socketPath() const { return m_dir.path() + QStringLiteral("/mux.sock"); }
    // UDIDs in the server's order, so udid(0) has device number 1.
    QString udid(int index) const { return m_udids.value(index); }
    const VDeviceProfile &profile(int index) const { return m_profiles.at(size_t(index)); }
    VServer &server() { return *m_server; }

    // Starts the device link and waits until every device arrived.
    bool startScanning(int timeoutMs = 15000);
    // The device link's identifier of the device ("<n>-<UDID>").
    std::string id(int index) const;

    // A ctl command of the virtual device ("fault", udid, service, kind, arg...).
    bool ctl(const std::vector<std::string> &args, std::string *output = nullptr);
    bool fault(int index, const std::string &service, const std::string &kind, const std::string &arg = std::string());
    // A per-device ctl command on device index: "trust", "deny", "untrust",
    // "forget-host", "lock", "idle" with arg "0.5", ...
    bool deviceCtl(int index, const std::string &command, const std::string &arg = std::string());
    // Plain-text lockdown sessions from the next StartSession on (TLS by default).
    void setPlainLockdown(bool on);
    // Every device closes lockdown connections idle for ms; 0: never (the default).
    void setIdleTimeout(int ms);
    // The same, warning when the server refuses it.
    bool control(const QStringList &args);

    // Runs a program (a Debian tool) to its end; -1 when it did not finish.
    static int run(const QString &program, const QStringList &args, QByteArray *out = nullptr,
                   QByteArray *err = nullptr);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<VServer> m_server;
    std::vector<VDeviceProfile> m_profiles;
    QStringList m_udids;
    bool m_ok = false;
    QString m_error;
};
