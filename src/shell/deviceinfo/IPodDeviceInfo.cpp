#include "IPodDeviceInfo.h"

#include "DevPort.h"
#include "DeviceFamilyTable.h"
#include "DeviceModelNames.h"
#include "DiagLog.h"

#include <QStorageInfo>

#include <cstdio>

namespace {

bool lookup(const IPodDeviceInfo::Values &values, const char *key, QByteArray *out)
{
    const auto it = values.find(key);
    if (it == values.end())
        return false;
    *out = QByteArray::fromStdString(it->second);
    return true;
}

int serialRule(int family, const QByteArray &suffix)
{
    // The music-database condition of the older rules never holds here:
    // unknown suffixes keep what the class gave.
    if (family == 10000) {
        if (suffix == "VR0" || suffix == "WH8" || suffix == "OKH")
            return 10000;
        if (suffix == "Y7H" || suffix == "Y7K")
            return 10001;
        if (suffix == "3NP" || suffix == "3NR")
            return 10002;
        if (suffix == "A4S" || suffix == "A4T")
            return 10003;
        return family;
    }
    if (family == 11000) {
        if (suffix == "201")
            return 11001;
        if (suffix == "75J" || suffix == "6K2" || suffix == "6K4")
            return 11002;
        if (suffix == "CP7")
            return 11003;
        return 11000;
    }
    return family;
}

int productIdentifierRule(int family, const QByteArray &pid)
{
    const QByteArray id = pid.toUpper();
    if (id == "12A4" || id == "12A6" || id == "12A5")
        return 12002;
    if (id == "129F")
        return 12001;
    if (id == "12A0")
        return 10004;
    if (id == "12A8")
        return 10005;
    if (id == "12AA")
        return 11004;
    if (id == "12AB")
        return 12003;
    if (id == "1294")
        return 10002;
    if (id == "129C")
        return 10003;
    return family;
}

int modelRule(int family, const QByteArray &model)
{
    static const struct { const char *model; int code; } kModels[] = {
        {"iPhone3,1", 10003}, {"iPhone3,3", 10003}, {"iPhone4,1", 10004}, {"iPhone5,1", 10005},
        {"iPhone5,2", 10005}, {"iPhone5,4", 10006}, {"iPhone6,1", 10007}, {"iPhone6,2", 10007},
        {"iPad2,5", 12003}, {"iPad2,6", 12003}, {"iPad2,7", 12003}, {"iPad3,1", 12002},
        {"iPad3,2", 12002}, {"iPad3,3", 12002}, {"iPad3,4", 12004}, {"iPad3,5", 12004},
        {"iPad3,6", 12004}, {"iPad4,1", 12005}, {"iPad4,2", 12005}, {"iPad4,4", 12006},
        {"iPod4,1", 11003}, {"iPod5,1", 11004},
    };
    for (const auto &m : kModels) {
        if (model == m.model)
            return m.code;
    }
    return family;
}

// The newest generation of each kind that the rules above name.
int newestKnownGeneration(const QByteArray &kind)
{
    if (kind == "iPhone")
        return 6;
    if (kind == "iPad")
        return 4;
    if (kind == "iPod")
        return 5;
    return -1;
}

} // namespace

void IPodDeviceInfo::Fill(const QByteArray &deviceId)
{
    if (m_values.empty() && DVPT_GetDeviceInfoMap(deviceId.constData(), &m_values) != 0)
        DIAG_ERROR();
    // Keys missing from the map may still be readable one by one.
    Values values = m_values;
    for (const char *key : {"DeviceName", "DeviceIdentifier", "DeviceClass", "ProductVersion",
                            "SerialNumber", "ProductIdentifier", "Model", "ProductType"}) {
        if (values.count(key))
            continue;
        char buffer[256];
        if (DVPT_GetValue(key, buffer, int(sizeof buffer), deviceId.constData()) == 0)
            values[key] = buffer;
    }
    fillFrom(deviceId, values);
}

void IPodDeviceInfo::fillFrom(const QByteArray &deviceId, const Values &values)
{
    m_identifier = deviceId;
    lookup(values, "DeviceName", &m_name);
    lookup(values, "DeviceIdentifier", &m_deviceIdentifier);

    m_familyCode = 10000;
    QByteArray deviceClass;
    if (lookup(values, "DeviceClass", &deviceClass)) {
        if (deviceClass == "iPod")
            m_familyCode = 11000;
        else if (deviceClass == "iPad")
            m_familyCode = 12000;
    }
    // Standard error, not output: the command line's output must stay what
    // it promises (JSON) whatever the device answers.
    if (!lookup(values, "ProductVersion", &m_firmwareVersion)) {
        std::fputs("get device version error!\n", stderr);
        DIAG_LOG("get device version error!");
    }
    if (!lookup(values, "SerialNumber", &m_serialNumber)) {
        std::fputs("get device serial error!\n", stderr);
        DIAG_LOG("get device serial error!");
    }
    if (m_serialNumber.size() > 3)
        m_familyCode = serialRule(m_familyCode, m_serialNumber.right(3));
    QByteArray productId;
    if (lookup(values, "ProductIdentifier", &productId))
        m_familyCode = productIdentifierRule(m_familyCode, productId);
    QByteArray model;
    if (lookup(values, "Model", &model))
        m_familyCode = modelRule(m_familyCode, model);
    m_productType.clear();
    if (!lookup(values, "ProductType", &m_productType) && DeviceModelNames::parse(model, nullptr, nullptr))
        m_productType = model;

    m_familyRow = DeviceFamilyTable::match(m_familyCode, m_firmwareVersion);
    m_typeName = m_familyRow ? QByteArray(m_familyRow->name) : QByteArray();
}

bool IPodDeviceInfo::isNewerThanFamilyTable() const
{
    QByteArray kind;
    int generation = 0;
    if (!DeviceModelNames::parse(m_productType, &kind, &generation))
        return false;
    const int newest = newestKnownGeneration(kind);
    return newest > 0 && generation > newest;
}

QString IPodDeviceInfo::picturePath() const
{
    if (isNewerThanFamilyTable()) {
        QByteArray kind;
        DeviceModelNames::parse(m_productType, &kind, nullptr);
        return QStringLiteral(":/images/current-%1.png").arg(QString::fromLatin1(kind.toLower()));
    }
    return QStringLiteral(":/images/%1.png").arg(m_familyCode);
}

bool deviceDiskSpace(const QByteArray &deviceId, double *total, double *free, double *third)
{
    *total = *free = *third = 0;
    if (deviceId.isEmpty())
        return false;
    if (deviceId.at(0) >= '0' && deviceId.at(0) <= '9') {
        uint64_t first = 0, second = 0, blocks = 0;
        if (!DVPT_GetDiskSpace(deviceId.constData(), &first, &second, &blocks)) {
            DIAG_ERROR();
            return false;
        }
        *total = double(second);
        *free = double(first);
        *third = double(blocks);
        return true;
    }
    const QStorageInfo volume(QString::fromLocal8Bit(deviceId));
    if (!volume.isValid() || !volume.isReady()) {
        DIAG_ERROR();
        return false;
    }
    *total = double(volume.bytesTotal());
    *free = double(volume.bytesAvailable());
    *third = double(volume.bytesFree());
    return true;
}

bool hasEnoughSpace(const QByteArray &deviceId, double bytes)
{
    double total = 0, free = 0, third = 0;
    deviceDiskSpace(deviceId, &total, &free, &third);
    return free - bytes > 10485760.0;
}

int ejectDevice(const QByteArray &deviceId)
{
    return DVPT_Eject(deviceId.constData());
}
