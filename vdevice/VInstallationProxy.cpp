#include "VInstallationProxy.h"

#include "VAppArchiver.h"
#include "VAppError.h"
#include "VAppNotifications.h"
#include "VAppPlist.h"
#include "VConnection.h"
#include "VDevice.h"
#include "VPackageReader.h"
#include "VServiceTable.h"

#include "DiagLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

#include <vector>

namespace {
const VServiceRegistration registration("com.apple.mobile.installation_proxy",
                                        [](VConnection &conn) { VInstallationProxy(conn).serve(); });
}

std::atomic<bool> VInstallationProxy::s_browseAmounts{true};

void VInstallationProxy::setBrowseAmounts(bool on)
{
    s_browseAmounts = on;
}

VInstallationProxy::VInstallationProxy(VConnection &conn)
    : m_conn(conn)
    , m_store(conn.device() ? conn.device()->appsDir() : QString())
{
    if (VDevice *device = conn.device()) {
        m_mediaDir = device->mediaDir();
        m_traits.productVersion = device->productVersion();
        if (device->deviceClass() == QLatin1String("iPad"))
            m_traits.families = {1, 2};
        m_archiveCommands = !device->versionAtLeast(9, 0);
    }
}

void VInstallationProxy::serve()
{
    if (!m_conn.device())
        return;
    PlistPtr request = makePlistPtr();
    while (m_conn.recvRequest(&request)) {
        if (!handle(request.get()) || m_peerGone)
            return;
    }
}

bool VInstallationProxy::handle(plist_t request)
{
    const QString command = VAppPlist::string(request, "Command");
    plist_t options = plist_dict_get_item(request, "ClientOptions");
    if (options && plist_get_node_type(options) != PLIST_DICT)
        options = nullptr;
    const QString identifier = VAppPlist::string(request, "ApplicationIdentifier");
    const bool archiveCommand = command == QLatin1String("Archive") || command == QLatin1String("RemoveArchive")
        || command == QLatin1String("LookupArchives") || command == QLatin1String("Restore");
    const bool needsIdentifier = command == QLatin1String("Uninstall")
        || (archiveCommand && command != QLatin1String("LookupArchives"));

    if (command.isEmpty())
        return sendError(VAppError::MissingCommand);
    if (archiveCommand && !m_archiveCommands)
        return sendError(VAppError::UnknownCommand);
    if (needsIdentifier && identifier.isEmpty())
        return sendError(VAppError::MissingApplicationIdentifier);
    // An injected device error refuses a command that changes apps before it
    // changes anything, as a device whose operation fails leaves the apps as
    // they were. (The connection turns the answer into the injected Error.)
    const bool changesApps = command == QLatin1String("Install") || command == QLatin1String("Upgrade")
        || command == QLatin1String("Uninstall") || command == QLatin1String("Archive")
        || command == QLatin1String("Restore");
    if (changesApps && !m_conn.faults().errorReply.empty())
        return sendError(VAppError::UnknownCommand);
    if (command == QLatin1String("Browse"))
        return browse(options);
    if (command == QLatin1String("Lookup"))
        return lookup(options);
    if (command == QLatin1String("Install") || command == QLatin1String("Upgrade"))
        return install(command, request, options);
    if (command == QLatin1String("Uninstall"))
        return uninstall(identifier);
    if (command == QLatin1String("Archive"))
        return archive(identifier, options);
    if (command == QLatin1String("RemoveArchive"))
        return removeArchive(identifier);
    if (command == QLatin1String("LookupArchives"))
        return lookupArchives();
    if (command == QLatin1String("Restore"))
        return restore(identifier);
    return sendError(VAppError::UnknownCommand);
}

QStringList VInstallationProxy::typedApps(plist_t options) const
{
    // No ApplicationType means every app, as with "Any".
    const QString type = VAppPlist::string(options, "ApplicationType", QStringLiteral("Any"));
    QStringList out;
    for (const QString &id : m_store.identifiers()) {
        if (type == QLatin1String("Any") || m_store.applicationType(id) == type)
            out << id;
    }
    return out;
}

