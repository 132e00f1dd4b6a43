#include "VAppStore.h"

#include "VAppError.h"
#include "VAppLayout.h"
#include "VAppPlist.h"
#include "VPackageReader.h"

#include "DiagLog.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUuid>

#include <memory>

namespace {
const QString kDevicePrefix = QStringLiteral("/private/var/mobile/Applications/");

QByteArray readSmallFile(const QString &path, qint64 maxBytes)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile() || info.size() > maxBytes)
        return QByteArray();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(maxBytes) : QByteArray();
}

// Icon names an Info.plist may give, newest convention first.
QStringList iconNames(plist_t info)
{
    QStringList names;
    plist_t icons = plist_dict_get_item(info, "CFBundleIcons");
    plist_t primary = icons ? plist_dict_get_item(icons, "CFBundlePrimaryIcon") : nullptr;
    if (primary && plist_get_node_type(primary) == PLIST_DICT)
        names << VAppPlist::stringList(primary, "CFBundleIconFiles");
    names << VAppPlist::stringList(info, "CFBundleIconFiles");
    const QString single = VAppPlist::string(info, "CFBundleIconFile");
    if (!single.isEmpty())
        names << single;
    names << QStringLiteral("Icon") << QStringLiteral("AppIcon");
    return names;
}
} // namespace

VAppStore::VAppStore(const QString &appsDir)
    : m_appsDir(QDir::cleanPath(appsDir))
{
}

QMutex &VAppStore::mutex() const
{
    static QMutex registryLock;
    static QHash<QString, std::shared_ptr<QMutex>> locks;
    QMutexLocker locker(&registryLock);
    std::shared_ptr<QMutex> &slot = locks[m_appsDir];
    if (!slot)
        slot = std::make_shared<QMutex>();
    return *slot;
}

bool VAppStore::validIdentifier(const QString &identifier)
{
    if (identifier.isEmpty() || identifier.size() > 255 || identifier.startsWith(QLatin1Char('.')))
        return false;
    for (const QChar c : identifier) {
        const bool ok = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.')
            || c == QLatin1Char('-') || c == QLatin1Char('_');
        if (!ok)
            return false;
    }
    return true;
}

QStringList VAppStore::identifiers() const
{
    QStringList out;
    const QFileInfoList entries = QDir(m_appsDir).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot,
                                                                QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (!entry.isSymLink() && validIdentifier(entry.fileName())
            && !bundleFolder(entry.fileName()).isEmpty())
            out << entry.fileName();
    }
    return out;
}

bool VAppStore::contains(const QString &identifier) const
{
    return validIdentifier(identifier) && !bundleFolder(identifier).isEmpty();
}

QString VAppStore::appDir(const QString &identifier) const
{
    return m_appsDir + QLatin1Char('/') + identifier;
}

PlistPtr VAppStore::record(const QString &identifier) const
{
    PlistPtr node = VAppPlist::readFile(appDir(identifier) + QLatin1Char('/') + QLatin1String(kRecordFile),
                                        64 * 1024);
    if (node && plist_get_node_type(node.get()) != PLIST_DICT)
        node.reset();
    return node;
}

QString VAppStore::bundleFolder(const QString &identifier) const
{
    if (!validIdentifier(identifier))
        return QString();
    const QString dir = appDir(identifier);
    const QFileInfo dirInfo(dir);
    if (!dirInfo.isDir() || dirInfo.isSymLink())
        return QString();
    PlistPtr rec = record(identifier);
    const QString named = VAppPlist::string(rec.get(), "Bundle");
    if (!named.isEmpty() && !named.contains(QLatin1Char('/')) && named.endsWith(QLatin1String(".app"))
        && named != QLatin1String("..")) {
        const QFileInfo info(dir + QLatin1Char('/') + named);
        if (info.isDir() && !info.isSymLink())
            return named;
    }
    const QFileInfoList bundles = QDir(dir).entryInfoList({QStringLiteral("*.app")},
                                                          QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &info : bundles) {
        if (!info.isSymLink() && QFileInfo::exists(info.filePath() + QStringLiteral("/Info.plist")))
            return info.fileName();
    }
    return QString();
}

