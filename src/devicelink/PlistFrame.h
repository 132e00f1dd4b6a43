#pragma once

// The wire form of property-list messages on lockdown and on every
// plist-speaking service: a 32-bit big-endian length, then the property list
// (binary when it starts with "bplist00", otherwise XML). Shared by the
// message channel and the virtual device so both sides frame alike.

#include <plist/plist.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

using PlistPtr = std::unique_ptr<std::remove_pointer_t<plist_t>, decltype(&plist_free)>;
inline PlistPtr makePlistPtr(plist_t node = nullptr) { return PlistPtr(node, &plist_free); }

class PlistFrame
{
public:
    static constexpr size_t kHeaderSize = 4;
    // No message of any service comes near this; a larger header is garbage.
    static constexpr uint32_t kMaxBodySize = 64u * 1024 * 1024;

    static void encodeHeader(uint32_t bodyLength, char header[kHeaderSize]);
    static uint32_t decodeHeader(const char header[kHeaderSize]);
    static bool acceptableLength(uint32_t bodyLength) { return bodyLength <= kMaxBodySize; }

    // Serialises a node. False when libplist produces nothing.
    static bool toBinary(plist_t node, std::string *body);
    static bool toXml(plist_t node, std::string *body);
    // Header and body in one buffer, ready for a single write.
    static bool frame(plist_t node, bool xml, std::string *packet);

    // Parses a received body: binary when its first 8 bytes are "bplist00",
    // otherwise XML with embedded zero bytes (all but the last) read as
    // spaces. The body is modified in place. Null when it does not parse.
    static plist_t parse(char *body, size_t length);
};
