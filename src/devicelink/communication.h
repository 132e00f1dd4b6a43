#pragma once

// The property-list message channel over a service connection, and the
// helpers the app service uses on what it receives.

#include "DevPort.h"
#include "StatusSink.h"

#include <plist/plist.h>

#include <QString>

#include <cstddef>
#include <string>

// Sends one message as a binary property list. 0 on success, -1 on failure.
int mobilesync_send(ServiceConnection *connection, plist_t message);
// Receives one message. 0 on success with *message owned by the caller (null
// when the bytes did not parse); -1 on a transport failure, a time-out, or a
// length beyond any sane message.
int mobilesync_receive(ServiceConnection *connection, plist_t *message);
// Releases memory handed out by libplist (strings, serialised buffers).
void free_plist_memory(void *memory);
// The first dictionary in apps whose "CFBundleIdentifier" equals bundleId, or null.
plist_t FindAppByBundleId(plist_t apps, const char *bundleId);
// The text of a string node, up to its first zero byte; false (and *text
// empty) for a node that is not a string. Device replies may hold strings
// with zero bytes inside, on which libplist's plist_get_string_val aborts
// the program: read strings from a device only through this.
bool plistString(plist_t node, std::string *text);
// Display text of a UTF-8 byte string from a property list.
QString plistText(const char *utf8);

// Modes of RecvStatus: how the device's percent maps onto the task's.
enum RecvStatusMode {
    RECV_STATUS_WHOLE = 0,       // p
    RECV_STATUS_FIRST_HALF = 1,  // p / 2
    RECV_STATUS_SECOND_HALF = 2  // 50 + p / 2
};

// The task's percent for the operation's own percent p (0..100) in a mode:
// p, p / 2 or 50 + p / 2 (integer division).
int scaledStatusPercent(int percent, int mode);

// The device's own reason for a failed command, from a reply that carries
// "Error": its "ErrorDescription", the error's name and, when present, its
// "ErrorDetail" ("Not enough space (APIInternalError, code 0x0000000c)").
// Device text: control characters become blanks and the text is cut at
// kDeviceReasonMaxBytes (on a UTF-8 character boundary). Empty without "Error".
constexpr size_t kDeviceReasonMaxBytes = 600;
std::string DeviceErrorReason(plist_t reply);

// The status text RecvStatus reports when the device refused the command;
// the report's error text is then DeviceErrorReason of the device's reply.
constexpr const char *kDeviceErrorStatus = "DeviceError";

// Follows an installation-service status stream until "Complete" (0), an
// error (-1008 for "APIEpicFail" and "APIInternalError", else -1) or a
// transport failure (-1). Reports to sink when it is not null, the device's
// refusal included (status kDeviceErrorStatus); the refusal's reason also
// goes to the diagnostic log.
int RecvStatus(ServiceConnection *connection, StatusSink *sink, int mode);
