#pragma once

#include <QByteArray>

// Display names of the device families, by family code, with the lowest
// firmware version a row applies from (null: any version).
struct DeviceFamilyRow
{
    int code;
    const char *minimumVersion;
    const char *name;
};

class DeviceFamilyTable
{
public:
    // The last row of that code whose minimum version the firmware reaches, or null.
    static const DeviceFamilyRow *match(int code, const QByteArray &firmwareVersion);
    // Dotted versions compared part by part as unsigned numbers (a part that
    // is not a number counts as 0); with equal common parts, fewer parts is
    // smaller. Negative, 0 or positive.
    static int compareVersions(const QByteArray &a, const QByteArray &b);
};
