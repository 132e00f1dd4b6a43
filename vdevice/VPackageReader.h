#pragma once

// Reads an app package (a zip archive) for the virtual device. Everything in
// a package is untrusted: entry names are checked before they become local
// paths, sizes are bounded, and symbolic links are created only when their
// target stays inside the extracted tree.
//
// Results are VAppError codes (0 success). Not thread-safe; one reader per
// package and thread.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <zip.h>

#include <memory>
#include <vector>

class QFile;

class VPackageReader
{
public:
    static constexpr qint64 kMaxEntries = 200000;
    static constexpr qint64 kMaxTotalBytes = 4LL * 1024 * 1024 * 1024;
    static constexpr qint64 kMaxPlistBytes = 8 * 1024 * 1024;
    static constexpr int kMaxNameBytes = 1024;
    static constexpr int kMaxComponentBytes = 255;
    static constexpr int kMaxLinkBytes = 1024;

    explicit VPackageReader(const QString &packagePath);
    ~VPackageReader();

    // Opens the archive; PackageExtraction when it is missing or no zip.
    int open();

    // The main bundle: the first "Payload/<X>.app/" (in entry order) that
    // holds "Info.plist" directly. Nested bundles never qualify. Gives "X.app".
    int findMainBundle(QString *bundleFolder) const;

    // A whole entry of at most maxBytes. PackageInspection when it is
    // missing, TooLarge when it is bigger.
    int readEntry(const QString &name, qint64 maxBytes, QByteArray *data) const;
    bool hasEntry(const QString &name) const;

    // Extracts every entry under prefix ("Payload/X.app/") into targetDir,
    // which must exist. Fails with PackageInspection on an unsafe name or
    // link and TooLarge beyond the bounds; the caller discards targetDir.
    int extractTree(const QString &prefix, const QString &targetDir) const;

    // Splits a relative entry name into safe components ("\" counts as "/").
    // False for empty, absolute, "."/".." or over-long names.
    static bool safeComponents(const QString &name, QStringList *components);

    // Creates the link components (relative to targetDir) -> target when the
    // target, resolved by name, stays inside targetDir and passes through
    // none of linkPaths (the tree's other links). PackageInspection if not.
    static int placeLink(const QStringList &components, const QByteArray &target,
                         const QString &targetDir, const QStringList &linkPaths);

private:
    struct Entry;
    int collect(const QString &prefix, std::vector<Entry> *entries) const;
    int extractFile(const Entry &entry, const QString &path, qint64 *total) const;
    // A stored entry copied straight from the package's mapped bytes, its
    // CRC checked on the way: VAppError, or -1 when the entry is not one
    // this path takes (compressed, its bytes not where the headers say, or
    // not what its CRC says: libzip then reads it as usual).
    int copyStored(const Entry &entry, QFile &out) const;
    // Where each entry's local header starts, in directory order, read once
    // from the central directory; empty when it cannot be read that way.
    const std::vector<quint64> &localHeaders() const;
    int createLink(const Entry &entry, const QString &targetDir,
                   const QStringList &linkPaths) const;

    QString m_path;
    zip_t *m_zip = nullptr;
    mutable bool m_headersRead = false;
    mutable std::vector<quint64> m_localHeaders;
};