bool VInstallationProxy::browse(plist_t options)
{
    const QStringList wanted = VAppPlist::stringList(options, "ReturnAttributes");
    std::vector<PlistPtr> apps;
    {
        QMutexLocker locker(&m_store.mutex());
        for (const QString &id : typedApps(options)) {
            PlistPtr attributes = m_store.attributes(id, wanted);
            if (attributes)
                apps.push_back(std::move(attributes));
        }
    }
    const uint32_t total = uint32_t(apps.size());
    uint32_t index = 0;
    do {
        const uint32_t amount = std::min(kBrowsePageSize, total - index);
        PlistPtr page = makePlistPtr(plist_new_dict());
        plist_t list = plist_new_array();
        for (uint32_t i = 0; i < amount; ++i)
            plist_array_append_item(list, apps[index + i].release());
        if (s_browseAmounts)
            VAppPlist::setUint(page.get(), "CurrentAmount", amount);
        VAppPlist::setUint(page.get(), "CurrentIndex", index);
        plist_dict_set_item(page.get(), "CurrentList", list);
        VAppPlist::setString(page.get(), "Status", QStringLiteral("BrowsingApplications"));
        VAppPlist::setUint(page.get(), "Total", total);
        if (!sendNode(page.get()))
            return false;
        index += amount;
    } while (index < total);
    return sendStatus("Complete");
}

bool VInstallationProxy::lookup(plist_t options)
{
    const QStringList wanted = VAppPlist::stringList(options, "ReturnAttributes");
    QStringList ids = typedApps(options);
    plist_t bundleIds = plist_dict_get_item(options, "BundleIDs");
    if (bundleIds && plist_get_node_type(bundleIds) == PLIST_ARRAY) {
        const QStringList asked = VAppPlist::stringList(options, "BundleIDs");
        QStringList picked;
        for (const QString &id : asked) {
            if (ids.contains(id))
                picked << id;
        }
        ids = picked;
    }
    PlistPtr reply = makePlistPtr(plist_new_dict());
    plist_t result = plist_new_dict();
    {
        QMutexLocker locker(&m_store.mutex());
        for (const QString &id : ids) {
            PlistPtr attributes = m_store.attributes(id, wanted);
            if (attributes)
                plist_dict_set_item(result, id.toUtf8().constData(), attributes.release());
        }
    }
    plist_dict_set_item(reply.get(), "LookupResult", result);
    VAppPlist::setString(reply.get(), "Status", QStringLiteral("Complete"));
    return sendNode(reply.get());
}

