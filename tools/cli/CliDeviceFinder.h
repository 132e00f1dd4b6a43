#pragma once

#include <QStringList>

// Finds the connected devices through usbmuxd the way the program does:
// starts the device link and waits until every device usbmuxd lists has
// been opened (or refused, when locked: the command line cannot ask for a
// passcode). Stops the device link when destroyed.
class CliDeviceFinder
{
public:
    CliDeviceFinder() = default;
    ~CliDeviceFinder();
    CliDeviceFinder(const CliDeviceFinder &) = delete;
    CliDeviceFinder &operator=(const CliDeviceFinder &) = delete;

    // False when usbmuxd does not answer or the device link cannot start.
    bool start(int timeoutMs = 20000);
    // The device identifiers that arrived, sorted.
    QStringList devices() const;
    // The devices that stayed locked or untrusted.
    QStringList refused() const;

private:
    bool m_started = false;
};
