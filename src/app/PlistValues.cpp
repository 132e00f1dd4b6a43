#include "PlistValues.h"

#include "DiagLog.h"
#include "PlistFrame.h"
#include "communication.h"

#include <QDateTime>

#include <vector>

namespace PlistValues {

// libplist counts date seconds from 2001-01-01.
constexpr int64_t kAppleEpochOffset = 978307200;
// A date that cannot be read is no date.
constexpr int64_t kInvalidDate = 0;

bool string(plist_t node, std::string *out)
{
    return plistString(node, out);
}

std::string string(plist_t dict, const char *key)
{
    std::string value;
    if (dict && plist_get_node_type(dict) == PLIST_DICT)
        string(plist_dict_get_item(dict, key), &value);
    return value;
}

bool uint(plist_t dict, const char *key, uint64_t *out)
{
    if (!dict || plist_get_node_type(dict) != PLIST_DICT)
        return false;
    plist_t node = plist_dict_get_item(dict, key);
    if (!node || plist_get_node_type(node) != PLIST_UINT)
        return false;
    plist_get_uint_val(node, out);
    return true;
}

bool flag(plist_t dict, const char *key)
{
    if (!dict || plist_get_node_type(dict) != PLIST_DICT)
        return false;
    plist_t node = plist_dict_get_item(dict, key);
    if (plist_get_node_type(node) == PLIST_BOOLEAN) {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return b != 0;
    }
    std::string text;
    return string(node, &text) && text == "true";
}

bool date(plist_t dict, const char *key, int64_t *seconds)
{
    if (!dict || plist_get_node_type(dict) != PLIST_DICT)
        return false;
    plist_t node = plist_dict_get_item(dict, key);
    if (!node)
        return false;
    if (plist_get_node_type(node) == PLIST_DATE) {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        *seconds = int64_t(sec) + kAppleEpochOffset;
        return true;
    }
    std::string text;
    if (string(node, &text)) {
        const QDateTime when = QDateTime::fromString(QString::fromUtf8(text.c_str()), Qt::ISODate);
        *seconds = when.isValid() ? when.toSecsSinceEpoch() : kInvalidDate;
        return true;
    }
    DIAG_LOG("node type error!!!");
    *seconds = kInvalidDate;
    return true;
}

plist_t dictionary(plist_t node)
{
    if (!node)
        return nullptr;
    switch (plist_get_node_type(node)) {
    case PLIST_DICT:
        return plist_copy(node);
    case PLIST_DATA: {
        char *bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        plist_t parsed = nullptr;
        if (bytes && length > 0 && length <= PlistFrame::kMaxBodySize) {
            std::vector<char> copy(bytes, bytes + length);
            parsed = PlistFrame::parse(copy.data(), copy.size());
        }
        free_plist_memory(bytes);
        if (parsed && plist_get_node_type(parsed) != PLIST_DICT) {
            plist_free(parsed);
            parsed = nullptr;
        }
        return parsed;
    }
    default:
        return nullptr;
    }
}

} // namespace PlistValues
