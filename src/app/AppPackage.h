#pragma once

#include "PlistFrame.h"

#include <QByteArray>

#include <string>

// What an install needs of an app package: the parsed Info.plist, the store
// metadata and the signature as data nodes, and the bundle identifier.
class AppPackage
{
public:
    // 0, or -1 when the package has no parsable Info.plist with an identifier.
    int read(const QByteArray &packagePath);

    plist_t info() const { return m_info.get(); }
    plist_t metadata() const { return m_metadata.get(); }   // data node or null
    plist_t signature() const { return m_signature.get(); } // data node or null
    const std::string &bundleId() const { return m_bundleId; }

    // 0, -1001 (device family not supported) or -1002 (system too old).
    // families: the device's comma-separated list; empty skips that check.
    int isSupported(const QByteArray &families, const QByteArray &firmwareVersion) const;

private:
    PlistPtr m_info = makePlistPtr();
    PlistPtr m_metadata = makePlistPtr();
    PlistPtr m_signature = makePlistPtr();
    std::string m_bundleId;
};
