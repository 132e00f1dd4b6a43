#include "AfcCodec.h"

#include <cstring>

namespace Afc {

void putU64(char *out, uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out[i] = char((value >> (8 * i)) & 0xff);
}

uint64_t getU64(const char *in)
{
    const auto *b = reinterpret_cast<const unsigned char *>(in);
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | b[i];
    return value;
}

void appendU64(std::string *out, uint64_t value)
{
    char bytes[8];
    putU64(bytes, value);
    out->append(bytes, 8);
}

void encodeHeader(const Header &header, char out[kHeaderSize])
{
    std::memcpy(out, kMagic, kMagicSize);
    putU64(out + 8, header.entireLength);
    putU64(out + 16, header.thisLength);
    putU64(out + 24, header.packetNum);
    putU64(out + 32, header.operation);
}

HeaderCheck decodeHeader(const char in[kHeaderSize], Header *header)
{
    if (std::memcmp(in, kMagic, kMagicSize) != 0)
        return HeaderCheck::BadMagic;
    header->entireLength = getU64(in + 8);
    header->thisLength = getU64(in + 16);
    header->packetNum = getU64(in + 24);
    header->operation = getU64(in + 32);
    if (header->thisLength < kHeaderSize || header->entireLength < header->thisLength)
        return HeaderCheck::BadLength;
    return HeaderCheck::Ok;
}

bool acceptableLengths(const Header &header, uint64_t maxPayload)
{
    return header.thisLength >= kHeaderSize && header.entireLength >= header.thisLength
        && header.headerDataLength() <= kMaxHeaderData && header.payloadLength() <= maxPayload;
}

std::string packet(uint64_t operation, uint64_t packetNum, const std::string &headerData,
                   const std::string &payload)
{
    Header header;
    header.thisLength = kHeaderSize + headerData.size();
    header.entireLength = header.thisLength + payload.size();
    header.packetNum = packetNum;
    header.operation = operation;
    std::string out(kHeaderSize, '\0');
    encodeHeader(header, out.data());
    out.append(headerData);
    out.append(payload);
    return out;
}

Header dataHeader(uint64_t packetNum, uint64_t payloadLength)
{
    Header header;
    header.thisLength = kHeaderSize;
    header.entireLength = kHeaderSize + payloadLength;
    header.packetNum = packetNum;
    header.operation = OpData;
    return header;
}

std::string valuePacket(uint64_t operation, uint64_t packetNum, uint64_t value)
{
    std::string data;
    appendU64(&data, value);
    return packet(operation, packetNum, data);
}

std::string pathData(const std::string &path)
{
    std::string out = path;
    out.push_back('\0');
    return out;
}

std::string numberPathData(uint64_t number, const std::string &path)
{
    std::string out;
    appendU64(&out, number);
    out.append(pathData(path));
    return out;
}

std::string twoPathData(const std::string &from, const std::string &to)
{
    return pathData(from) + pathData(to);
}

bool readCString(const char *data, size_t length, size_t *offset, std::string *out)
{
    if (*offset >= length)
        return false;
    const void *nul = std::memchr(data + *offset, '\0', length - *offset);
    if (!nul)
        return false;
    const size_t end = size_t(static_cast<const char *>(nul) - data);
    out->assign(data + *offset, end - *offset);
    *offset = end + 1;
    return true;
}

std::string encodeNames(const std::vector<std::string> &names)
{
    std::string out;
    for (const std::string &name : names)
        out.append(pathData(name));
    return out;
}

bool decodeNames(const char *data, size_t length, std::vector<std::string> *names)
{
    names->clear();
    size_t offset = 0;
    std::string name;
    while (offset < length) {
        if (!readCString(data, length, &offset, &name))
            return false;
        names->push_back(name);
    }
    return true;
}

std::string encodeKeyValues(const KeyValues &pairs)
{
    std::string out;
    for (const auto &pair : pairs) {
        out.append(pathData(pair.first));
        out.append(pathData(pair.second));
    }
    return out;
}

bool decodeKeyValues(const char *data, size_t length, KeyValues *pairs)
{
    pairs->clear();
    size_t offset = 0;
    std::string key;
    std::string value;
    while (offset < length) {
        if (!readCString(data, length, &offset, &key) || !readCString(data, length, &offset, &value))
            return false;
        pairs->emplace_back(key, value);
    }
    return true;
}

const char *statusName(uint64_t status)
{
    static const char *const names[] = {
        "success", "unknown error", "operation header invalid", "no resources", "read error",
        "write error", "unknown packet type", "invalid argument", "object not found",
        "object is a directory", "permission denied", "service not connected",
        "operation timeout", "too much data", "end of data", "operation not supported",
        "object exists", "object busy", "no space left", "operation would block", "I/O error",
        "operation interrupted", "operation in progress", "internal error",
    };
    if (status < sizeof names / sizeof names[0])
        return names[status];
    switch (status) {
    case MuxError: return "mux error";
    case NoMem: return "out of memory";
    case NotEnoughData: return "not enough data";
    case DirNotEmpty: return "directory not empty";
    default: return "unknown status";
    }
}

} // namespace Afc
