#include "VMuxPacket.h"

#include "VDevice.h"

#include <cstdlib>

namespace VMuxPacket {

namespace {

uint32_t getU32(const char *in)
{
    const auto *b = reinterpret_cast<const unsigned char *>(in);
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

void appendU32(std::string *out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out->push_back(char((value >> (8 * i)) & 0xff));
}

} // namespace

Header decodeHeader(const char raw[kHeaderSize])
{
    Header header;
    header.length = getU32(raw);
    header.version = getU32(raw + 4);
    header.message = getU32(raw + 8);
    header.tag = getU32(raw + 12);
    return header;
}

std::string packet(uint32_t tag, plist_t dict)
{
    std::string body;
    if (!PlistFrame::toXml(dict, &body))
        body.clear();
    std::string out;
    out.reserve(kHeaderSize + body.size());
    appendU32(&out, uint32_t(kHeaderSize + body.size()));
    appendU32(&out, 1);
    appendU32(&out, kMessagePlist);
    appendU32(&out, tag);
    out += body;
    return out;
}

std::string result(uint32_t tag, uint64_t number)
{
    PlistPtr dict = makePlistPtr(plist_new_dict());
    plist_dict_set_item(dict.get(), "MessageType", plist_new_string("Result"));
    plist_dict_set_item(dict.get(), "Number", plist_new_uint(number));
    return packet(tag, dict.get());
}

PlistPtr attachedDict(const VDevice &device, uint32_t number)
{
    // usbmuxd reports new-style UDIDs without their dash; libusbmuxd puts it back.
    std::string serial = device.udid().toStdString();
    if (serial.size() == 25 && serial[8] == '-')
        serial.erase(8, 1);
    plist_t properties = plist_new_dict();
    plist_dict_set_item(properties, "ConnectionSpeed", plist_new_uint(480000000));
    plist_dict_set_item(properties, "ConnectionType", plist_new_string("USB"));
    plist_dict_set_item(properties, "DeviceID", plist_new_uint(number));
    plist_dict_set_item(properties, "LocationID", plist_new_uint(0x14100000u + number));
    plist_dict_set_item(properties, "ProductID", plist_new_uint(device.usbProductId()));
    plist_dict_set_item(properties, "SerialNumber", plist_new_string(serial.c_str()));
    PlistPtr dict = makePlistPtr(plist_new_dict());
    plist_dict_set_item(dict.get(), "MessageType", plist_new_string("Attached"));
    plist_dict_set_item(dict.get(), "DeviceID", plist_new_uint(number));
    plist_dict_set_item(dict.get(), "Properties", properties);
    return dict;
}

std::string deviceEvent(const char *type, uint32_t number)
{
    PlistPtr dict = makePlistPtr(plist_new_dict());
    plist_dict_set_item(dict.get(), "MessageType", plist_new_string(type));
    plist_dict_set_item(dict.get(), "DeviceID", plist_new_uint(number));
    return packet(0, dict.get());
}

std::string stringItem(plist_t dict, const char *key)
{
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return std::string();
    char *text = nullptr;
    plist_get_string_val(node, &text);
    std::string out = text ? text : "";
    std::free(text);
    return out;
}

uint64_t uintItem(plist_t dict, const char *key)
{
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_UINT)
        return 0;
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    return value;
}

} // namespace VMuxPacket
