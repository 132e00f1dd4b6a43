#include "VAppInstaller.h"

#include "VAppError.h"
#include "VAppLayout.h"
#include "VAppPlist.h"
#include "VAppStore.h"
#include "VPackageFolder.h"
#include "VPackageReader.h"

#include "DiagLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QTemporaryDir>
#include <QUuid>

namespace {
constexpr qint64 kMaxSinfBytes = 1024 * 1024;

bool makeContainerFolders(const QString &dir)
{
    QDir root(dir);
    return root.mkpath(QStringLiteral("Documents")) && root.mkpath(QStringLiteral("Library/Preferences"))
        && root.mkpath(QStringLiteral("Library/Caches")) && root.mkpath(QStringLiteral("tmp"));
}

QList<int> familiesOf(plist_t info)
{
    QList<int> out;
    plist_t node = plist_dict_get_item(info, "UIDeviceFamily");
    if (!node)
        return {1};   // an app that names no family is an iPhone app
    const auto take = [&out](plist_t item) {
        if (plist_get_node_type(item) == PLIST_UINT) {
            uint64_t value = 0;
            plist_get_uint_val(item, &value);
            out << int(std::min<uint64_t>(value, 1000));
        } else if (plist_get_node_type(item) == PLIST_STRING) {
            char *text = nullptr;
            plist_get_string_val(item, &text);
            out << (text ? QString::fromUtf8(text).toInt() : 0);
            free(text);
        }
    };
    if (plist_get_node_type(node) == PLIST_ARRAY) {
        const uint32_t count = std::min<uint32_t>(plist_array_get_size(node), 16);
        for (uint32_t i = 0; i < count; ++i)
            take(plist_array_get_item(node, i));
    } else {
        take(node);
    }
    return out;
}
} // namespace

VAppInstaller::VAppInstaller(VAppStore &store, const VAppDeviceTraits &traits)
    : m_store(store)
    , m_traits(traits)
{
}

int VAppInstaller::compareVersions(const QString &a, const QString &b)
{
    const QStringList left = a.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    const QStringList right = b.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    for (int i = 0; i < std::max(left.size(), right.size()); ++i) {
        const uint l = i < left.size() ? left[i].toUInt() : 0;
        const uint r = i < right.size() ? right[i].toUInt() : 0;
        if (l != r)
            return l < r ? -1 : 1;
    }
    return 0;
}

int VAppInstaller::checkSupport(plist_t info) const
{
    bool familyOk = false;
    for (int family : familiesOf(info))
        familyOk = familyOk || m_traits.families.contains(family);
    if (!familyOk) {
        DIAG_LOG("app does not support the device family");
        return VAppError::DeviceFamilyNotSupported;
    }
    const QString minimum = VAppPlist::string(info, "MinimumOSVersion");
    if (!minimum.isEmpty() && compareVersions(m_traits.productVersion, minimum) < 0) {
        DIAG_LOG("app needs a newer iOS");
        return VAppError::DeviceOSVersionTooLow;
    }
    return VAppError::None;
}

