#pragma once

#include "DeviceStatus.h"

#include <QByteArray>
#include <QObject>

// Reads a device's status on a pool thread and delivers it on the thread
// that owns the reader. A reader destroyed before an answer arrives simply
// never receives it; the pool thread finishes on its own.
class DeviceStatusReader : public QObject
{
    Q_OBJECT
public:
    explicit DeviceStatusReader(QObject *parent = nullptr);

    // Answers arrive in any order; every request is answered once.
    void request(const QByteArray &deviceId);

signals:
    void statusRead(const QByteArray &deviceId, const DeviceStatus &status);
};
