#include "ZipTagAppend.h"

#include "DiagLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <vector>

namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kEnd64Signature = 0x06064b50;
constexpr uint32_t kLocatorSignature = 0x07064b50;
constexpr size_t kEndSize = 22;
constexpr size_t kLocatorSize = 20;
constexpr size_t kEnd64Size = 56;
constexpr size_t kCentralSize = 46;
constexpr uint16_t kUtf8Name = 0x0800;
constexpr uint16_t kMadeByUnix = 3 << 8;

uint16_t get16(const unsigned char *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t get32(const unsigned char *p)
{
    return uint32_t(get16(p)) | (uint32_t(get16(p + 2)) << 16);
}

uint64_t get64(const unsigned char *p)
{
    return uint64_t(get32(p)) | (uint64_t(get32(p + 4)) << 32);
}

void put16(std::string &out, uint16_t v)
{
    out.push_back(char(v & 0xff));
    out.push_back(char(v >> 8));
}

void put32(std::string &out, uint32_t v)
{
    put16(out, uint16_t(v & 0xffff));
    put16(out, uint16_t(v >> 16));
}

void put64(std::string &out, uint64_t v)
{
    put32(out, uint32_t(v & 0xffffffffu));
    put32(out, uint32_t(v >> 32));
}

uint32_t crc32Of(const std::string &data)
{
    uint32_t crc = 0xffffffffu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

bool readAt(int fd, uint64_t offset, void *buffer, size_t length)
{
    auto *p = static_cast<unsigned char *>(buffer);
    while (length > 0) {
        const ssize_t n = ::pread(fd, p, length, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        offset += uint64_t(n);
        length -= size_t(n);
    }
    return true;
}

bool writeAt(int fd, uint64_t offset, const std::string &data)
{
    const char *p = data.data();
    size_t length = data.size();
    while (length > 0) {
        const ssize_t n = ::pwrite(fd, p, length, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        offset += uint64_t(n);
        length -= size_t(n);
    }
    return true;
}

struct Directory
{
    uint64_t entries = 0;
    uint64_t size = 0;
    uint64_t offset = 0;
    uint64_t end = 0;   // where the end records begin
    bool zip64 = false;
    std::string comment;
};

// The end records of the archive; false when there are none that make sense.
bool readDirectory(int fd, uint64_t fileSize, Directory *dir)
{
    if (fileSize < kEndSize)
        return false;
    const size_t tailSize = size_t(std::min<uint64_t>(fileSize, kEndSize + 0xffff));
    std::vector<unsigned char> tail(tailSize);
    const uint64_t tailStart = fileSize - tailSize;
    if (!readAt(fd, tailStart, tail.data(), tailSize))
        return false;
    // The last end record whose comment reaches exactly to the end.
    size_t at = tailSize - kEndSize + 1;
    bool found = false;
    while (at-- > 0) {
        if (get32(&tail[at]) == kEndSignature && at + kEndSize + get16(&tail[at + 20]) == tailSize) {
            found = true;
            break;
        }
    }
    if (!found)
        return false;
    const unsigned char *end = &tail[at];
    if (get16(end + 4) != 0 || get16(end + 6) != 0 || get16(end + 8) != get16(end + 10))
        return false;   // several disks
    dir->entries = get16(end + 10);
    dir->size = get32(end + 12);
    dir->offset = get32(end + 16);
    dir->comment.assign(reinterpret_cast<const char *>(end + kEndSize), get16(end + 20));
    dir->end = tailStart + at;

    unsigned char locator[kLocatorSize];
    if (dir->end >= kLocatorSize && readAt(fd, dir->end - kLocatorSize, locator, kLocatorSize)
        && get32(locator) == kLocatorSignature) {
        if (get32(locator + 4) != 0 || get32(locator + 16) > 1)
            return false;
        const uint64_t end64At = get64(locator + 8);
        unsigned char end64[kEnd64Size];
        if (end64At + kEnd64Size > dir->end - kLocatorSize || !readAt(fd, end64At, end64, kEnd64Size)
            || get32(end64) != kEnd64Signature || get32(end64 + 16) != 0 || get32(end64 + 20) != 0
            || get64(end64 + 24) != get64(end64 + 32))
            return false;
        dir->entries = get64(end64 + 32);
        dir->size = get64(end64 + 40);
        dir->offset = get64(end64 + 48);
        dir->end = end64At;
        dir->zip64 = true;
    } else if (dir->entries == 0xffff || dir->size == 0xffffffffu || dir->offset == 0xffffffffu) {
        return false;   // values that only zip64 records could give
    }
    return dir->offset <= dir->end && dir->size <= dir->end - dir->offset;
}

// Whether the directory holds an entry of that name; false also when the
// records do not add up to the directory (then *consistent is false).
bool hasEntry(const std::string &cd, uint64_t entries, const std::string &name, bool *consistent)
{
    const auto *p = reinterpret_cast<const unsigned char *>(cd.data());
    size_t at = 0;
    bool found = false;
    for (uint64_t i = 0; i < entries; ++i) {
        if (cd.size() - at < kCentralSize || get32(p + at) != kCentralSignature) {
            *consistent = false;
            return false;
        }
        const size_t nameLength = get16(p + at + 28);
        const size_t record = kCentralSize + nameLength + get16(p + at + 30) + get16(p + at + 32);
        if (cd.size() - at < record) {
            *consistent = false;
            return false;
        }
        if (nameLength == name.size() && cd.compare(at + kCentralSize, nameLength, name) == 0)
            found = true;
        at += record;
    }
    *consistent = at == cd.size();
    return found;
}

void dosTime(uint16_t *time, uint16_t *date)
{
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    localtime_r(&now, &local);
    *time = uint16_t((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    *date = uint16_t(((std::max(local.tm_year, 80) - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
}

} // namespace

ZipTagAppend::Result ZipTagAppend::append(const char *archivePath, const std::string &name, const std::string &content)
{
    if (!archivePath || name.empty() || name.size() > 0xffff || content.size() >= 0xffffffffu) {
        DIAG_LOG("invalid argument");
        return Failed;
    }
    const int fd = ::open(archivePath, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        DIAG_LOG("archive not opened");
        return Failed;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st = {};
    Directory dir;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !readDirectory(fd, uint64_t(st.st_size), &dir)) {
        DIAG_LOG("not a zip archive this can append to");
        return Failed;
    }
    if (dir.size > kMaxDirectoryBytes) {
        DIAG_LOG("central directory beyond bounds");
        return Failed;
    }
    std::string cd(size_t(dir.size), '\0');
    bool consistent = false;
    if (!readAt(fd, dir.offset, cd.data(), cd.size())) {
        DIAG_LOG("central directory not read");
        return Failed;
    }
    if (hasEntry(cd, dir.entries, name, &consistent))
        return AlreadyThere;
    if (!consistent) {
        DIAG_LOG("central directory does not match its end record");
        return Failed;
    }

    // The new entry takes the old directory's place.
    const uint64_t entryAt = dir.offset;
    const bool offset64 = entryAt >= 0xffffffffu;
    const uint16_t version = offset64 ? 45 : 20;
    uint16_t time = 0, date = 0;
    dosTime(&time, &date);
    const uint32_t crc = crc32Of(content);
    const uint32_t length = uint32_t(content.size());

    std::string out;
    put32(out, kLocalSignature);
    put16(out, version);
    put16(out, kUtf8Name);
    put16(out, 0);   // stored
    put16(out, time);
    put16(out, date);
    put32(out, crc);
    put32(out, length);
    put32(out, length);
    put16(out, uint16_t(name.size()));
    put16(out, 0);
    out += name;
    out += content;
    const uint64_t cdAt = entryAt + out.size();

    std::string record;
    put32(record, kCentralSignature);
    put16(record, kMadeByUnix | version);
    put16(record, version);
    put16(record, kUtf8Name);
    put16(record, 0);
    put16(record, time);
    put16(record, date);
    put32(record, crc);
    put32(record, length);
    put32(record, length);
    put16(record, uint16_t(name.size()));
    put16(record, offset64 ? 12 : 0);
    put16(record, 0);   // comment
    put16(record, 0);   // disk
    put16(record, 0);   // internal attributes
    put32(record, uint32_t(0100644) << 16);
    put32(record, offset64 ? 0xffffffffu : uint32_t(entryAt));
    record += name;
    if (offset64) {
        put16(record, 0x0001);
        put16(record, 8);
        put64(record, entryAt);
    }
    out += cd;
    out += record;

    const uint64_t entries = dir.entries + 1;
    const uint64_t cdSize = cd.size() + record.size();
    const bool zip64 = dir.zip64 || entries >= 0xffff || cdSize >= 0xffffffffu || cdAt >= 0xffffffffu;
    if (zip64) {
        const uint64_t end64At = cdAt + cdSize;
        put32(out, kEnd64Signature);
        put64(out, kEnd64Size - 12);
        put16(out, kMadeByUnix | 45);
        put16(out, 45);
        put32(out, 0);
        put32(out, 0);
        put64(out, entries);
        put64(out, entries);
        put64(out, cdSize);
        put64(out, cdAt);
        put32(out, kLocatorSignature);
        put32(out, 0);
        put64(out, end64At);
        put32(out, 1);
    }
    put32(out, kEndSignature);
    put16(out, 0);
    put16(out, 0);
    put16(out, uint16_t(std::min<uint64_t>(entries, 0xffff)));
    put16(out, uint16_t(std::min<uint64_t>(entries, 0xffff)));
    put32(out, uint32_t(std::min<uint64_t>(cdSize, 0xffffffffu)));
    put32(out, uint32_t(std::min<uint64_t>(cdAt, 0xffffffffu)));
    put16(out, uint16_t(dir.comment.size()));
    out += dir.comment;

    if (!writeAt(fd, entryAt, out) || ::ftruncate(fd, off_t(entryAt + out.size())) != 0) {
        DIAG_LOG("tag not written");
        return Failed;
    }
    return Appended;
}