QString VInstallationProxy::stagedPackage(const QString &packagePath) const
{
    QString relative = packagePath;
    while (relative.startsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    QStringList parts;
    if (!VPackageReader::safeComponents(relative, &parts))
        return QString();
    const QString path = m_mediaDir + QLatin1Char('/') + parts.join(QLatin1Char('/'));
    // A link planted in the media folder must not lead the install outside.
    const QString real = QFileInfo(path).canonicalFilePath();
    const QString root = QFileInfo(m_mediaDir).canonicalFilePath();
    if (real.isEmpty() || root.isEmpty() || !real.startsWith(root + QLatin1Char('/')))
        return QString();
    return real;
}

bool VInstallationProxy::install(const QString &command, plist_t request, plist_t options)
{
    const QString packagePath = VAppPlist::string(request, "PackagePath");
    if (packagePath.isEmpty())
        return sendError(VAppError::MissingPackagePath);
    const QString local = stagedPackage(packagePath);
    if (local.isEmpty() || !(QFileInfo(local).isFile() || QFileInfo(local).isDir())) {
        DIAG_LOG("staged package missing or outside the media folder");
        return sendError(VAppError::PackageExtraction);
    }
    VAppInstaller::Options installOptions;
    installOptions.sinf = VAppPlist::data(options, "ApplicationSINF");
    installOptions.metadata = VAppPlist::data(options, "iTunesMetadata");
    VAppInstaller installer(m_store, m_traits);
    // A device finishes an install even when the client has gone away.
    const int rc = installer.install(local, installOptions, [this](const char *status, int percent) {
        if (!m_peerGone && !sendStatus(status, percent))
            m_peerGone = true;
    });
    if (rc != VAppError::None) {
        DIAG_LOG(command == QLatin1String("Upgrade") ? "upgrade failed" : "install failed");
        return !m_peerGone && sendError(rc);
    }
    VAppNotifications::post(m_store.appsDir(), QLatin1String(VAppNotifications::kInstalled));
    // The staged package stays, as on a device: removing it is the client's job.
    return !m_peerGone && sendStatus("Complete");
}

bool VInstallationProxy::uninstall(const QString &identifier)
{
    // Devices ignore an uninstall of an app they do not have.
    if (!m_store.contains(identifier))
        return sendStatus("RemovingApplication", 50) && sendStatus("GeneratingApplicationMap", 90)
            && sendStatus("Complete");
    if (!sendStatus("RemovingApplication", 50))
        return false;
    const int rc = m_store.uninstall(identifier);
    if (rc != VAppError::None)
        return sendError(rc);
    VAppNotifications::post(m_store.appsDir(), QLatin1String(VAppNotifications::kUninstalled));
    return sendStatus("GeneratingApplicationMap", 90) && sendStatus("Complete");
}

bool VInstallationProxy::archive(const QString &identifier, plist_t options)
{
    if (!m_store.contains(identifier))
        return sendError(VAppError::UnknownApp);
    const bool skipUninstall = VAppPlist::boolean(options, "SkipUninstall");
    const QString type = VAppPlist::string(options, "ArchiveType");
    VAppArchiver archiver(m_store, m_mediaDir);
    if (!sendStatus("ArchivingApplication", 0))
        return false;
    int rc = archiver.archive(identifier, type, [this, skipUninstall](int percent) {
        const int scaled = skipUninstall ? percent : percent * 9 / 10;
        if (!m_peerGone && scaled > 0 && !sendStatus("ArchivingApplication", scaled))
            m_peerGone = true;
    });
    if (rc == VAppError::None && !skipUninstall) {
        if (!m_peerGone && !sendStatus("RemovingApplication", 90))
            m_peerGone = true;
        rc = m_store.uninstall(identifier);
        if (rc == VAppError::None)
            VAppNotifications::post(m_store.appsDir(), QLatin1String(VAppNotifications::kUninstalled));
    }
    if (rc != VAppError::None)
        return !m_peerGone && sendError(rc);
    return !m_peerGone && sendStatus("Complete");
}

bool VInstallationProxy::restore(const QString &identifier)
{
    VAppArchiver archiver(m_store, m_mediaDir);
    const QString archive = archiver.archivePath(identifier);
    if (!VAppStore::validIdentifier(identifier) || !QFileInfo(archive).isFile())
        return sendError(VAppError::UnknownApp);
    int rc = VAppError::None;
    // An archive without the bundle (DocumentsOnly) restores data only.
    VPackageReader reader(archive);
    QString bundle;
    if (reader.open() == VAppError::None && reader.findMainBundle(&bundle) == VAppError::None) {
        VAppInstaller installer(m_store, m_traits);
        rc = installer.install(archive, {}, [this](const char *status, int percent) {
            if (!m_peerGone && !sendStatus(status, percent / 2))
                m_peerGone = true;
        });
    }
    if (rc == VAppError::None) {
        if (!m_peerGone && !sendStatus("RestoringApplication", 60))
            m_peerGone = true;
        rc = archiver.restoreData(identifier);
    }
    if (rc != VAppError::None)
        return !m_peerGone && sendError(rc);
    VAppNotifications::post(m_store.appsDir(), QLatin1String(VAppNotifications::kInstalled));
    return !m_peerGone && sendStatus("Complete");
}

bool VInstallationProxy::removeArchive(const QString &identifier)
{
    VAppArchiver archiver(m_store, m_mediaDir);
    if (!sendStatus("RemovingArchive", 50))
        return false;
    const int rc = archiver.remove(identifier);
    return rc == VAppError::None ? sendStatus("Complete") : sendError(rc);
}

bool VInstallationProxy::lookupArchives()
{
    VAppArchiver archiver(m_store, m_mediaDir);
    PlistPtr reply = makePlistPtr(plist_new_dict());
    plist_dict_set_item(reply.get(), "LookupResult", archiver.lookup());
    VAppPlist::setString(reply.get(), "Status", QStringLiteral("Complete"));
    return sendNode(reply.get());
}

bool VInstallationProxy::sendStatus(const char *status, int percent)
{
    PlistPtr message = makePlistPtr(plist_new_dict());
    if (percent >= 0)
        VAppPlist::setUint(message.get(), "PercentComplete", quint64(percent));
    VAppPlist::setString(message.get(), "Status", QString::fromLatin1(status));
    return sendNode(message.get());
}

bool VInstallationProxy::sendError(int code)
{
    DIAG_LOG(QByteArray("answering with ").append(VAppError::name(code)).constData());
    PlistPtr message = makePlistPtr(plist_new_dict());
    VAppPlist::setString(message.get(), "Error", QString::fromLatin1(VAppError::name(code)));
    VAppPlist::setString(message.get(), "ErrorDescription", QString::fromLatin1(VAppError::description(code)));
    return sendNode(message.get());
}

bool VInstallationProxy::sendNode(plist_t node)
{
    if (m_conn.sendPlist(node))
        return true;
    DIAG_LOG("installation_proxy client gone");
    return false;
}
