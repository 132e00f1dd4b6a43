#pragma once

// The AFC file service (com.apple.afc on the media folder, and house_arrest
// after vending on an app's container) over one connection.
//
// Every path is confined to the root: ".." that would climb above it,
// symlinks that resolve outside it and, when a subfolder is given, anything
// outside that subfolder are refused with AFC_E_PERM_DENIED. Absolute paths
// are taken relative to the root, as on a device. Packet lengths are bounded;
// a malformed packet ends the connection.

#include <QString>

class VConnection;

class VAfcServer
{
public:
    // Serves AFC requests until the peer closes or misbehaves. rootDir is the
    // AFC root; confineTo, when not empty, is the only top-level entry of the
    // root that may be reached (e.g. "Documents" after VendDocuments).
    static void serve(VConnection &conn, const QString &rootDir,
                      const QString &confineTo = QString());
};
