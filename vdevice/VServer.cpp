#include "VServer.h"

#include "DiagLog.h"
#include "VConnection.h"
#include "VDeviceFolder.h"
#include "VLockdown.h"
#include "VMuxPacket.h"
#include "VServiceTable.h"
#include "VTlsContext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// usbmuxd drops a client whose message is larger than this.
constexpr uint32_t kMaxMuxMessage = 0x10000;

bool readFull(int fd, char *buffer, size_t length)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::recv(fd, buffer + done, length - done, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

bool writeFull(int fd, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// Pair record names become file names: UDIDs only.
bool safeRecordId(const std::string &id)
{
    if (id.empty() || id.size() > 64)
        return false;
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
    });
}

} // namespace

VServer::VServer(const QString &stateDir)
    : m_stateDir(QDir(stateDir).absolutePath())
{
}

VServer::~VServer()
{
    stop();
}

bool VServer::start(const QString &socketPath, QString *error)
{
    if (m_running) {
        *error = QStringLiteral("already running");
        return false;
    }
    m_tls = std::make_unique<VTlsContext>();
    if (!QDir().mkpath(m_stateDir)) {
        *error = QStringLiteral("cannot create %1").arg(m_stateDir);
        DIAG_LOG(error->toUtf8().constData());
        return false;
    }
    if (!VPairKeys::loadOrCreate(m_stateDir, &m_keys, error) || !m_tls->init(m_keys, error))
        return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_devices.clear();
        m_attached.clear();
        for (const QString &dir : VDeviceFolder::deviceDirs(m_stateDir)) {
            QString reason;
            std::shared_ptr<VDevice> device = loadDevice(dir, &reason);
            if (!device) {
                DIAG_LOG(reason.toUtf8().constData());
                *error = reason;
                return false;
            }
            m_devices.push_back(device);
            if (device->isAttached())
                m_attached.push_back({device, m_nextNumber++});
        }
    }

    const QByteArray finalPath = QFile::encodeName(socketPath);
    const QByteArray tempPath = finalPath + ".tmp" + QByteArray::number(::getpid());
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (size_t(tempPath.size()) >= sizeof address.sun_path) {
        *error = QStringLiteral("socket path too long: %1").arg(socketPath);
        return false;
    }
    std::memcpy(address.sun_path, tempPath.constData(), size_t(tempPath.size()) + 1);
    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::unlink(tempPath.constData());
    // Bound under a temporary name and renamed once listening: whoever sees
    // the socket can connect to it.
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(m_listenFd, 128) != 0 || ::rename(tempPath.constData(), finalPath.constData()) != 0) {
        *error = QStringLiteral("cannot listen on %1: %2").arg(socketPath, QString::fromLocal8Bit(std::strerror(errno)));
        DIAG_LOG(error->toUtf8().constData());
        if (m_listenFd >= 0)
            ::close(m_listenFd);
        m_listenFd = -1;
        ::unlink(tempPath.constData());
        return false;
    }
    m_socketPath = socketPath;
    m_running = true;
    m_acceptThread = std::thread(&VServer::acceptLoop, this);
    return true;
}

void VServer::stop()
{
    if (!m_running.exchange(false))
        return;
    ::unlink(QFile::encodeName(m_socketPath).constData());
    ::shutdown(m_listenFd, SHUT_RDWR);
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    ::close(m_listenFd);
    m_listenFd = -1;
    std::list<Worker> workers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (Worker &worker : m_workers) {
            if (worker.fd >= 0)
                ::shutdown(worker.fd, SHUT_RDWR);
        }
        workers.splice(workers.end(), m_workers);
    }
    for (Worker &worker : workers) {
        if (worker.thread.joinable())
            worker.thread.join();
    }
}

void VServer::acceptLoop()
{
    while (m_running) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (m_running)
                DIAG_LOG("accept failed");
            return;
        }
        reapWorkers();
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_running) {
            ::close(fd);
            return;
        }
        m_workers.emplace_back();
        Worker *worker = &m_workers.back();
        worker->fd = fd;
        try {
            worker->thread = std::thread(&VServer::serveClient, this, worker);
        } catch (const std::system_error &) {
            // Out of threads: this client is turned away, the server goes on.
            DIAG_LOG("cannot start a connection thread");
            m_workers.pop_back();
            ::close(fd);
        }
    }
}

