#include "VAfcServer.h"

#include "DiagLog.h"
#include "VAfcPaths.h"
#include "VConnection.h"
#include "VDevice.h"
#include "VServiceTable.h"
#include "afc/AfcCodec.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Uploads are copied to the file in pieces of this size as they arrive, so
// the client keeps sending while the server writes.
constexpr size_t kChunk = 256 << 10;
// A FILE_READ asking for more gets this much; the client reads again.
constexpr uint64_t kMaxRead = 8ull << 20;

uint64_t statusOf(int error)
{
    switch (error) {
    case 0: return Afc::Success;
    case ENOENT: case ENOTDIR: case ELOOP: return Afc::ObjectNotFound;
    case EISDIR: return Afc::ObjectIsDir;
    case EACCES: case EPERM: case EROFS: return Afc::PermDenied;
    case EEXIST: return Afc::ObjectExists;
    case ENOTEMPTY: return Afc::UnknownError;   // the client reports it as "directory not empty"
    case ENOSPC: case EDQUOT: return Afc::NoSpaceLeft;
    case EINVAL: case ENAMETOOLONG: return Afc::InvalidArg;
    case EBUSY: return Afc::ObjectBusy;
    case EWOULDBLOCK: return Afc::OpWouldBlock;
    case ENOMEM: return Afc::NoResources;
    default: return Afc::IoError;
    }
}

int removeEntry(const char *path, const struct stat *, int, struct FTW *)
{
    return ::remove(path);
}

class AfcSession
{
public:
    AfcSession(VConnection &conn, const VAfcPaths &paths) : m_conn(conn), m_paths(paths) {}
    ~AfcSession()
    {
        for (const auto &file : m_files)
            ::close(file.second);
    }

    void run()
    {
        char raw[Afc::kHeaderSize];
        while (m_conn.readExact(raw, sizeof raw)) {
            Afc::Header header;
            if (Afc::decodeHeader(raw, &header) != Afc::HeaderCheck::Ok
                || header.headerDataLength() > Afc::kMaxHeaderData) {
                DIAG_LOG("malformed AFC packet header: connection closed");
                return;
            }
            std::string data(size_t(header.headerDataLength()), '\0');
            if (!m_conn.readExact(data.data(), data.size()))
                return;
            bool ok = false;
            if (replyFaulted()) {
                ok = skipPayload(header.payloadLength()) && faultReply(header.packetNum);
            } else if (int64_t(header.operation) == m_conn.faults().failAfcOp) {
                ok = skipPayload(header.payloadLength()) && status(header.packetNum, Afc::IoError);
            } else if (header.operation == Afc::OpFileWrite) {
                ok = fileWrite(header, data);
            } else {
                // Only FILE_WRITE carries a payload in libimobiledevice; other
                // clients may put parameters there, so it joins the data.
                if (header.payloadLength() > Afc::kMaxHeaderData) {
                    DIAG_LOG("AFC payload beyond bounds: connection closed");
                    return;
                }
                const size_t base = data.size();
                data.resize(base + size_t(header.payloadLength()));
                ok = m_conn.readExact(data.data() + base, data.size() - base)
                    && dispatch(header, data);
            }
            if (!ok)
                return;
        }
    }

private:
    bool replyFaulted() const
    {
        const VFaults &f = m_conn.faults();
        return f.garbageReply || f.hugeLength || !f.errorReply.empty();
    }

    bool faultReply(uint64_t num)
    {
        const VFaults &f = m_conn.faults();
        if (f.hugeLength) {
            // A STATUS announcing 2^40 + 2^31 bytes: clients that cut the
            // length to 32 bits still see 2 GiB, and no status arrives.
            char raw[Afc::kHeaderSize];
            Afc::Header header = Afc::dataHeader(num, (1ull << 40) + (1ull << 31));
            header.operation = Afc::OpStatus;
            Afc::encodeHeader(header, raw);
            m_conn.writeAll(raw, sizeof raw);
            return false;
        }
        if (f.garbageReply) {
            const char garbage[Afc::kHeaderSize + 1] = "NOT-AFC!\xff\xff\xff\xff garbage garbage garbage!";
            m_conn.writeAll(garbage, Afc::kHeaderSize);
            return false;
        }
        char *end = nullptr;
        uint64_t code = std::strtoull(f.errorReply.c_str(), &end, 10);
        if (!end || *end != '\0' || code == 0)
            code = Afc::InternalError;
        return status(num, code);
    }

