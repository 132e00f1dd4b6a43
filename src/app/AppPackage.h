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
    // A package that names no family is an iPhone app (family 1).
    int isSupported(const QByteArray &families, const QByteArray &firmwareVersion) const;
    // Dotted versions part by part as unsigned numbers (a part that is not a
    // number counts as 0); a missing trailing part counts as 0, so "16.0.0"
    // equals "16.0". Negative, 0 or positive.
    static int compareOsVersions(const QByteArray &a, const QByteArray &b);

private:
    PlistPtr m_info = makePlistPtr();
    PlistPtr m_metadata = makePlistPtr();
    PlistPtr m_signature = makePlistPtr();
    std::string m_bundleId;
};