void VServer::reapWorkers()
{
    std::list<Worker> finished;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            auto next = std::next(it);
            if (it->done)
                finished.splice(finished.end(), m_workers, it);
            it = next;
        }
    }
    for (Worker &worker : finished)
        worker.thread.join();
}

void VServer::serveClient(Worker *worker)
{
    const int fd = worker->fd;
    bool handedOver = false;
    for (;;) {
        char raw[VMuxPacket::kHeaderSize];
        if (!readFull(fd, raw, sizeof raw))
            break;
        const VMuxPacket::Header header = VMuxPacket::decodeHeader(raw);
        if (header.length < VMuxPacket::kHeaderSize || header.length > kMaxMuxMessage
            || header.version != 1 || header.message != VMuxPacket::kMessagePlist) {
            DIAG_LOG("malformed usbmuxd header: connection closed");
            break;
        }
        std::string body(header.length - VMuxPacket::kHeaderSize, '\0');
        if (!readFull(fd, body.data(), body.size()))
            break;
        if (!handleMuxRequest(worker, header.tag, body, &handedOver))
            break;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!handedOver && worker->fd >= 0)
        ::close(worker->fd);
    worker->fd = -1;
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), fd), m_listeners.end());
    worker->done = true;
}

bool VServer::handleMuxRequest(Worker *worker, uint32_t tag, std::string &body, bool *handedOver)
{
    PlistPtr request = makePlistPtr(PlistFrame::parse(body.data(), body.size()));
    if (!request || plist_get_node_type(request.get()) != PLIST_DICT) {
        DIAG_LOG("usbmuxd request is not a dictionary: connection closed");
        return false;
    }
    const std::string type = VMuxPacket::stringItem(request.get(), "MessageType");
    const int fd = worker->fd;
    if (type == "Connect")
        return connectRequest(worker, tag, request.get(), handedOver);
    if (type == "Listen") {
        // The Result, then one Attached per present device, then events:
        // all under the lock so no event slips in between.
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string out = VMuxPacket::result(tag, 0);
        for (const Attached &entry : m_attached) {
            PlistPtr event = VMuxPacket::attachedDict(*entry.device, entry.number);
            out += VMuxPacket::packet(0, event.get());
        }
        if (!writeFull(fd, out))
            return false;
        m_listeners.push_back(fd);
        return true;
    }
    PlistPtr reply = makePlistPtr(plist_new_dict());
    if (type == "ListDevices") {
        plist_t list = plist_new_array();
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const Attached &entry : m_attached)
            plist_array_append_item(list, VMuxPacket::attachedDict(*entry.device, entry.number).release());
        plist_dict_set_item(reply.get(), "DeviceList", list);
    } else if (type == "ReadBUID") {
        plist_dict_set_item(reply.get(), "BUID", plist_new_string(m_keys.buid.c_str()));
    } else if (type == "ReadPairRecord" || type == "SavePairRecord" || type == "DeletePairRecord") {
        return writeFull(fd, pairRecordReply(tag, type, request.get()));
    } else if (type == "ListListeners") {
        plist_dict_set_item(reply.get(), "ListenerList", plist_new_array());
    } else if (type == VMuxPacket::kControlMessage) {
        return writeFull(fd, controlReply(tag, request.get()));
    } else {
        return writeFull(fd, VMuxPacket::result(tag, VMuxPacket::kResultBadCommand));
    }
    return writeFull(fd, VMuxPacket::packet(tag, reply.get()));
}