    bool skipPayload(uint64_t length)
    {
        ensureBuffer(kChunk);
        while (length > 0) {
            const size_t n = size_t(std::min<uint64_t>(length, kChunk));
            if (!m_conn.readExact(m_buffer.data(), n))
                return false;
            length -= n;
        }
        return true;
    }

    void ensureBuffer(size_t size)
    {
        if (m_buffer.size() < size)
            m_buffer.resize(size);
    }

    bool send(const std::string &packet) { return m_conn.writeAll(packet.data(), packet.size()); }
    bool status(uint64_t num, uint64_t code) { return send(Afc::valuePacket(Afc::OpStatus, num, code)); }
    bool sendData(uint64_t num, const std::string &body)
    {
        return send(Afc::packet(Afc::OpData, num, std::string(), body));
    }

    // The path argument after `skip` bytes of fixed parameters. Devices take
    // the packet's end as the end of the last path, and some clients send it
    // without its NUL.
    static bool pathArg(const std::string &data, size_t skip, std::string *path, size_t *next = nullptr)
    {
        if (skip >= data.size())
            return false;
        const size_t nul = data.find('\0', skip);
        const size_t end = nul == std::string::npos ? data.size() : nul;
        path->assign(data, skip, end - skip);
        if (next)
            *next = nul == std::string::npos ? data.size() : nul + 1;
        return true;
    }

    // The host path of an AFC path, or the status to answer.
    uint64_t resolve(const std::string &afcPath, bool followLast, std::string *host) const
    {
        return m_paths.resolve(afcPath, followLast, host);
    }

