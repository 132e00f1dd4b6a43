#include "PlistFrame.h"

#include <cstdlib>
#include <cstring>

void PlistFrame::encodeHeader(uint32_t bodyLength, char header[kHeaderSize])
{
    header[0] = char((bodyLength >> 24) & 0xff);
    header[1] = char((bodyLength >> 16) & 0xff);
    header[2] = char((bodyLength >> 8) & 0xff);
    header[3] = char(bodyLength & 0xff);
}

uint32_t PlistFrame::decodeHeader(const char header[kHeaderSize])
{
    const auto *b = reinterpret_cast<const unsigned char *>(header);
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
}

namespace {

template<typename Serialise>
bool serialise(plist_t node, std::string *body, Serialise fn)
{
    if (!node || !body)
        return false;
    char *data = nullptr;
    uint32_t length = 0;
    fn(node, &data, &length);
    if (!data)
        return false;
    body->assign(data, length);
    std::free(data);   // libplist allocates with malloc
    return true;
}

} // namespace

bool PlistFrame::toBinary(plist_t node, std::string *body)
{
    return serialise(node, body, plist_to_bin);
}

bool PlistFrame::toXml(plist_t node, std::string *body)
{
    return serialise(node, body, plist_to_xml);
}

bool PlistFrame::frame(plist_t node, bool xml, std::string *packet)
{
    std::string body;
    if (!(xml ? toXml(node, &body) : toBinary(node, &body)) || !acceptableLength(uint32_t(body.size())))
        return false;
    char header[kHeaderSize];
    encodeHeader(uint32_t(body.size()), header);
    packet->assign(header, kHeaderSize);
    packet->append(body);
    return true;
}

plist_t PlistFrame::parse(char *body, size_t length)
{
    if (!body || length == 0 || length > kMaxBodySize)
        return nullptr;
    plist_t node = nullptr;
    if (length >= 8 && std::memcmp(body, "bplist00", 8) == 0) {
        plist_from_bin(body, uint32_t(length), &node);
        return node;
    }
    for (size_t i = 0; i + 1 < length; ++i) {
        if (body[i] == '\0')
            body[i] = ' ';
    }
    plist_from_xml(body, uint32_t(length), &node);
    return node;
}
