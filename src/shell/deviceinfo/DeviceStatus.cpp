#include "DeviceStatus.h"

#include "DevPort.h"
#include "IPodDeviceInfo.h"

#include <cstdlib>

DeviceStatus DeviceStatus::read(const QByteArray &deviceId)
{
    DeviceStatus status;
    double third = 0;
    status.storageKnown = deviceDiskSpace(deviceId, &status.totalBytes, &status.freeBytes, &third)
        && status.totalBytes > 0;

    // Only devices reached through the device link have a battery domain.
    if (deviceId.isEmpty() || deviceId.at(0) < '0' || deviceId.at(0) > '9')
        return status;
    std::map<std::string, std::string> battery;
    if (DVPT_GetDomainValues(deviceId.constData(), "com.apple.mobile.battery", &battery) != 0)
        return status;
    const auto level = battery.find("BatteryCurrentCapacity");
    if (level != battery.end()) {
        char *end = nullptr;
        const long percent = std::strtol(level->second.c_str(), &end, 10);
        if (end && *end == '\0' && !level->second.empty() && percent >= 0 && percent <= 100)
            status.batteryPercent = int(percent);
    }
    const auto charging = battery.find("BatteryIsCharging");
    status.charging = charging != battery.end() && charging->second == "true";
    return status;
}
