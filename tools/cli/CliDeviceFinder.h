#pragma once

#include <QString>
#include <QStringList>

// Finds the connected devices through usbmuxd the way the program does:
// starts the device link and waits until every device usbmuxd lists has
// been opened or given up. A device that is locked or does not trust this
// computer yet is waited for: the user is told once on stderr to unlock it
// and tap Trust, and the device link retries about once a second until
// waitSeconds have passed; then the device counts as refused. Stops the
// device link when destroyed. One finder per process.
class CliDeviceFinder
{
public:
    explicit CliDeviceFinder(int waitSeconds = 60);
    ~CliDeviceFinder();
    CliDeviceFinder(const CliDeviceFinder &) = delete;
    CliDeviceFinder &operator=(const CliDeviceFinder &) = delete;

    // False when usbmuxd does not answer or the device link cannot start.
    // With wanted (an identifier or a UDID), only that device is opened and
    // the wait ends as soon as it arrived or was refused.
    // timeoutMs bounds the wait for devices
    // that ask for nothing; a device waiting for the user gets its own time.
    bool start(const QString &wanted = QString(), int timeoutMs = 20000);
    // The device identifiers that arrived, sorted.
    QStringList devices() const;
    // The devices that stayed locked or untrusted, or still wait.
    QStringList refused() const;
    // The devices that did not answer properly (not opened, not waited for).
    QStringList failed() const;

    // Whether the identifier ("<n>-<UDID>") names the wanted device.
    static bool matches(const QString &id, const QString &wanted);
    // "The device <UDID> is locked or does not trust this computer."
    static QString refusedMessage(const QString &id);
    // "The device <UDID> did not answer properly."
    static QString failedMessage(const QString &id);
};
