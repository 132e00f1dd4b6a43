#include "VDeviceFolder.h"

#include "PlistFrame.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSaveFile>

#include <mutex>

namespace {

std::mutex &populatorMutex()
{
    static std::mutex mutex;
    return mutex;
}

VDeviceFolder::Populator &populatorSlot()
{
    static VDeviceFolder::Populator populator;
    return populator;
}

QByteArray hashHex(const QString &seed)
{
    return QCryptographicHash::hash(seed.toUtf8(), QCryptographicHash::Sha1).toHex();
}

void setString(plist_t dict, const char *key, const QString &value)
{
    plist_dict_set_item(dict, key, plist_new_string(value.toUtf8().constData()));
}

bool writePlist(const QString &path, plist_t node, QString *error)
{
    std::string xml;
    QSaveFile file(path);
    if (!PlistFrame::toXml(node, &xml) || !file.open(QIODevice::WriteOnly)
        || file.write(xml.data(), qint64(xml.size())) != qint64(xml.size()) || !file.commit()) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

QString macAddress(const QByteArray &hex, int offset)
{
    QStringList parts;
    for (int i = 0; i < 6; ++i)
        parts << QString::fromLatin1(hex.mid(offset + 2 * i, 2));
    return parts.join(QLatin1Char(':'));
}

PlistPtr rootValues(const VDeviceProfile &p)
{
    const QByteArray hex = hashHex(p.udid);
    const bool iPad = p.deviceClass == QLatin1String("iPad");
    PlistPtr dict = makePlistPtr(plist_new_dict());
    plist_t d = dict.get();
    setString(d, "ActivationState", QStringLiteral("Activated"));
    plist_dict_set_item(d, "ActivationStateAcknowledged", plist_new_bool(1));
    setString(d, "BluetoothAddress", macAddress(hex, 0));
    plist_dict_set_item(d, "BrickState", plist_new_bool(0));
    setString(d, "BuildVersion", p.buildVersion);
    setString(d, "CPUArchitecture", p.productVersion.section(QLatin1Char('.'), 0, 0).toInt() >= 12
                                        ? QStringLiteral("arm64e") : QStringLiteral("arm64"));
    setString(d, "DeviceClass", p.deviceClass);
    setString(d, "DeviceColor", QStringLiteral("1"));
    setString(d, "DeviceName", p.name);
    setString(d, "EthernetAddress", macAddress(hex, 12));
    setString(d, "FirmwareVersion", QStringLiteral("iBoot-2261.20.24"));
    setString(d, "HardwareModel", p.hardwareModel);
    plist_dict_set_item(d, "HostAttached", plist_new_bool(1));
    setString(d, "ModelNumber", iPad ? QStringLiteral("MPQ03") : QStringLiteral("ME432"));
    plist_dict_set_item(d, "PasswordProtected", plist_new_bool(0));
    setString(d, "ProductName", QStringLiteral("iPhone OS"));
    setString(d, "ProductType", p.productType);
    setString(d, "ProductVersion", p.productVersion);
    setString(d, "ProtocolVersion", QStringLiteral("2"));
    setString(d, "RegionInfo", QStringLiteral("LL/A"));
    setString(d, "SerialNumber", p.serialNumber);
    plist_t families = plist_new_array();
    plist_array_append_item(families, plist_new_uint(1));
    if (iPad)
        plist_array_append_item(families, plist_new_uint(2));
    plist_dict_set_item(d, "SupportedDeviceFamilies", families);
    plist_dict_set_item(d, "TelephonyCapability", plist_new_bool(!iPad));
    setString(d, "TimeZone", QStringLiteral("Europe/Berlin"));
    plist_dict_set_item(d, "TrustedHostAttached", plist_new_bool(1));
    plist_dict_set_item(d, "UniqueChipID", plist_new_uint(hex.left(12).toULongLong(nullptr, 16)));
    setString(d, "UniqueDeviceID", p.udid);
    plist_dict_set_item(d, "Uses24HourClock", plist_new_bool(1));
    setString(d, "WiFiAddress", macAddress(hex, 24));

    const uint64_t system = 4ull << 30;
    plist_t usage = plist_new_dict();
    plist_dict_set_item(usage, "TotalDiskCapacity", plist_new_uint(p.capacityBytes));
    plist_dict_set_item(usage, "TotalSystemCapacity", plist_new_uint(system));
    plist_dict_set_item(usage, "TotalSystemAvailable", plist_new_uint(system / 4));
    plist_dict_set_item(usage, "TotalDataCapacity", plist_new_uint(p.capacityBytes - system));
    plist_dict_set_item(usage, "TotalDataAvailable", plist_new_uint(p.freeBytes));
    plist_dict_set_item(usage, "AmountDataReserved", plist_new_uint(200ull << 20));
    plist_dict_set_item(usage, "AmountDataAvailable", plist_new_uint(p.freeBytes));
    plist_dict_set_item(d, "com.apple.disk_usage", usage);

    if (p.batteryPercent >= 0) {
        plist_t battery = plist_new_dict();
        plist_dict_set_item(battery, "BatteryCurrentCapacity", plist_new_uint(uint64_t(p.batteryPercent)));
        plist_dict_set_item(battery, "BatteryIsCharging", plist_new_bool(p.batteryCharging));
        plist_dict_set_item(d, "com.apple.mobile.battery", battery);
    }

    plist_t international = plist_new_dict();
    setString(international, "Language", QStringLiteral("en"));
    setString(international, "Locale", QStringLiteral("en_US"));
    plist_dict_set_item(d, "com.apple.international", international);
    return dict;
}

} // namespace

VDeviceProfile VDeviceFolder::defaultProfile(int index)
{
    VDeviceProfile p;
    const QByteArray hex = hashHex(QStringLiteral("appshuttle-vdevice-%1").arg(index));
    const QString suffix = index < 2 ? QString() : QStringLiteral(" %1").arg(index + 1);
    p.serialNumber = QString::fromLatin1(hex.mid(20, 12).toUpper());
    if (index % 2 == 0) {
        p.udid = QString::fromLatin1(hex);
        p.name = QStringLiteral("Demo iPhone") + suffix;
        p.deviceClass = QStringLiteral("iPhone");
        p.productType = QStringLiteral("iPhone6,1");
        p.productVersion = QStringLiteral("8.2");
        p.buildVersion = QStringLiteral("12D508");
        p.hardwareModel = QStringLiteral("N51AP");
        p.usbProductId = 0x12a8;
        p.capacityBytes = 16ull << 30;
        p.freeBytes = 9ull << 30;
    } else {
        p.udid = QStringLiteral("00008101-") + QString::fromLatin1(hex.left(16).toUpper());
        p.name = QStringLiteral("Demo iPad") + suffix;
        p.deviceClass = QStringLiteral("iPad");
        p.productType = QStringLiteral("iPad13,18");
        p.productVersion = QStringLiteral("17.5.1");
        p.buildVersion = QStringLiteral("21F90");
        p.hardwareModel = QStringLiteral("J271AP");
        p.usbProductId = 0x12ab;
        p.capacityBytes = 64ull << 30;
        p.freeBytes = 41ull << 30;
        p.batteryPercent = 54;
        p.batteryCharging = false;
    }
    return p;
}

bool VDeviceFolder::create(const QString &stateDir, const VDeviceProfile &profile, QString *error)
{
    const QString dir = stateDir + QLatin1Char('/') + profile.udid;
    if (!validUdid(profile.udid)) {
        *error = QStringLiteral("invalid UDID: %1").arg(profile.udid);
        return false;
    }
    if (!QDir().mkpath(dir + QStringLiteral("/media")) || !QDir().mkpath(dir + QStringLiteral("/apps"))) {
        *error = QStringLiteral("cannot create %1").arg(dir);
        return false;
    }
    PlistPtr values = rootValues(profile);
    PlistPtr flags = makePlistPtr(plist_new_dict());
    plist_dict_set_item(flags.get(), "USBProductID", plist_new_uint(profile.usbProductId));
    plist_dict_set_item(flags.get(), "Attached", plist_new_bool(1));
    plist_dict_set_item(flags.get(), "Locked", plist_new_bool(0));
    plist_dict_set_item(flags.get(), "Trusted", plist_new_bool(1));
    return writePlist(dir + QStringLiteral("/values.plist"), values.get(), error)
        && writePlist(dir + QStringLiteral("/device.plist"), flags.get(), error);
}

bool VDeviceFolder::validUdid(const QString &udid)
{
    return !udid.isEmpty() && udid.size() <= 64 && !udid.contains(QLatin1Char('/'))
        && !udid.startsWith(QLatin1Char('.'));
}

QStringList VDeviceFolder::deviceDirs(const QString &stateDir)
{
    QStringList out;
    const QDir dir(stateDir);
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (QFile::exists(dir.filePath(name) + QStringLiteral("/values.plist")))
            out << dir.filePath(name);
    }
    return out;
}

void VDeviceFolder::setPopulator(Populator populator)
{
    std::lock_guard<std::mutex> lock(populatorMutex());
    populatorSlot() = std::move(populator);
}

bool VDeviceFolder::populate(const QString &stateDir, const VPopulateOptions &options, QString *error)
{
    Populator populator;
    {
        std::lock_guard<std::mutex> lock(populatorMutex());
        populator = populatorSlot();
    }
    if (populator)
        return populator(stateDir, options, error);
    for (int i = 0; i < options.devices; ++i) {
        if (!create(stateDir, defaultProfile(i), error))
            return false;
    }
    return true;
}