    bool dispatch(const Afc::Header &header, const std::string &data)
    {
        const uint64_t num = header.packetNum;
        std::string path;
        std::string host;
        switch (header.operation) {
        case Afc::OpReadDir:
            if (!pathArg(data, 0, &path))
                return status(num, Afc::InvalidArg);
            return readDir(num, path);
        case Afc::OpGetFileInfo:
            if (!pathArg(data, 0, &path))
                return status(num, Afc::InvalidArg);
            return fileInfo(num, path);
        case Afc::OpGetDevInfo:
            return deviceInfo(num);
        case Afc::OpMakeDir:
            if (!pathArg(data, 0, &path))
                return status(num, Afc::InvalidArg);
            return makeDirs(num, path);
        case Afc::OpRemovePath:
        case Afc::OpRemovePathAndContents: {
            if (!pathArg(data, 0, &path))
                return status(num, Afc::InvalidArg);
            if (const uint64_t s = resolve(path, false, &host))
                return status(num, s);
            if (host == m_paths.root())
                return status(num, Afc::PermDenied);
            if (header.operation == Afc::OpRemovePathAndContents) {
                struct stat st;
                if (::lstat(host.c_str(), &st) != 0)
                    return status(num, statusOf(errno));
                const int rc = S_ISDIR(st.st_mode)
                    ? ::nftw(host.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS) : ::unlink(host.c_str());
                return status(num, rc == 0 ? Afc::Success : statusOf(errno));
            }
            return status(num, ::remove(host.c_str()) == 0 ? Afc::Success : statusOf(errno));
        }
        case Afc::OpRenamePath: {
            size_t next = 0;
            std::string to;
            std::string hostTo;
            if (!pathArg(data, 0, &path, &next) || !pathArg(data, next, &to))
                return status(num, Afc::InvalidArg);
            if (const uint64_t s = resolve(path, false, &host))
                return status(num, s);
            if (const uint64_t s = resolve(to, false, &hostTo))
                return status(num, s);
            if (host == m_paths.root() || hostTo == m_paths.root())
                return status(num, Afc::PermDenied);
            return status(num, ::rename(host.c_str(), hostTo.c_str()) == 0 ? Afc::Success : statusOf(errno));
        }
        case Afc::OpTruncate: {
            if (data.size() < 8 || !pathArg(data, 8, &path))
                return status(num, Afc::InvalidArg);
            if (const uint64_t s = resolve(path, true, &host))
                return status(num, s);
            const off_t size = off_t(Afc::getU64(data.data()));
            return status(num, ::truncate(host.c_str(), size) == 0 ? Afc::Success : statusOf(errno));
        }
        case Afc::OpSetFileModTime: {
            if (data.size() < 8 || !pathArg(data, 8, &path))
                return status(num, Afc::InvalidArg);
            if (const uint64_t s = resolve(path, true, &host))
                return status(num, s);
            const uint64_t ns = Afc::getU64(data.data());
            struct timespec times[2];
            times[0].tv_sec = 0;
            times[0].tv_nsec = UTIME_OMIT;
            times[1].tv_sec = time_t(ns / 1000000000ull);
            times[1].tv_nsec = long(ns % 1000000000ull);
            return status(num, ::utimensat(AT_FDCWD, host.c_str(), times, 0) == 0 ? Afc::Success : statusOf(errno));
        }
        case Afc::OpMakeLink:
            return makeLink(num, data);
        case Afc::OpFileOpen:
            return fileOpen(num, data);
        case Afc::OpFileRead:
            return fileRead(num, data);
        case Afc::OpFileSeek:
            return fileSeek(num, data);
        case Afc::OpFileTell: {
            const int fd = handle(data);
            if (fd < 0)
                return status(num, Afc::InvalidArg);
            const off_t pos = ::lseek(fd, 0, SEEK_CUR);
            if (pos < 0)
                return status(num, statusOf(errno));
            return send(Afc::valuePacket(Afc::OpFileTellRes, num, uint64_t(pos)));
        }
        case Afc::OpFileClose: {
            const int fd = handle(data);
            if (fd < 0)
                return status(num, Afc::InvalidArg);
            m_files.erase(Afc::getU64(data.data()));
            return status(num, ::close(fd) == 0 ? Afc::Success : statusOf(errno));
        }
        case Afc::OpFileSetSize: {
            const int fd = handle(data);
            if (fd < 0 || data.size() < 16)
                return status(num, Afc::InvalidArg);
            return status(num, ::ftruncate(fd, off_t(Afc::getU64(data.data() + 8))) == 0
                                   ? Afc::Success : statusOf(errno));
        }
        case Afc::OpFileLock: {
            const int fd = handle(data);
            if (fd < 0 || data.size() < 16)
                return status(num, Afc::InvalidArg);
            const uint64_t op = Afc::getU64(data.data() + 8);
            const int how = op == Afc::LockShared ? LOCK_SH : op == Afc::LockExclusive ? LOCK_EX
                          : op == Afc::LockUnlock ? LOCK_UN : -1;
            if (how < 0)
                return status(num, Afc::InvalidArg);
            return status(num, ::flock(fd, how | LOCK_NB) == 0 ? Afc::Success : statusOf(errno));
        }
        case Afc::OpGetConInfo:
        case Afc::OpSetConOptions:
        case Afc::OpSetFsBlockSize:
        case Afc::OpSetSocketBlockSize:
            return status(num, Afc::Success);
        default:
            return status(num, Afc::OpNotSupported);
        }
    }

    int handle(const std::string &data) const
    {
        if (data.size() < 8)
            return -1;
        const auto it = m_files.find(Afc::getU64(data.data()));
        return it == m_files.end() ? -1 : it->second;
    }

