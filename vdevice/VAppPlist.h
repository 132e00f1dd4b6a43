#pragma once

// Small property-list helpers shared by the app services of the virtual
// device: parsing and writing files, typed reads that tolerate wrong node
// types (everything read comes from untrusted packages or clients).

#include "PlistFrame.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

class VAppPlist
{
public:
    // Binary when the bytes start with "bplist00", else XML. Null on failure.
    static PlistPtr parse(const QByteArray &bytes);
    // Reads and parses a file of at most maxBytes. Null on failure.
    static PlistPtr readFile(const QString &path, qint64 maxBytes = 8 * 1024 * 1024);
    // Replaces a file through a temporary file and a rename: readers see the
    // old or the new content, never a part. No fsync: the virtual device's
    // state is not worth the wait.
    static bool writeBytes(const QString &path, const QByteArray &bytes);
    // Writes XML (or binary) with writeBytes.
    static bool writeFile(const QString &path, plist_t node, bool binary = false);
    static QByteArray toXml(plist_t node);
    static QByteArray toBinary(plist_t node);

    // Typed reads of a dictionary entry; the fallback when the key is missing
    // or of another type.
    static QString string(plist_t dict, const char *key, const QString &fallback = QString());
    static bool boolean(plist_t dict, const char *key, bool fallback = false);
    static quint64 uint(plist_t dict, const char *key, quint64 fallback = 0);
    static QByteArray data(plist_t dict, const char *key);
    // An array of strings; non-string items are skipped.
    static QStringList stringList(plist_t dict, const char *key);

    static void setString(plist_t dict, const char *key, const QString &value);
    static void setUint(plist_t dict, const char *key, quint64 value);
    static void setBool(plist_t dict, const char *key, bool value);
    static void setData(plist_t dict, const char *key, const QByteArray &value);
    // Takes ownership of value.
    static void setNode(plist_t dict, const char *key, plist_t value);

    // A date node for seconds since 1970 (libplist counts from 2001).
    static plist_t newDate(qint64 secondsSince1970);
    static qint64 dateSeconds(plist_t dateNode);

    // A node for a QVariant: strings, booleans, integers (unsigned nodes), byte arrays (data), date-times (date), lists (array)
    // and maps (dict). Null for anything else. The caller owns the node.
    static plist_t fromVariant(const QVariant &value);

    // Every key of a dictionary, in its stored order.
    static QStringList keys(plist_t dict);
};
