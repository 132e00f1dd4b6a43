#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

class VServer;

// The demo devices: the virtual device served inside this process with its
// demo content (an older iPhone and a current iPad with sample apps), in a
// state folder that lives as long as this object. The device link is pointed
// at it; a running appshuttle-vdevice can be used instead (useSocket).
class DemoDevices
{
public:
    DemoDevices();
    ~DemoDevices();   // stops the server and removes its state
    DemoDevices(const DemoDevices &) = delete;
    DemoDevices &operator=(const DemoDevices &) = delete;

    // Populates a fresh state folder, starts the server and points the
    // device link at it. A second call does nothing.
    bool start(QString *error);
    bool isRunning() const;
    // Every service of every demo device waits ms before each reply or
    // chunk from now on (transfers that can be watched).
    void slowTransfers(int ms);
    // The folder of the sample packages to try installing.
    QString packagesFolder() const;

    // Points the device link at the usbmuxd socket at path (before scanning).
    static void useSocket(const QString &path);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<VServer> m_server;
};
