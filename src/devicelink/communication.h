#pragma once

// The property-list message channel over a service connection, and the
// helpers the app service uses on what it receives.

#include "DevPort.h"
#include "StatusSink.h"

#include <plist/plist.h>

#include <QString>

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

// Follows an installation-service status stream until "Complete" (0), an
// error (-1008 for "APIEpicFail" and "APIInternalError", else -1) or a
// transport failure (-1). Reports to sink when it is not null.
int RecvStatus(ServiceConnection *connection, StatusSink *sink, int mode);