    bool readDir(uint64_t num, const std::string &path)
    {
        std::string host;
        if (const uint64_t s = resolve(path, true, &host))
            return status(num, s);
        DIR *dir = ::opendir(host.c_str());
        if (!dir)
            return status(num, statusOf(errno));
        std::vector<std::string> names;
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && m_paths.listable(host, name))
                names.push_back(name);
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end());
        names.insert(names.begin(), {".", ".."});
        return sendData(num, Afc::encodeNames(names));
    }

    bool fileInfo(uint64_t num, const std::string &path)
    {
        std::string host;
        if (const uint64_t s = resolve(path, false, &host))
            return status(num, s);
        struct stat st;
        if (::lstat(host.c_str(), &st) != 0)
            return status(num, statusOf(errno));
        const char *kind = S_ISDIR(st.st_mode) ? "S_IFDIR" : S_ISLNK(st.st_mode) ? "S_IFLNK"
                         : S_ISCHR(st.st_mode) ? "S_IFCHR" : S_ISBLK(st.st_mode) ? "S_IFBLK"
                         : S_ISFIFO(st.st_mode) ? "S_IFIFO" : S_ISSOCK(st.st_mode) ? "S_IFSOCK" : "S_IFREG";
        const auto ns = [](const struct timespec &t) {
            return std::to_string(uint64_t(t.tv_sec) * 1000000000ull + uint64_t(t.tv_nsec));
        };
        Afc::KeyValues info = {
            {"st_size", std::to_string(uint64_t(st.st_size))},
            {"st_blocks", std::to_string(uint64_t(st.st_blocks))},
            {"st_nlink", std::to_string(uint64_t(st.st_nlink))},
            {"st_ifmt", kind},
            {"st_mtime", ns(st.st_mtim)},
            {"st_birthtime", ns(st.st_ctim)},
        };
        if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = ::readlink(host.c_str(), target, sizeof target - 1);
            info.emplace_back("LinkTarget", std::string(target, n > 0 ? size_t(n) : 0));
        }
        return sendData(num, Afc::encodeKeyValues(info));
    }

    bool deviceInfo(uint64_t num)
    {
        VDevice *device = m_conn.device();
        const Afc::KeyValues info = {
            {"Model", device ? device->productType().toStdString() : std::string("iPhone")},
            {"FSTotalBytes", std::to_string(device ? device->totalBytes() : 0)},
            {"FSFreeBytes", std::to_string(device ? device->freeBytes() : 0)},
            {"FSBlockSize", "4096"},
        };
        return sendData(num, Afc::encodeKeyValues(info));
    }

    // AFC's MakeDir creates missing parents and accepts an existing folder.
    bool makeDirs(uint64_t num, const std::string &path)
    {
        std::vector<std::string> parts;
        if (!VAfcPaths::normalize(path, &parts))
            return status(num, Afc::PermDenied);
        std::string partial;
        for (const std::string &part : parts) {
            partial += "/" + part;
            std::string host;
            if (const uint64_t s = resolve(partial, true, &host))
                return status(num, s);
            struct stat st;
            if (::stat(host.c_str(), &st) != 0) {
                if (::mkdir(host.c_str(), 0755) != 0 && errno != EEXIST)
                    return status(num, statusOf(errno));
            } else if (!S_ISDIR(st.st_mode)) {
                return status(num, Afc::ObjectExists);
            }
        }
        return status(num, Afc::Success);
    }

    bool makeLink(uint64_t num, const std::string &data)
    {
        std::string target;
        std::string link;
        size_t next = 0;
        if (data.size() < 8 || !pathArg(data, 8, &target, &next) || !pathArg(data, next, &link))
            return status(num, Afc::InvalidArg);
        std::string hostLink;
        if (const uint64_t s = resolve(link, false, &hostLink))
            return status(num, s);
        const uint64_t type = Afc::getU64(data.data());
        if (type == Afc::SymLink) {
            // Stored as given; where it leads is checked whenever it is used.
            return status(num, ::symlink(target.c_str(), hostLink.c_str()) == 0 ? Afc::Success : statusOf(errno));
        }
        if (type != Afc::HardLink)
            return status(num, Afc::InvalidArg);
        std::string hostTarget;
        if (const uint64_t s = resolve(target, true, &hostTarget))
            return status(num, s);
        return status(num, ::link(hostTarget.c_str(), hostLink.c_str()) == 0 ? Afc::Success : statusOf(errno));
    }

    bool fileOpen(uint64_t num, const std::string &data)
    {
        std::string path;
        if (data.size() < 8 || !pathArg(data, 8, &path))
            return status(num, Afc::InvalidArg);
        int flags = 0;
        switch (Afc::getU64(data.data())) {
        case Afc::ReadOnly: flags = O_RDONLY; break;
        case Afc::ReadWrite: flags = O_RDWR | O_CREAT; break;
        case Afc::WriteOnly: flags = O_WRONLY | O_CREAT | O_TRUNC; break;
        case Afc::WriteRead: flags = O_RDWR | O_CREAT | O_TRUNC; break;
        case Afc::Append: flags = O_WRONLY | O_APPEND | O_CREAT; break;
        case Afc::ReadAppend: flags = O_RDWR | O_APPEND | O_CREAT; break;
        default: return status(num, Afc::InvalidArg);
        }
        std::string host;
        if (const uint64_t s = resolve(path, true, &host))
            return status(num, s);
        if (host == m_paths.root())
            return status(num, Afc::ObjectIsDir);
        // The path is resolved already: a symlink put in its place since then
        // is not followed.
        const int fd = ::open(host.c_str(), flags | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0)
            return status(num, statusOf(errno));
        struct stat st;
        if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
            ::close(fd);
            return status(num, Afc::ObjectIsDir);
        }
        const uint64_t id = m_nextHandle++;
        m_files[id] = fd;
        return send(Afc::valuePacket(Afc::OpFileOpenRes, num, id));
    }

    bool fileRead(uint64_t num, const std::string &data)
    {
        const int fd = handle(data);
        if (fd < 0 || data.size() < 16)
            return status(num, Afc::InvalidArg);
        const uint64_t want = std::min<uint64_t>(Afc::getU64(data.data() + 8), kMaxRead);
        ensureBuffer(Afc::kHeaderSize + size_t(want));
        size_t got = 0;
        while (got < want) {
            const ssize_t n = ::read(fd, m_buffer.data() + Afc::kHeaderSize + got, size_t(want) - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return status(num, statusOf(errno));
            if (n == 0)
                break;
            got += size_t(n);
        }
        // Header and data in one write; an empty DATA packet means end of file.
        Afc::encodeHeader(Afc::dataHeader(num, got), m_buffer.data());
        return m_conn.writeAll(m_buffer.data(), Afc::kHeaderSize + got);
    }

    bool fileWrite(const Afc::Header &header, const std::string &data)
    {
        const uint64_t num = header.packetNum;
        uint64_t remaining = header.payloadLength();
        const int fd = handle(data);
        const VFaults &faults = m_conn.faults();
        uint64_t result = fd < 0 ? uint64_t(Afc::InvalidArg) : uint64_t(Afc::Success);
        if (result == Afc::Success && faults.freeSpace >= 0 && remaining > uint64_t(faults.freeSpace))
            result = Afc::NoSpaceLeft;
        if (result != Afc::Success)
            return skipPayload(remaining) && status(num, result);
        int error = 0;
        if (!m_conn.receiveToFile(fd, remaining, &error))
            return false;
        return status(num, error ? statusOf(error) : uint64_t(Afc::Success));
    }

    bool fileSeek(uint64_t num, const std::string &data)
    {
        const int fd = handle(data);
        if (fd < 0 || data.size() < 24)
            return status(num, Afc::InvalidArg);
        const uint64_t whence = Afc::getU64(data.data() + 8);
        const int64_t offset = int64_t(Afc::getU64(data.data() + 16));
        if (whence > 2)
            return status(num, Afc::InvalidArg);
        const int how = whence == 0 ? SEEK_SET : whence == 1 ? SEEK_CUR : SEEK_END;
        return status(num, ::lseek(fd, off_t(offset), how) >= 0 ? Afc::Success : statusOf(errno));
    }

    VConnection &m_conn;
    const VAfcPaths &m_paths;
    std::map<uint64_t, int> m_files;
    uint64_t m_nextHandle = 1;
    std::vector<char> m_buffer;
};

} // namespace

void VAfcServer::serve(VConnection &conn, const QString &rootDir, const QString &confineTo)
{
    VAfcPaths paths;
    if (!paths.setRoot(rootDir.toStdString(), confineTo.toStdString()))
        return;
    AfcSession(conn, paths).run();
}

// The media service of every device.
static const VServiceRegistration afcRegistration("com.apple.afc", [](VConnection &conn) {
    if (conn.device())
        VAfcServer::serve(conn, conn.device()->mediaDir());
});