bool VServer::connectRequest(Worker *worker, uint32_t tag, plist_t request, bool *handedOver)
{
    const uint64_t number = VMuxPacket::uintItem(request, "DeviceID");
    // libusbmuxd sends the port in network byte order inside the integer.
    const uint64_t swapped = VMuxPacket::uintItem(request, "PortNumber");
    const uint16_t port = uint16_t(((swapped & 0xff) << 8) | ((swapped >> 8) & 0xff));
    std::shared_ptr<VDevice> device;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const Attached &entry : m_attached) {
            if (entry.number == number)
                device = entry.device;
        }
    }
    const int fd = worker->fd;
    if (!device) {
        writeFull(fd, VMuxPacket::result(tag, VMuxPacket::kResultBadDevice));
        return false;
    }
    std::string service = VLockdown::kServiceName;
    VServiceTable::Handler handler;
    bool serviceTls = false;
    if (port != VLockdown::kPort) {
        service = device->serviceForPort(port, &serviceTls);
        handler = service.empty() ? VServiceTable::Handler() : VServiceTable::find(service);
        if (!handler) {
            writeFull(fd, VMuxPacket::result(tag, VMuxPacket::kResultConnectionRefused));
            return false;
        }
    }
    if (!writeFull(fd, VMuxPacket::result(tag, 0)))
        return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        worker->device = device.get();
        worker->service = service;
    }
    // From here the socket is the device's: the connection owns the descriptor.
    *handedOver = true;
    VConnection conn(fd, device.get(), service, m_tls.get());
    if (!handler)
        VLockdown(conn, m_keys, !m_plainLockdown).serve();
    else if (!serviceTls || conn.startTls())   // as StartService announced it
        handler(conn);
    std::lock_guard<std::mutex> lock(m_mutex);
    worker->fd = -1;   // closed by conn right after this
    return false;
}

std::string VServer::pairRecordReply(uint32_t tag, const std::string &type, plist_t request)
{
    const std::string id = VMuxPacket::stringItem(request, "PairRecordID");
    if (!safeRecordId(id))
        return VMuxPacket::result(tag, VMuxPacket::kErrnoInvalid);
    const QString path = QString::fromStdString(pairRecordPath(id));
    if (type == "DeletePairRecord")
        return VMuxPacket::result(tag, QFile::remove(path) ? 0 : VMuxPacket::kErrnoNoEntry);
    if (type == "SavePairRecord") {
        plist_t data = plist_dict_get_item(request, "PairRecordData");
        if (!data || plist_get_node_type(data) != PLIST_DATA)
            return VMuxPacket::result(tag, VMuxPacket::kErrnoInvalid);
        char *bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(data, &bytes, &length);
        const bool saved = storePairRecord(id, bytes, size_t(length));
        std::free(bytes);
        if (!saved)
            return VMuxPacket::result(tag, VMuxPacket::kErrnoInvalid);
        if (const uint64_t number = VMuxPacket::uintItem(request, "DeviceID"))
            broadcast(VMuxPacket::deviceEvent("Paired", uint32_t(number)));
        return VMuxPacket::result(tag, 0);
    }
    QByteArray record;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxMuxMessage / 2)
        record = file.readAll();
    if (record.isEmpty())
        return VMuxPacket::result(tag, VMuxPacket::kErrnoNoEntry);
    PlistPtr reply = makePlistPtr(plist_new_dict());
    plist_dict_set_item(reply.get(), "PairRecordData", plist_new_data(record.constData(), uint64_t(record.size())));
    return VMuxPacket::packet(tag, reply.get());
}

bool VServer::storePairRecord(const std::string &udid, const char *bytes, size_t length) const
{
    const QString path = QString::fromStdString(pairRecordPath(udid));
    QSaveFile file(path);
    const bool saved = QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly)
        && file.write(bytes, qint64(length)) == qint64(length) && file.commit();
    if (!saved)
        DIAG_LOG("cannot store a pair record");
    return saved;
}

std::shared_ptr<VDevice> VServer::loadDevice(const QString &dir, QString *error)
{
    std::shared_ptr<VDevice> device = VDevice::load(dir, error);
    if (!device)
        return nullptr;
    device->setIdleTimeoutMs(m_idleTimeoutMs);
    device->setLinkRate(m_linkRate);
    if (device->adoptHost(m_keys.hostId)) {
        const QByteArray record = m_keys.hostPairRecord(device->escrowBag(), device->stringValue("WiFiAddress"));
        if (!storePairRecord(device->udid().toStdString(), record.constData(), size_t(record.size()))) {
            *error = QStringLiteral("%1: cannot store its pair record").arg(dir);
            return nullptr;
        }
    }
    return device;
}

