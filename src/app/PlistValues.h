#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <string>

// Typed reads of property-list values from the device or a package. A value
// of the wrong type reads as absent.
namespace PlistValues {

bool string(plist_t node, std::string *out);
std::string string(plist_t dict, const char *key);
bool uint(plist_t dict, const char *key, uint64_t *out);
// A boolean node, or a string node equal to "true".
bool flag(plist_t dict, const char *key);
// Seconds since 1970 of a date node or an ISO 8601 string. Absent: false.
// A node of another type or an unreadable text gives 4294967295, the value
// an invalid date converts to.
bool date(plist_t dict, const char *key, int64_t *seconds);
// A dictionary given as a dict node, or as data / string holding a plist
// (binary or XML). Owned by the caller; null when there is none.
plist_t dictionary(plist_t node);

} // namespace PlistValues
