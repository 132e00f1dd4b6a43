#pragma once

// Creates device folders in a state folder (layout: VDevice.h) and fills a
// state folder for --demo / --devices / --apps.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

struct VDeviceProfile
{
    QString udid;             // 40 hex digits, or the new "8-16" form
    QString name;             // DeviceName
    QString deviceClass;      // "iPhone", "iPad", "iPod"
    QString productType;      // "iPhone7,2"
    QString productVersion;   // "8.2"
    QString buildVersion;     // "12D508"
    QString hardwareModel;    // "N61AP"
    QString serialNumber;
    uint32_t usbProductId = 0x12a8;
    uint64_t capacityBytes = 16ull << 30;
    uint64_t freeBytes = 9ull << 30;
    int batteryPercent = 87;  // com.apple.mobile.battery; -1: the device reports no battery
    bool batteryCharging = true;
};

struct VPopulateOptions
{
    bool demo = false;   // the demo mix of apps
    int devices = 2;     // how many devices
    int apps = -1;       // -1: the demo mix; N: N generated apps per device
};

class VDeviceFolder
{
public:
    // The n-th (from 0) deterministic device: 0 an older iPhone (iOS 8.2, every
    // service feature), 1 a current iPad (iOS 17), then alternating.
    static VDeviceProfile defaultProfile(int index);

    // Writes <stateDir>/<udid>/ with values.plist, device.plist, media/, apps/.
    // Existing folders are overwritten file by file.
    static bool create(const QString &stateDir, const VDeviceProfile &profile, QString *error);

    // Whether a UDID can name a device folder (no separators, no leading dot).
    static bool validUdid(const QString &udid);

    // The device folders in stateDir, sorted by UDID.
    static QStringList deviceDirs(const QString &stateDir);

    // What fills a state folder. The app services install theirs (devices
    // with apps, sample packages); without one, populate() creates devices
    // with values only.
    using Populator = std::function<bool(const QString &stateDir, const VPopulateOptions &options,
                                         QString *error)>;
    static void setPopulator(Populator populator);
    static bool populate(const QString &stateDir, const VPopulateOptions &options, QString *error);
};