void VServer::setIdleTimeout(int ms)
{
    m_idleTimeoutMs = ms > 0 ? ms : 0;
    for (const auto &device : devices())
        device->setIdleTimeoutMs(ms);
}

void VServer::setLinkRate(uint64_t bytesPerSecond)
{
    m_linkRate = bytesPerSecond;
    for (const auto &device : devices())
        device->setLinkRate(bytesPerSecond);
}

std::string VServer::controlReply(uint32_t tag, plist_t request)
{
    std::vector<std::string> args;
    plist_t list = plist_dict_get_item(request, "Arguments");
    const uint32_t count = list && plist_get_node_type(list) == PLIST_ARRAY ? plist_array_get_size(list) : 0;
    for (uint32_t i = 0; i < count && i < 16; ++i) {
        plist_t item = plist_array_get_item(list, i);
        char *text = nullptr;
        if (plist_get_node_type(item) == PLIST_STRING)
            plist_get_string_val(item, &text);
        args.emplace_back(text ? text : "");
        std::free(text);
    }
    std::string output;
    const bool ok = control(args, &output);
    PlistPtr reply = makePlistPtr(plist_new_dict());
    plist_dict_set_item(reply.get(), "Status", plist_new_string(ok ? "OK" : "Error"));
    plist_dict_set_item(reply.get(), "Output", plist_new_string(output.c_str()));
    return VMuxPacket::packet(tag, reply.get());
}

void VServer::broadcast(const std::string &packet)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int fd : m_listeners)
        writeFull(fd, packet);
}

void VServer::closeDeviceConnections(VDevice *device, const std::string &service)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Worker &worker : m_workers) {
        if (worker.device == device && worker.fd >= 0 && (service.empty() || worker.service == service))
            ::shutdown(worker.fd, SHUT_RDWR);
    }
}

std::string VServer::pairRecordPath(const std::string &udid) const
{
    return (m_stateDir + QStringLiteral("/pairrecords/") + QString::fromStdString(udid)
            + QStringLiteral(".plist")).toStdString();
}

std::shared_ptr<VDevice> VServer::device(const QString &udid) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto &device : m_devices) {
        if (device->udid() == udid)
            return device;
    }
    return nullptr;
}

std::vector<std::shared_ptr<VDevice>> VServer::devices() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_devices;
}

uint32_t VServer::deviceNumber(const QString &udid) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Attached &entry : m_attached) {
        if (entry.device->udid() == udid)
            return entry.number;
    }
    return 0;
}

bool VServer::attach(const QString &udid, QString *error)
{
    std::shared_ptr<VDevice> found = device(udid);
    if (!found) {
        if (!VDeviceFolder::validUdid(udid)) {
            *error = QStringLiteral("invalid UDID: %1").arg(udid);
            return false;
        }
        found = loadDevice(m_stateDir + QLatin1Char('/') + udid, error);
        if (!found)
            return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_devices.push_back(found);
    }
    std::string packet;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const Attached &entry : m_attached) {
            if (entry.device == found) {
                *error = QStringLiteral("%1 is already attached").arg(udid);
                return false;
            }
        }
        m_attached.push_back({found, m_nextNumber++});
        PlistPtr event = VMuxPacket::attachedDict(*found, m_attached.back().number);
        packet = VMuxPacket::packet(0, event.get());
    }
    found->setAttached(true);
    broadcast(packet);
    return true;
}

bool VServer::detach(const QString &udid, QString *error)
{
    std::shared_ptr<VDevice> found;
    uint32_t number = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_attached.begin(); it != m_attached.end(); ++it) {
            if (it->device->udid() == udid) {
                found = it->device;
                number = it->number;
                m_attached.erase(it);
                break;
            }
        }
    }
    if (!found) {
        *error = QStringLiteral("%1 is not attached").arg(udid);
        return false;
    }
    found->setAttached(false);
    broadcast(VMuxPacket::deviceEvent("Detached", number));
    // Unplugging breaks every open connection to the device.
    closeDeviceConnections(found.get());
    return true;
}
