#pragma once

// The installed apps of one virtual device, kept in its apps folder:
//
//   <apps>/<bundle id>/              one folder per app; also the container
//                                    that house_arrest vends (the layout of
//                                    an iOS 7 sandbox):
//       <Name>.app/                  the bundle: Info.plist (binary or XML),
//                                    icon PNGs, SC_Info/<executable>.sinf
//       Documents/ Library/ tmp/     the app's data
//       iTunesMetadata.plist         store metadata (optional)
//       .app-record.plist            the store's record (optional): a dict
//                                    with ApplicationType ("User" | "System")
//                                    and Bundle ("<Name>.app")
//   <apps>/IconState.plist           the home-screen layout (VAppLayout.h)
//   <apps>/.staging-*, .trash-*      work folders of installs and removals
//
// A folder with a bundle and no record is a user app, so tests can set up
// apps by copying folders. UIFileSharingEnabled comes from Info.plist.
// Static disk usage is the bundle's size, dynamic usage the rest of the
// folder (files as their logical size, links not followed).
//
// Thread safety: methods may be called from any thread; changes of one apps
// folder are serialised by mutex(), which readers of several apps hold too.

#include "PlistFrame.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QStringList>

class VAppStore
{
public:
    static constexpr const char *kRecordFile = ".app-record.plist";
    static constexpr const char *kMetadataFile = "iTunesMetadata.plist";
    static constexpr const char *kLayoutFile = "IconState.plist";
    static constexpr qint64 kMaxIconBytes = 4 * 1024 * 1024;

    explicit VAppStore(const QString &appsDir);

    const QString &appsDir() const { return m_appsDir; }
    // The lock of this apps folder, shared by every VAppStore on it.
    QMutex &mutex() const;

    // A bundle identifier usable as a folder name: letters, digits, ".", "-",
    // "_", at most 255 bytes, not starting with ".".
    static bool validIdentifier(const QString &identifier);

    QStringList identifiers() const;   // installed apps, sorted
    bool contains(const QString &identifier) const;
    QString appDir(const QString &identifier) const;
    // "<Name>.app" of an installed app, empty when it has none.
    QString bundleFolder(const QString &identifier) const;
    QString bundleDir(const QString &identifier) const;

    PlistPtr infoPlist(const QString &identifier) const;   // null when unreadable
    // The Info.plist of a bundle folder found with bundleDir (null when unreadable).
    static PlistPtr readInfo(const QString &bundleDir);
    QString applicationType(const QString &identifier) const;
    bool isFileSharingEnabled(const QString &identifier) const;
    // An app from the store: it carries metadata or a signature.
    bool isStoreApp(const QString &identifier) const;
    QByteArray metadata(const QString &identifier) const;
    QByteArray sinf(const QString &identifier) const;
    QByteArray iconPng(const QString &identifier) const;   // empty when the bundle has none
    qint64 staticDiskUsage(const QString &identifier) const;
    qint64 dynamicDiskUsage(const QString &identifier) const;

    // The dictionary installation_proxy reports for an app: Info.plist plus
    // ApplicationType, Path, Container, disk usage, and iTunesMetadata and
    // ApplicationSINF (data) when present. With attributes, only those keys.
    PlistPtr attributes(const QString &identifier, const QStringList &attributes) const;

    // Writes the record of an app folder.
    static bool writeRecord(const QString &appDir, const QString &type, const QString &bundle);

    // Removes an app and its data; UnknownApp or UninstallProhibited for a
    // system app. Takes the lock.
    int uninstall(const QString &identifier);

    // Size of a tree, not following links.
    static qint64 treeSize(const QString &path);

private:
    PlistPtr record(const QString &identifier) const;
    static QByteArray sinfIn(const QString &bundleDir);
    qint64 dataUsage(const QString &identifier, const QString &bundleFolder) const;

    QString m_appsDir;
};
