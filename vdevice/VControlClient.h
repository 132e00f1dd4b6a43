#pragma once

// The client side of "appshuttle-vdevice ctl": one control request over the
// server's usbmuxd socket.

#include <QString>

#include <string>
#include <vector>

class VControlClient
{
public:
    // Sends args, waits for the answer (at most timeoutMs). True when the
    // server carried the command out; output holds its text or the reason.
    static bool run(const QString &socketPath, const std::vector<std::string> &args,
                    std::string *output, int timeoutMs = 10000);
};
