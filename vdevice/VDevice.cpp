#include "VDevice.h"

#include "VAppPlist.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdlib>
#include <thread>

namespace {

PlistPtr readPlistFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > qint64(PlistFrame::kMaxBodySize))
        return makePlistPtr();
    QByteArray data = file.readAll();
    return makePlistPtr(PlistFrame::parse(data.data(), size_t(data.size())));
}

bool boolItem(plist_t dict, const char *key, bool fallback)
{
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_BOOLEAN)
        return fallback;
    uint8_t value = 0;
    plist_get_bool_val(node, &value);
    return value != 0;
}

uint64_t uintItem(plist_t dict, const char *key, uint64_t fallback)
{
    plist_t node = dict ? plist_dict_get_item(dict, key) : nullptr;
    if (!node || plist_get_node_type(node) != PLIST_UINT)
        return fallback;
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    return value;
}

// Bounds on what device.plist may list: it is edited by hand at times.
constexpr int kMaxHosts = 64;
constexpr int kMaxHostIdLength = 128;

const char *dialogName(VDevice::Dialog dialog)
{
    switch (dialog) {
    case VDevice::Dialog::Accepted: return "accepted";
    case VDevice::Dialog::Denied: return "denied";
    case VDevice::Dialog::Pending: break;
    }
    return "pending";
}

bool isDomainKey(const char *key)
{
    for (const char *p = key; *p; ++p) {
        if (*p == '.')
            return true;
    }
    return false;
}

} // namespace

std::shared_ptr<VDevice> VDevice::load(const QString &deviceDir, QString *error)
{
    const QFileInfo info(deviceDir);
    PlistPtr values = readPlistFile(deviceDir + QStringLiteral("/values.plist"));
    if (!values || plist_get_node_type(values.get()) != PLIST_DICT) {
        *error = QStringLiteral("%1: values.plist is missing or not a dictionary").arg(deviceDir);
        return nullptr;
    }
    std::shared_ptr<VDevice> device(new VDevice);
    device->m_rootDir = info.absoluteFilePath();
    device->m_udid = info.fileName();
    device->m_values = std::move(values);
    if (!QDir().mkpath(device->mediaDir()) || !QDir().mkpath(device->appsDir())) {
        *error = QStringLiteral("%1: cannot create media/ or apps/").arg(deviceDir);
        return nullptr;
    }
    PlistPtr flags = readPlistFile(deviceDir + QStringLiteral("/device.plist"));
    if (flags && plist_get_node_type(flags.get()) == PLIST_DICT) {
        device->m_attached = boolItem(flags.get(), "Attached", true);
        device->m_locked = boolItem(flags.get(), "Locked", false);
        device->m_markedTrusted = boolItem(flags.get(), "Trusted", true);
        device->m_usbProductId = uint32_t(uintItem(flags.get(), "USBProductID", 0x12a8));
        plist_t hosts = plist_dict_get_item(flags.get(), "TrustedHostIDs");
        device->m_hostsRecorded = hosts && plist_get_node_type(hosts) == PLIST_ARRAY;
        for (const QString &host : VAppPlist::stringList(flags.get(), "TrustedHostIDs")) {
            if (int(device->m_hosts.size()) < kMaxHosts && !host.isEmpty() && host.size() <= kMaxHostIdLength)
                device->m_hosts.insert(host.toStdString());
        }
        const QString dialog = VAppPlist::string(flags.get(), "PairingDialog");
        device->m_dialog = dialog == QLatin1String("accepted") ? Dialog::Accepted
                         : dialog == QLatin1String("denied") ? Dialog::Denied : Dialog::Pending;
    }
    return device;
}

QString VDevice::productVersion() const
{
    return QString::fromStdString(stringValue("ProductVersion"));
}

bool VDevice::versionAtLeast(int major, int minor) const
{
    const QStringList parts = productVersion().split(QLatin1Char('.'));
    const int have = parts.value(0).toInt();
    const int haveMinor = parts.value(1).toInt();
    return have > major || (have == major && haveMinor >= minor);
}

QString VDevice::productType() const
{
    return QString::fromStdString(stringValue("ProductType"));
}

QString VDevice::deviceClass() const
{
    return QString::fromStdString(stringValue("DeviceClass"));
}

