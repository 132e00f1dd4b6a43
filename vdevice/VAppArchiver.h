#pragma once

// Archives of installed apps in a device's media folder, as installation_proxy
// keeps them before iOS 9:
//
//   <media>/ApplicationArchives/<bundle id>.zip
//       Payload/<Name>.app/...      the bundle (not with "DocumentsOnly")
//       iTunesMetadata.plist        when the app has metadata
//       Container/Documents/...     the app's data, also Library/ and tmp/
//                                   (not with "ApplicationOnly")
//
// Archives are written through a temporary file, so a failed archive leaves
// no partial zip. Links are stored as links, never followed. Results are
// VAppError codes. Any thread.

#include <QString>

#include <plist/plist.h>

#include <functional>

class VAppStore;

class VAppArchiver
{
public:
    using Progress = std::function<void(int percent)>;   // 0..100, whole-number changes

    VAppArchiver(VAppStore &store, const QString &mediaDir);

    QString archiveDir() const;
    QString archivePath(const QString &identifier) const;

    // archiveType: empty (app and data), "ApplicationOnly" or "DocumentsOnly".
    int archive(const QString &identifier, const QString &archiveType, const Progress &progress);
    // Puts the Container/ data of an app's archive back into the installed
    // app, replacing the folders the archive holds (Documents, Library, ...).
    // The bundle is installed by the caller first. UnknownApp when the app
    // or the archive is missing.
    int restoreData(const QString &identifier);
    // Removes an archive; absent archives count as removed.
    int remove(const QString &identifier);
    // {<bundle id>: {CFBundleIdentifier, CFBundleDisplayName, CFBundleVersion,
    // CFBundleShortVersionString, ...}} of every readable archive; owned by the caller.
    plist_t lookup() const;

private:
    VAppStore &m_store;
    QString m_mediaDir;
};
