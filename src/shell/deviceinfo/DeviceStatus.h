#pragma once

#include <QByteArray>
#include <QMetaType>

// What a device says about its storage and battery right now; read on
// demand for the summary, never cached in the device record.
struct DeviceStatus
{
    bool storageKnown = false;
    double totalBytes = 0;   // the data partition's capacity
    double freeBytes = 0;
    int batteryPercent = -1; // 0..100; -1 when the device does not report it
    bool charging = false;

    double usedBytes() const { return totalBytes > freeBytes ? totalBytes - freeBytes : 0; }

    // Blocks on the device link (disk usage and the battery domain): call it
    // off the GUI thread. Whatever cannot be read stays unknown.
    static DeviceStatus read(const QByteArray &deviceId);
};
Q_DECLARE_METATYPE(DeviceStatus)