QString VAppStore::bundleDir(const QString &identifier) const
{
    const QString folder = bundleFolder(identifier);
    return folder.isEmpty() ? QString() : appDir(identifier) + QLatin1Char('/') + folder;
}

PlistPtr VAppStore::infoPlist(const QString &identifier) const
{
    return readInfo(bundleDir(identifier));
}

PlistPtr VAppStore::readInfo(const QString &bundle)
{
    if (bundle.isEmpty())
        return makePlistPtr();
    const QString path = bundle + QStringLiteral("/Info.plist");
    if (QFileInfo(path).isSymLink())
        return makePlistPtr();
    PlistPtr info = VAppPlist::readFile(path, VPackageReader::kMaxPlistBytes);
    if (info && plist_get_node_type(info.get()) != PLIST_DICT)
        info.reset();
    return info;
}

QString VAppStore::applicationType(const QString &identifier) const
{
    PlistPtr rec = record(identifier);
    return VAppPlist::string(rec.get(), "ApplicationType") == QLatin1String("System")
        ? QStringLiteral("System")
        : QStringLiteral("User");
}

bool VAppStore::isFileSharingEnabled(const QString &identifier) const
{
    PlistPtr info = infoPlist(identifier);
    return VAppPlist::boolean(info.get(), "UIFileSharingEnabled");
}

bool VAppStore::isStoreApp(const QString &identifier) const
{
    return applicationType(identifier) == QLatin1String("User")
        && (!metadata(identifier).isEmpty() || !sinf(identifier).isEmpty());
}

QByteArray VAppStore::metadata(const QString &identifier) const
{
    return readSmallFile(appDir(identifier) + QLatin1Char('/') + QLatin1String(kMetadataFile),
                         VPackageReader::kMaxPlistBytes);
}

QByteArray VAppStore::sinf(const QString &identifier) const
{
    return sinfIn(bundleDir(identifier));
}

QByteArray VAppStore::sinfIn(const QString &bundle)
{
    if (bundle.isEmpty())
        return QByteArray();
    const QFileInfoList files = QDir(bundle + QStringLiteral("/SC_Info"))
                                    .entryInfoList({QStringLiteral("*.sinf")}, QDir::Files, QDir::Name);
    return files.isEmpty() ? QByteArray() : readSmallFile(files.first().filePath(), 1024 * 1024);
}

QByteArray VAppStore::iconPng(const QString &identifier) const
{
    const QString bundle = bundleDir(identifier);
    PlistPtr info = readInfo(bundle);
    if (bundle.isEmpty() || !info)
        return QByteArray();
    for (QString name : iconNames(info.get())) {
        if (!VPackageReader::safeComponents(name, nullptr) || name.contains(QLatin1Char('/')))
            continue;
        if (name.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
            name.chop(4);
        for (const char *suffix : {"@2x.png", ".png", "@3x.png", "60x60@2x.png", "57x57.png"}) {
            const QByteArray png = readSmallFile(bundle + QLatin1Char('/') + name + QLatin1String(suffix),
                                                 kMaxIconBytes);
            if (png.startsWith("\x89PNG\r\n\x1a\n"))
                return png;
        }
    }
    return QByteArray();
}

qint64 VAppStore::treeSize(const QString &path)
{
    const QFileInfo root(path);
    if (path.isEmpty() || root.isSymLink())
        return 0;
    if (root.isFile())
        return root.size();
    qint64 total = 0;
    QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

qint64 VAppStore::staticDiskUsage(const QString &identifier) const
{
    const QString bundle = bundleDir(identifier);
    return bundle.isEmpty() ? 0 : treeSize(bundle);
}

qint64 VAppStore::dynamicDiskUsage(const QString &identifier) const
{
    return dataUsage(identifier, bundleFolder(identifier));
}

qint64 VAppStore::dataUsage(const QString &identifier, const QString &bundle) const
{
    if (bundle.isEmpty())
        return 0;
    qint64 total = 0;
    const QFileInfoList entries = QDir(appDir(identifier))
                                      .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName() != bundle && entry.fileName() != QLatin1String(kRecordFile))
            total += treeSize(entry.filePath());
    }
    return total;
}

