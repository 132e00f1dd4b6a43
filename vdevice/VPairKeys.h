#pragma once

// The key material of a state folder, as a host and its devices hold it after
// pairing: a root CA, a host and a device key, each with its certificate
// (RSA 2048, PEM; private keys PKCS#1 "RSA PRIVATE KEY", certificates signed
// by the root), the device's public key as PKCS#1 "RSA PUBLIC KEY" (what
// lockdown's GetValue DevicePublicKey answers), the HostID of the state
// folder's pre-made host pair record and the SystemBUID the usbmuxd side
// reports.
//
// Kept in <state>/identity.plist and generated only when that file is
// missing or unreadable. Generating three RSA keys takes a noticeable part of
// a second, so a process reuses the keys it generated first for every
// further state folder it creates (HostID and BUID stay per folder).

#include <QByteArray>
#include <QString>

#include <string>

struct VPairKeys
{
    QByteArray rootKey;
    QByteArray rootCertificate;
    QByteArray hostKey;
    QByteArray hostCertificate;
    QByteArray deviceKey;
    QByteArray deviceCertificate;
    QByteArray devicePublicKey;
    std::string hostId;   // upper-case UUID
    std::string buid;     // upper-case UUID

    bool valid() const;

    // Reads <stateDir>/identity.plist or creates it. False (logged) with a
    // reason when neither works.
    static bool loadOrCreate(const QString &stateDir, VPairKeys *keys, QString *error);

    // The host's pair record for one device as usbmuxd keeps it (XML plist):
    // certificates and private keys, HostID, SystemBUID, EscrowBag and
    // WiFiMACAddress.
    QByteArray hostPairRecord(const QByteArray &escrowBag, const std::string &wifiAddress) const;
};
