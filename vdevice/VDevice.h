#pragma once

// One virtual device: its state folder on disk and its run-time flags.
//
// On-disk layout, one folder per device under the state folder:
//   <state>/<UDID>/values.plist  lockdown values: a dict whose top-level keys
//                                are the root domain (DeviceName, ProductType,
//                                ProductVersion, UniqueDeviceID, ...); a
//                                top-level key containing a dot is a domain
//                                whose dict holds that domain's values, e.g.
//                                "com.apple.disk_usage" {TotalDataCapacity,
//                                TotalDataAvailable, ...} (unsigned integers).
//   <state>/<UDID>/device.plist  the emulator's own flags, not lockdown values:
//                                USBProductID (uint), Attached, Locked (bools),
//                                TrustedHostIDs (the hosts it paired with),
//                                PairingDialog ("pending", "accepted",
//                                "denied"), Trusted (bool: any host; read
//                                only from a folder without TrustedHostIDs).
//                                Written back when they change.
//   <state>/<UDID>/media/        the media area, root of com.apple.afc.
//   <state>/<UDID>/apps/         installed apps (the app services' store).
//   <state>/pairrecords/<UDID>.plist   pair records saved through usbmuxd.
//   <state>/identity.plist             keys, HostID and BUID (VPairKeys.h).
// Faults (VFaults.h) and the idle timeout live in memory only.
//
// Thread affinity: a VDevice is shared by the server and every connection
// thread; every member is safe to call from any thread. Values are read once
// at load and never change.

#include "PlistFrame.h"
#include "VFaults.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class VDevice
{
public:
    // Loads <deviceDir> (values.plist, device.plist; creates media/ and apps/
    // when missing). Null with a reason when the folder is unusable.
    static std::shared_ptr<VDevice> load(const QString &deviceDir, QString *error);

    const QString &udid() const { return m_udid; }
    const QString &rootDir() const { return m_rootDir; }
    QString mediaDir() const { return m_rootDir + QStringLiteral("/media"); }
    QString appsDir() const { return m_rootDir + QStringLiteral("/apps"); }

    QString productVersion() const;
    // True when ProductVersion >= major.minor (8.3, 9.0 gates of the services).
    bool versionAtLeast(int major, int minor = 0) const;
    QString productType() const;
    QString deviceClass() const;   // "iPhone", "iPad", "iPod"
    uint32_t usbProductId() const { return m_usbProductId; }

    // Lockdown values, copies owned by the caller. domain empty: the root
    // domain. value() is null when absent; values() is an empty dict for an
    // unknown domain.
    PlistPtr value(const std::string &key, const std::string &domain = std::string()) const;
    PlistPtr values(const std::string &domain = std::string()) const;
    std::string stringValue(const std::string &key, const std::string &domain = std::string()) const;
    bool hasDomain(const std::string &domain) const;

    // Disk figures of the data partition (com.apple.disk_usage), with the
    // "freespace" fault applied.
    uint64_t totalBytes() const;
    uint64_t freeBytes() const;

    // Run-time flags (persisted in device.plist).
    bool isAttached() const;
    bool isLocked() const;
    void setAttached(bool on);
    void setLocked(bool on);

    // Trust, as the device keeps it: the hosts it paired with and the answer
    // the next Pair gets from the "Trust This Computer?" dialog (persisted).
    enum class Dialog { Pending, Accepted, Denied };
    bool isTrusted() const;   // trusts at least one host
    bool trustsHost(const std::string &hostId) const;
    Dialog dialog() const;
    // lockdown's Pair from hostId: empty when the device now trusts it, else
    // the Error to answer: PasswordProtected (locked),
    // PairingDialogResponsePending, or UserDeniedPairing once after a denial
    // (the next attempt shows a new dialog). A success consumes the answer.
    std::string pair(const std::string &hostId);
    void answerDialog(bool trust);
    // Forgets every host (an erase or a reset of trust settings); the dialog is pending.
    void forgetHosts();
    void forgetHost(const std::string &hostId);   // Unpair
    // A folder that never recorded its hosts (new, or older than host
    // records) and is marked Trusted takes hostId as its host. True when it
    // did: the caller then gives that host its pair record.
    bool adoptHost(const std::string &hostId);
    // What Pair answers as EscrowBag and the pre-made pair record carries.
    QByteArray escrowBag() const;

    // Milliseconds without a request after which lockdown closes a
    // connection; 0: never (the default).
    int idleTimeoutMs() const;
    void setIdleTimeoutMs(int ms);

    // The USB link: bytes per second shared by every connection of the
    // device, both directions (0, the default: as fast as this machine
    // goes). chargeLink() returns once that many more bytes have had their
    // time on the link.
    void setLinkRate(uint64_t bytesPerSecond) { m_linkRate = bytesPerSecond; }
    void chargeLink(size_t bytes);

    // Faults, per service name or "*".
    bool addFault(const std::string &service, const std::string &kind, const std::string &arg,
                  std::string *error);
    void clearFaults();
    VFaults faultsFor(const std::string &service) const;

    // Dynamic service ports handed out by lockdown's StartService; tls when
    // the service connection starts in TLS (EnableServiceSSL).
    uint16_t openServicePort(const std::string &service, bool tls = false);
    std::string serviceForPort(uint16_t port, bool *tls = nullptr) const;   // empty when unknown

private:
    VDevice() = default;
    void saveFlags() const;   // with m_mutex held
    int64_t freeSpaceFault() const;

    QString m_udid;
    QString m_rootDir;
    PlistPtr m_values = makePlistPtr();
    uint32_t m_usbProductId = 0x12a8;

    struct Port
    {
        std::string service;
        bool tls = false;
    };

    mutable std::mutex m_mutex;
    bool m_attached = true;
    bool m_locked = false;
    bool m_markedTrusted = true;   // "Trusted" of a folder without host records
    bool m_hostsRecorded = false;
    std::set<std::string> m_hosts;
    Dialog m_dialog = Dialog::Pending;
    int m_idleTimeoutMs = 0;
    std::map<std::string, VFaults> m_faults;
    std::map<uint16_t, Port> m_ports;
    uint16_t m_nextPort = 49152;

    std::atomic<uint64_t> m_linkRate{0};
    std::mutex m_linkMutex;
    std::chrono::steady_clock::time_point m_linkFree;
};
