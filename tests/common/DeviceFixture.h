#pragma once

// An in-process virtual device server with a fresh state folder, the device
// link scanning it, and the arrivals it reported. One fixture per test:
// construct in init(), destroy in cleanup().

#include "VDeviceFolder.h"

#include <QString>
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
    const VDeviceProfile &profile(int index) const { return m_profiles.at(size_t(index)); }
    VServer &server() { return *m_server; }

    // Starts the device link and waits until every device arrived.
    bool startScanning(int timeoutMs = 15000);
    // The device link's identifier of the device ("<n>-<UDID>").
    std::string id(int index) const;

    // A ctl command of the virtual device ("fault", udid, service, kind, arg...).
    bool ctl(const std::vector<std::string> &args, std::string *output = nullptr);
    bool fault(int index, const std::string &service, const std::string &kind, const std::string &arg = std::string());

private:
    QTemporaryDir m_dir;
    std::unique_ptr<VServer> m_server;
    std::vector<VDeviceProfile> m_profiles;
    bool m_ok = false;
    QString m_error;
};