PlistPtr VAppStore::attributes(const QString &identifier, const QStringList &wanted) const
{
    // The bundle is looked up once: every attribute below derives from it.
    const QString bundle = bundleFolder(identifier);
    const QString bundlePath = bundle.isEmpty() ? QString() : appDir(identifier) + QLatin1Char('/') + bundle;
    PlistPtr all = readInfo(bundlePath);
    if (!all)
        return makePlistPtr();
    const auto want = [&wanted](const char *key) {
        return wanted.isEmpty() || wanted.contains(QLatin1String(key));
    };
    VAppPlist::setString(all.get(), "CFBundleIdentifier", identifier);
    VAppPlist::setString(all.get(), "ApplicationType", applicationType(identifier));
    VAppPlist::setString(all.get(), "Path", kDevicePrefix + identifier + QLatin1Char('/') + bundle);
    VAppPlist::setString(all.get(), "Container", kDevicePrefix + identifier);
    if (want("StaticDiskUsage"))
        VAppPlist::setUint(all.get(), "StaticDiskUsage", quint64(treeSize(bundlePath)));
    if (want("DynamicDiskUsage"))
        VAppPlist::setUint(all.get(), "DynamicDiskUsage", quint64(dataUsage(identifier, bundle)));
    if (want("iTunesMetadata")) {
        const QByteArray meta = metadata(identifier);
        if (!meta.isEmpty())
            VAppPlist::setData(all.get(), "iTunesMetadata", meta);
    }
    if (want("ApplicationSINF")) {
        const QByteArray signature = sinfIn(bundlePath);
        if (!signature.isEmpty())
            VAppPlist::setData(all.get(), "ApplicationSINF", signature);
    }
    if (wanted.isEmpty())
        return all;
    PlistPtr picked = makePlistPtr(plist_new_dict());
    for (const QString &key : wanted) {
        plist_t node = plist_dict_get_item(all.get(), key.toUtf8().constData());
        if (node)
            plist_dict_set_item(picked.get(), key.toUtf8().constData(), plist_copy(node));
    }
    return picked;
}

bool VAppStore::writeRecord(const QString &appDir, const QString &type, const QString &bundle)
{
    PlistPtr rec = makePlistPtr(plist_new_dict());
    VAppPlist::setString(rec.get(), "ApplicationType", type);
    VAppPlist::setString(rec.get(), "Bundle", bundle);
    return VAppPlist::writeFile(appDir + QLatin1Char('/') + QLatin1String(kRecordFile), rec.get());
}

int VAppStore::uninstall(const QString &identifier)
{
    QMutexLocker locker(&mutex());
    if (!contains(identifier)) {
        DIAG_LOG("uninstall of an app that is not installed");
        return VAppError::UnknownApp;
    }
    if (applicationType(identifier) == QLatin1String("System")) {
        DIAG_LOG("uninstall of a system app refused");
        return VAppError::UninstallProhibited;
    }
    // Renaming first makes the app disappear at once even if deleting its
    // files takes a while or fails half-way.
    const QString trash = m_appsDir + QStringLiteral("/.trash-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!QDir().rename(appDir(identifier), trash)) {
        DIAG_LOG("app folder cannot be moved away");
        return VAppError::ContainerCreation;
    }
    QDir(trash).removeRecursively();
    VAppLayout layout(*this);
    layout.load();
    layout.remove(identifier);
    layout.save();
    return VAppError::None;
}