int VAppInstaller::install(const QString &packagePath, const Options &options,
                           const Progress &progress, QString *identifier)
{
    const auto report = [&progress](const char *status, int percent) {
        if (progress)
            progress(status, percent);
    };
    report("CreatingStagingDirectory", 5);
    QTemporaryDir staging(m_store.appsDir() + QStringLiteral("/.staging-XXXXXX"));
    if (!QDir().mkpath(m_store.appsDir()) || !staging.isValid()) {
        DIAG_LOG("staging folder cannot be created");
        return VAppError::ContainerCreation;
    }

    report("ExtractingPackage", 15);
    VPackageReader reader(packagePath);
    const QFileInfo source(packagePath);
    const bool folder = source.isDir() && !source.isSymLink();
    QString bundle = source.fileName();
    int rc = VAppError::None;
    if (folder) {
        // A developer's bundle folder, uploaded as it is.
        if (!bundle.endsWith(QLatin1String(".app")) || bundle.size() <= 4 || bundle.startsWith(QLatin1Char('.')))
            rc = VAppError::PackageInspection;
    } else if ((rc = reader.open()) == VAppError::None) {
        rc = reader.findMainBundle(&bundle);
    }
    const QString bundleDir = staging.path() + QLatin1Char('/') + bundle;
    if (rc == VAppError::None && !QDir().mkdir(bundleDir)) {
        DIAG_LOG("bundle folder cannot be created");
        rc = VAppError::ContainerCreation;
    }
    if (rc == VAppError::None)
        rc = folder ? VPackageFolder::copy(packagePath, bundleDir)
                    : reader.extractTree(QStringLiteral("Payload/") + bundle + QLatin1Char('/'), bundleDir);
    if (rc != VAppError::None)
        return rc;

    report("InspectingPackage", 20);
    PlistPtr info = VAppPlist::readFile(bundleDir + QStringLiteral("/Info.plist"),
                                        VPackageReader::kMaxPlistBytes);
    if (!info || plist_get_node_type(info.get()) != PLIST_DICT || QFileInfo(bundleDir + QStringLiteral("/Info.plist")).isSymLink()) {
        DIAG_LOG("Info.plist of the package does not parse");
        return VAppError::PackageInspection;
    }
    const QString id = VAppPlist::string(info.get(), "CFBundleIdentifier");
    if (!VAppStore::validIdentifier(id)) {
        DIAG_LOG("package without a usable CFBundleIdentifier");
        return VAppError::MissingBundleIdentifier;
    }
    if ((rc = checkSupport(info.get())) != VAppError::None)
        return rc;
    QByteArray metadata = options.metadata.left(int(VPackageReader::kMaxPlistBytes));
    if (metadata.isEmpty() && !folder && reader.hasEntry(QLatin1String(VAppStore::kMetadataFile))) {
        rc = reader.readEntry(QLatin1String(VAppStore::kMetadataFile), VPackageReader::kMaxPlistBytes, &metadata);
        if (rc != VAppError::None)
            return rc;
    }
    if (!metadata.isEmpty()
        && !VAppPlist::writeBytes(staging.path() + QLatin1Char('/') + QLatin1String(VAppStore::kMetadataFile), metadata)) {
        DIAG_LOG("metadata cannot be stored");
        return VAppError::ContainerCreation;
    }
    if (!options.sinf.isEmpty() && options.sinf.size() <= kMaxSinfBytes) {
        QString executable = VAppPlist::string(info.get(), "CFBundleExecutable", bundle.chopped(4));
        if (!VPackageReader::safeComponents(executable, nullptr) || executable.contains(QLatin1Char('/')))
            executable = bundle.chopped(4);
        QDir(bundleDir).mkpath(QStringLiteral("SC_Info"));
        if (!VAppPlist::writeBytes(bundleDir + QStringLiteral("/SC_Info/") + executable + QStringLiteral(".sinf"),
                                   options.sinf)) {
            DIAG_LOG("signature cannot be stored");
            return VAppError::ContainerCreation;
        }
    }

    report("TakingInstallLock", 20);
    QMutexLocker locker(&m_store.mutex());
    report("PreflightingApplication", 30);
    const bool upgrade = m_store.contains(id);
    if (upgrade && m_store.applicationType(id) == QLatin1String("System")) {
        DIAG_LOG("install over a system app refused");
        return VAppError::InstallProhibited;
    }
    report("VerifyingApplication", 40);
    report("CreatingContainer", 50);
    if (!VAppStore::writeRecord(staging.path(), options.applicationType, bundle)
        || (!upgrade && !makeContainerFolders(staging.path()))) {
        DIAG_LOG("container cannot be prepared");
        return VAppError::ContainerCreation;
    }
    report("InstallingApplication", 60);
    if ((rc = commit(staging.path(), id, bundle, !metadata.isEmpty())) != VAppError::None)
        return rc;
    staging.setAutoRemove(false);   // it has become the app's folder
    makeContainerFolders(m_store.appDir(id));

    report("PostflightingApplication", 70);
    report("SandboxingApplication", 80);
    report("GeneratingApplicationMap", 90);
    VAppLayout layout(m_store);
    layout.load();
    layout.save();
    if (identifier)
        *identifier = id;
    return VAppError::None;
}

// With the store lock held. The old folder is moved aside first and its
// data moved into the new one, so that every failure can be rolled back.
int VAppInstaller::commit(const QString &staging, const QString &identifier, const QString &bundle,
                          bool newMetadata)
{
    const QString target = m_store.appDir(identifier);
    QDir dir;
    if (!QFileInfo::exists(target)) {
        if (dir.rename(staging, target))
            return VAppError::None;
        DIAG_LOG("new app folder cannot be moved into place");
        return VAppError::ContainerCreation;
    }
    const QString oldBundle = m_store.bundleFolder(identifier);
    const QString trash = m_store.appsDir() + QStringLiteral("/.trash-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!dir.rename(target, trash)) {
        DIAG_LOG("installed app folder cannot be moved aside");
        return VAppError::ContainerCreation;
    }
    QStringList moved;
    bool ok = true;
    const QFileInfoList entries = QDir(trash).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                            | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (name == oldBundle || name == bundle || name == QLatin1String(VAppStore::kRecordFile)
            || (newMetadata && name == QLatin1String(VAppStore::kMetadataFile))
            || (entry.isDir() && name.endsWith(QLatin1String(".app"))))
            continue;
        if (!dir.rename(entry.filePath(), staging + QLatin1Char('/') + name)) {
            ok = false;
            break;
        }
        moved << name;
    }
    if (ok && dir.rename(staging, target)) {
        QDir(trash).removeRecursively();
        return VAppError::None;
    }
    for (const QString &name : moved)
        dir.rename(staging + QLatin1Char('/') + name, trash + QLatin1Char('/') + name);
    dir.rename(trash, target);
    DIAG_LOG("app data cannot be carried over; install rolled back");
    return VAppError::ContainerCreation;
}