PlistPtr VDevice::value(const std::string &key, const std::string &domain) const
{
    plist_t dict = m_values.get();
    if (!domain.empty())
        dict = plist_dict_get_item(dict, domain.c_str());
    if (!dict || plist_get_node_type(dict) != PLIST_DICT)
        return makePlistPtr();
    // A key with a dot names a domain, never a root value.
    if (domain.empty() && isDomainKey(key.c_str()))
        return makePlistPtr();
    plist_t node = plist_dict_get_item(dict, key.c_str());
    if (!node)
        return makePlistPtr();
    if (!domain.empty() || key != "PasswordProtected")
        return makePlistPtr(plist_copy(node));
    return makePlistPtr(plist_new_bool(isLocked()));
}

PlistPtr VDevice::values(const std::string &domain) const
{
    PlistPtr out = makePlistPtr(plist_new_dict());
    plist_t source = domain.empty() ? m_values.get() : plist_dict_get_item(m_values.get(), domain.c_str());
    if (!source || plist_get_node_type(source) != PLIST_DICT)
        return out;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(source, &it);
    for (;;) {
        char *key = nullptr;
        plist_t node = nullptr;
        plist_dict_next_item(source, it, &key, &node);
        if (!key)
            break;
        if (domain.empty() && isDomainKey(key)) {
            std::free(key);
            continue;
        }
        plist_dict_set_item(out.get(), key, plist_copy(node));
        std::free(key);
    }
    std::free(it);
    if (domain.empty() && plist_dict_get_item(out.get(), "PasswordProtected"))
        plist_dict_set_item(out.get(), "PasswordProtected", plist_new_bool(isLocked()));
    if (domain == "com.apple.disk_usage") {
        const uint64_t fault = uint64_t(freeSpaceFault());
        if (freeSpaceFault() >= 0) {
            for (const char *key : {"TotalDataAvailable", "AmountDataAvailable"})
                plist_dict_set_item(out.get(), key, plist_new_uint(fault));
        }
    }
    return out;
}

std::string VDevice::stringValue(const std::string &key, const std::string &domain) const
{
    PlistPtr node = value(key, domain);
    if (!node || plist_get_node_type(node.get()) != PLIST_STRING)
        return std::string();
    char *text = nullptr;
    plist_get_string_val(node.get(), &text);
    std::string out = text ? text : "";
    std::free(text);
    return out;
}

bool VDevice::hasDomain(const std::string &domain) const
{
    plist_t node = plist_dict_get_item(m_values.get(), domain.c_str());
    return isDomainKey(domain.c_str()) && node && plist_get_node_type(node) == PLIST_DICT;
}

uint64_t VDevice::totalBytes() const
{
    plist_t usage = plist_dict_get_item(m_values.get(), "com.apple.disk_usage");
    return uintItem(usage, "TotalDataCapacity", uintItem(usage, "TotalDiskCapacity", 16ull << 30));
}

uint64_t VDevice::freeBytes() const
{
    const int64_t fault = freeSpaceFault();
    if (fault >= 0)
        return uint64_t(fault);
    plist_t usage = plist_dict_get_item(m_values.get(), "com.apple.disk_usage");
    return uintItem(usage, "TotalDataAvailable", uintItem(usage, "AmountDataAvailable", 8ull << 30));
}

bool VDevice::isAttached() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_attached;
}

bool VDevice::isLocked() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_locked;
}


void VDevice::setAttached(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_attached = on;
    saveFlags();
}

void VDevice::setLocked(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_locked = on;
    saveFlags();
}

bool VDevice::isTrusted() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_hosts.empty();
}

bool VDevice::trustsHost(const std::string &hostId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !hostId.empty() && m_hosts.count(hostId) > 0;
}

VDevice::Dialog VDevice::dialog() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dialog;
}

std::string VDevice::pair(const std::string &hostId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_locked)
        return "PasswordProtected";
    if (m_hosts.count(hostId))
        return std::string();
    switch (m_dialog) {
    case Dialog::Pending:
        return "PairingDialogResponsePending";
    case Dialog::Denied:
        m_dialog = Dialog::Pending;
        saveFlags();
        return "UserDeniedPairing";
    case Dialog::Accepted:
        break;
    }
    if (int(m_hosts.size()) >= kMaxHosts || hostId.size() > size_t(kMaxHostIdLength))
        return "InvalidHostID";
    m_hosts.insert(hostId);
    m_dialog = Dialog::Pending;
    saveFlags();
    return std::string();
}

