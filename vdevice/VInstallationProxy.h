#pragma once

// com.apple.mobile.installation_proxy of a virtual device, over one
// connection: Browse, Lookup, Install, Upgrade, Uninstall, Archive,
// RemoveArchive, LookupArchives, Restore. Commands are served one after the other
// until the client closes. Progress goes out as status messages
// {Status, PercentComplete} ending with {Status: "Complete"}; failures as
// {Error, ErrorDescription}, named as a device names them (VAppError.h).
//
// As on devices: an Uninstall of an app that is not installed completes
// without error; RemoveArchive of a missing archive too. Restore reinstalls
// the archived bundle and puts its data back. From ProductVersion 9.0 the
// archive commands (Restore too) answer UnknownCommand, as devices since
// iOS 9 do. An install goes on when the client disappears half-way; the
// staged package stays in PublicStaging after the install, as on a device.

#include "PlistFrame.h"
#include "VAppInstaller.h"
#include "VAppStore.h"

#include <QString>

#include <atomic>

class VConnection;

class VInstallationProxy
{
public:
    static constexpr uint32_t kBrowsePageSize = 20;

    explicit VInstallationProxy(VConnection &conn);
    void serve();

    // Whether Browse pages carry CurrentAmount (the default). Off, the pages
    // hold only their CurrentList, so clients must count the list; for tests
    // of such clients (process-wide, every device).
    static void setBrowseAmounts(bool on);

private:
    bool handle(plist_t request);
    bool browse(plist_t options);
    bool lookup(plist_t options);
    bool install(const QString &command, plist_t request, plist_t options);
    bool uninstall(const QString &identifier);
    bool archive(const QString &identifier, plist_t options);
    bool removeArchive(const QString &identifier);
    bool restore(const QString &identifier);
    bool lookupArchives();

    bool sendStatus(const char *status, int percent = -1);
    bool sendError(int code);
    bool sendNode(plist_t node);
    // The staged package's local path, confined to the media folder.
    QString stagedPackage(const QString &packagePath) const;
    QStringList typedApps(plist_t options) const;

    VConnection &m_conn;
    VAppStore m_store;
    QString m_mediaDir;
    VAppDeviceTraits m_traits;
    bool m_archiveCommands = true;
    bool m_peerGone = false;
    static std::atomic<bool> s_browseAmounts;
};
