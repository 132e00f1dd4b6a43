#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <string>

struct DeviceFamilyRow;

// The record of one connected device: identity, firmware and the family
// that gives its display name and picture. Texts are the device's bytes.
class IPodDeviceInfo
{
public:
    using Values = std::map<std::string, std::string>;

    // Reads the device's values through the device access functions and
    // derives family and type name. A value that cannot be read leaves its
    // field as it was; the record is always usable.
    void Fill(const QByteArray &deviceId);
    // The derivation of Fill over values already read (absent key = unreadable).
    void fillFrom(const QByteArray &deviceId, const Values &values);

    QByteArray identifier() const { return m_identifier; }
    QByteArray name() const { return m_name; }
    QByteArray deviceIdentifier() const { return m_deviceIdentifier; }
    QByteArray serialNumber() const { return m_serialNumber; }
    QByteArray firmwareVersion() const { return m_firmwareVersion; }
    QByteArray typeName() const { return m_typeName; }
    // The hardware model ("iPhone16,1"): the device value "ProductType", else "Model".
    QByteArray productType() const { return m_productType; }
    int familyCode() const { return m_familyCode; }
    const DeviceFamilyRow *familyRow() const { return m_familyRow; }
    // True for an iPhone, iPad or iPod touch of a generation after the newest
    // the family rules know: its family code is only that of the oldest model.
    bool isNewerThanFamilyTable() const;
    // ":/images/<family code>.png", or for devices newer than the family
    // table the generic ":/images/current-iphone.png" (-ipad, -ipod).
    QString picturePath() const;

private:
    QByteArray m_identifier;
    QByteArray m_name;
    QByteArray m_deviceIdentifier;
    QByteArray m_serialNumber;
    QByteArray m_firmwareVersion;
    QByteArray m_typeName;
    QByteArray m_productType;
    int m_familyCode = 10000;
    const DeviceFamilyRow *m_familyRow = nullptr;
    Values m_values;
};

// Space on a device (identifier starting with a digit) or on the volume of a
// local path: (total, free, block size) in bytes; false and zeros on failure.
bool deviceDiskSpace(const QByteArray &deviceId, double *total, double *free, double *third);
// True when the free space less `bytes` stays above 10 MiB.
bool hasEnoughSpace(const QByteArray &deviceId, double bytes);
// Closes the device and reports it removed (DVPT_Eject); 0 on success.
int ejectDevice(const QByteArray &deviceId);