void VDevice::answerDialog(bool trust)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dialog = trust ? Dialog::Accepted : Dialog::Denied;
    saveFlags();
}

void VDevice::forgetHosts()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hosts.clear();
    m_dialog = Dialog::Pending;
    saveFlags();
}

void VDevice::forgetHost(const std::string &hostId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_hosts.erase(hostId))
        saveFlags();
}

bool VDevice::adoptHost(const std::string &hostId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_hostsRecorded)
        return false;
    m_hostsRecorded = true;
    if (m_markedTrusted)
        m_hosts.insert(hostId);
    saveFlags();
    return m_markedTrusted;
}

QByteArray VDevice::escrowBag() const
{
    return QCryptographicHash::hash(QStringLiteral("escrow bag of %1").arg(m_udid).toUtf8(),
                                    QCryptographicHash::Sha256);
}

int VDevice::idleTimeoutMs() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_idleTimeoutMs;
}

void VDevice::setIdleTimeoutMs(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_idleTimeoutMs = ms > 0 ? ms : 0;
}

void VDevice::chargeLink(size_t bytes)
{
    const uint64_t rate = m_linkRate;
    if (rate == 0 || bytes == 0)
        return;
    const auto cost = std::chrono::nanoseconds(int64_t(double(bytes) * 1e9 / double(rate)));
    std::chrono::steady_clock::time_point done;
    {
        std::lock_guard<std::mutex> lock(m_linkMutex);
        m_linkFree = std::max(m_linkFree, std::chrono::steady_clock::now()) + cost;
        done = m_linkFree;
    }
    std::this_thread::sleep_until(done);
}

void VDevice::saveFlags() const
{
    PlistPtr dict = makePlistPtr(plist_new_dict());
    plist_dict_set_item(dict.get(), "USBProductID", plist_new_uint(m_usbProductId));
    plist_dict_set_item(dict.get(), "Attached", plist_new_bool(m_attached));
    plist_dict_set_item(dict.get(), "Locked", plist_new_bool(m_locked));
    plist_dict_set_item(dict.get(), "Trusted", plist_new_bool(!m_hosts.empty()));
    if (m_hostsRecorded) {
        plist_t hosts = plist_new_array();
        for (const std::string &host : m_hosts)
            plist_array_append_item(hosts, plist_new_string(host.c_str()));
        plist_dict_set_item(dict.get(), "TrustedHostIDs", hosts);
    }
    plist_dict_set_item(dict.get(), "PairingDialog", plist_new_string(dialogName(m_dialog)));
    std::string xml;
    if (!PlistFrame::toXml(dict.get(), &xml))
        return;
    QSaveFile file(m_rootDir + QStringLiteral("/device.plist"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(xml.data(), qint64(xml.size()));
        file.commit();
    }
}

bool VDevice::addFault(const std::string &service, const std::string &kind, const std::string &arg,
                       std::string *error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    VFaults faults = m_faults[service];
    if (!faults.apply(kind, arg, error))
        return false;
    m_faults[service] = faults;
    return true;
}

void VDevice::clearFaults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}

VFaults VDevice::faultsFor(const std::string &service) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    VFaults out;
    const auto all = m_faults.find("*");
    if (all != m_faults.end())
        out.merge(all->second);
    const auto own = m_faults.find(service);
    if (own != m_faults.end())
        out.merge(own->second);
    return out;
}

int64_t VDevice::freeSpaceFault() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int64_t out = -1;
    for (const auto &entry : m_faults) {
        if (entry.second.freeSpace >= 0)
            out = entry.second.freeSpace;
    }
    return out;
}

uint16_t VDevice::openServicePort(const std::string &service, bool tls)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Ports cycle through the dynamic range; a reused number takes the new service.
    const uint16_t port = m_nextPort;
    m_nextPort = m_nextPort >= 65000 ? 49152 : uint16_t(m_nextPort + 1);
    m_ports[port] = Port{service, tls};
    return port;
}

std::string VDevice::serviceForPort(uint16_t port, bool *tls) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_ports.find(port);
    if (tls)
        *tls = it != m_ports.end() && it->second.tls;
    return it == m_ports.end() ? std::string() : it->second.service;
}
