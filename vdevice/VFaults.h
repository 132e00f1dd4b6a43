#pragma once

// Faults injected into a virtual device at run time (ctl "fault"), per
// service name or "*" for every service. A connection takes a snapshot of the
// faults of its service when it is accepted, so a fault applies to the
// connections opened after it was set.
//
// Kinds, as named on the command line:
//   drop N        close the connection once N bytes have passed (read + written)
//   error NAME    answer each request with an Error NAME (plist services) or,
//                 on AFC, with the status code NAME (a number, default 23)
//   freespace N   report N free bytes (device-wide: AFC device info and the
//                 com.apple.disk_usage domain); AFC writes beyond it fail
//   delay MS      wait MS milliseconds before each write of a reply or chunk
//   garbage       send a reply that does not parse, then close
//   hugelength    send a length header far beyond any sane size, then close
//   failop N      AFC answers every request of operation N (decimal) with an
//                 I/O error status, everything else as usual
//   ssl           the service speaks TLS: StartService answers EnableServiceSSL
//                 true and the service connection starts in TLS right after
//                 usbmuxd's Connect (not for lockdown, whose TLS is the session's)

#include <cstdint>
#include <string>

struct VFaults
{
    int64_t dropAfterBytes = -1;   // -1: no drop
    std::string errorReply;        // empty: no error answers
    int64_t freeSpace = -1;        // -1: the device's own figure
    int delayMs = 0;
    bool garbageReply = false;
    bool hugeLength = false;
    bool tls = false;
    int failAfcOp = -1;            // -1: every AFC operation works

    bool any() const
    {
        return dropAfterBytes >= 0 || !errorReply.empty() || freeSpace >= 0 || delayMs > 0
            || garbageReply || hugeLength || tls || failAfcOp >= 0;
    }
    // Applies one fault; false (with a reason) for an unknown kind or bad argument.
    bool apply(const std::string &kind, const std::string &arg, std::string *error);
    // Combines: the fields set in other win.
    void merge(const VFaults &other);
};
