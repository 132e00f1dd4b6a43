#pragma once

#include "PlistFrame.h"

#include <QByteArray>

#include <string>

class StatusSink;

// One command to the installation service on a connection of its own,
// followed to its end through the status stream.
class InstallProxy
{
public:
    // {"ApplicationIdentifier": appId, "Command": command}
    static PlistPtr appCommand(const char *command, const std::string &appId);
    // 0 when the device completed it; -1 when the service cannot be reached,
    // the command is not sent or the stream breaks; -1008 on the device's
    // "APIEpicFail" / "APIInternalError".
    static int run(const QByteArray &deviceId, plist_t command, StatusSink *sink, int mode);
};
