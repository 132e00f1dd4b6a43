#pragma once

// Installs an app package (zip with Payload/<Name>.app, or a staged
// <Name>.app folder as developers install) into a VAppStore, as
// installation_proxy's Install and Upgrade do. The bundle is extracted into
// a work folder inside the apps folder and moved into place only when
// everything succeeded: a broken package leaves the store as it was.
// Installing over an installed app replaces its bundle (and its metadata
// when new metadata comes along) and keeps its data (Documents, Library,
// tmp). Container/ entries of a package are not touched here; clients put
// them back through house_arrest.
//
// Results are VAppError codes. Any thread; the commit holds the store lock.

#include <QByteArray>
#include <QList>
#include <QString>

#include <plist/plist.h>

#include <functional>

class VAppStore;

struct VAppDeviceTraits
{
    QString productVersion;      // "8.2"
    QList<int> families{1};      // UIDeviceFamily values the device runs: 1 iPhone, 2 iPad
};

class VAppInstaller
{
public:
    struct Options
    {
        QByteArray sinf;        // ApplicationSINF; stored as SC_Info/<executable>.sinf
        QByteArray metadata;    // iTunesMetadata; else the package's iTunesMetadata.plist
        QString applicationType = QStringLiteral("User");
    };
    // Status name and percentage, in the order a device reports them.
    using Progress = std::function<void(const char *status, int percent)>;

    VAppInstaller(VAppStore &store, const VAppDeviceTraits &traits);

    int install(const QString &packagePath, const Options &options, const Progress &progress,
                QString *identifier = nullptr);

    // -1, 0, 1 comparing dotted versions part by part as numbers.
    static int compareVersions(const QString &a, const QString &b);
    // DeviceFamilyNotSupported / DeviceOSVersionTooLow / None for an Info.plist.
    int checkSupport(plist_t info) const;

private:
    int commit(const QString &staging, const QString &identifier, const QString &bundle,
               bool newMetadata);

    VAppStore &m_store;
    VAppDeviceTraits m_traits;
};
