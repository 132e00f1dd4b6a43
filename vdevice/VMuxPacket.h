#pragma once

// The usbmuxd wire format on the server side: a 16-byte little-endian header
// (length including the header, version 1, message 8 = plist, tag) and an
// XML plist body. Replies go out header and body in one buffer, because
// libusbmuxd reads the header with a single receive.

#include "PlistFrame.h"

#include <cstdint>
#include <string>

class VDevice;

namespace VMuxPacket {

constexpr size_t kHeaderSize = 16;
constexpr uint32_t kMessagePlist = 8;
constexpr uint64_t kResultBadCommand = 1;
constexpr uint64_t kResultBadDevice = 2;
constexpr uint64_t kResultConnectionRefused = 3;
constexpr uint64_t kErrnoNoEntry = 2;    // ENOENT, for pair records
constexpr uint64_t kErrnoInvalid = 22;   // EINVAL
// The control requests of "appshuttle-vdevice ctl".
constexpr const char *kControlMessage = "AppShuttleControl";

struct Header
{
    uint32_t length = 0;
    uint32_t version = 0;
    uint32_t message = 0;
    uint32_t tag = 0;
};

Header decodeHeader(const char raw[kHeaderSize]);
// Header + XML body of a dict.
std::string packet(uint32_t tag, plist_t dict);
std::string result(uint32_t tag, uint64_t number);
// {MessageType:"Attached", DeviceID, Properties:{...}}, also a DeviceList element.
PlistPtr attachedDict(const VDevice &device, uint32_t number);
// "Detached" or "Paired" with a DeviceID, tag 0.
std::string deviceEvent(const char *type, uint32_t number);

std::string stringItem(plist_t dict, const char *key);
uint64_t uintItem(plist_t dict, const char *key);

} // namespace VMuxPacket
