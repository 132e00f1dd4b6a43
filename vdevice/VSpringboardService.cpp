#include "VSpringboardService.h"

#include "VAppIcon.h"
#include "VAppLayout.h"
#include "VAppPlist.h"
#include "VConnection.h"
#include "VDevice.h"
#include "VServiceTable.h"

#include "DiagLog.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

#include <sys/stat.h>

#include <mutex>
#include <string>
#include <unordered_map>

namespace {
const VServiceRegistration registration("com.apple.springboardservices",
                                        [](VConnection &conn) { VSpringboardService(conn).serve(); });

constexpr int kRowSize = 4;

// The older icon state: lists cut into rows of four, padded with false.
plist_t rows(plist_t flat)
{
    plist_t out = plist_new_array();
    const uint32_t count = plist_array_get_size(flat);
    for (uint32_t start = 0; start < std::max<uint32_t>(count, 1); start += kRowSize) {
        plist_t row = plist_new_array();
        for (uint32_t i = start; i < start + kRowSize; ++i)
            plist_array_append_item(row, i < count ? plist_copy(plist_array_get_item(flat, i)) : plist_new_bool(0));
        plist_array_append_item(out, row);
    }
    return out;
}
} // namespace

VSpringboardService::VSpringboardService(VConnection &conn)
    : m_conn(conn)
    , m_store(conn.device() ? conn.device()->appsDir() : QString())
{
}

void VSpringboardService::serve()
{
    if (!m_conn.device())
        return;
    PlistPtr request = makePlistPtr();
    while (m_conn.recvRequest(&request)) {
        if (!handle(request.get()))
            return;
    }
}

namespace {

// What the home screen shows of an app, kept with the identity of the app's
// folder and of its Info.plist: an unchanged app costs two stats instead of
// finding its bundle and reading its Info.plist again.
struct HomeScreenEntry
{
    dev_t device = 0;
    ino_t inode = 0;
    struct timespec folderModified = {};
    QString bundle;
    struct timespec plistModified = {};
    QString name;
    QString version;
    qint64 iconModified = 0;
};

std::mutex g_entriesMutex;
std::unordered_map<std::string, HomeScreenEntry> g_entries;
constexpr size_t kMaxEntries = 20000;

bool sameTime(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

plist_t VSpringboardService::appItem(const VAppStore &store, const QString &identifier)
{
    const std::string folder = QFile::encodeName(store.appDir(identifier)).toStdString();
    struct stat folderStat = {};
    const bool folderKnown = VAppStore::validIdentifier(identifier) && ::stat(folder.c_str(), &folderStat) == 0;
    HomeScreenEntry entry;
    bool cached = false;
    if (folderKnown) {
        std::lock_guard<std::mutex> lock(g_entriesMutex);
        const auto it = g_entries.find(folder);
        if (it != g_entries.end() && it->second.device == folderStat.st_dev && it->second.inode == folderStat.st_ino
            && sameTime(it->second.folderModified, folderStat.st_mtim)) {
            entry = it->second;
            cached = true;
        }
    }
    if (cached) {
        struct stat plistStat = {};
        const std::string plist = QFile::encodeName(entry.bundle + QStringLiteral("/Info.plist")).toStdString();
        cached = ::stat(plist.c_str(), &plistStat) == 0 && sameTime(entry.plistModified, plistStat.st_mtim);
    }
    if (!cached) {
        // The bundle is looked up once for everything below.
        entry = HomeScreenEntry();
        entry.bundle = store.bundleDir(identifier);
        PlistPtr info = VAppStore::readInfo(entry.bundle);
        entry.name = VAppPlist::string(info.get(), "CFBundleDisplayName");
        if (entry.name.isEmpty())
            entry.name = VAppPlist::string(info.get(), "CFBundleName", identifier);
        entry.version = VAppPlist::string(info.get(), "CFBundleVersion");
        struct stat plistStat = {};
        const std::string plist = QFile::encodeName(entry.bundle + QStringLiteral("/Info.plist")).toStdString();
        if (!entry.bundle.isEmpty() && ::stat(plist.c_str(), &plistStat) == 0) {
            entry.plistModified = plistStat.st_mtim;
            entry.iconModified = qint64(plistStat.st_mtim.tv_sec);
        }
        if (folderKnown && info && !entry.bundle.isEmpty()) {
            entry.device = folderStat.st_dev;
            entry.inode = folderStat.st_ino;
            entry.folderModified = folderStat.st_mtim;
            std::lock_guard<std::mutex> lock(g_entriesMutex);
            if (g_entries.size() >= kMaxEntries)
                g_entries.clear();
            g_entries[folder] = entry;
        }
    }
    plist_t item = plist_new_dict();
    VAppPlist::setString(item, "displayIdentifier", identifier);
    VAppPlist::setString(item, "displayName", entry.name);
    VAppPlist::setString(item, "bundleIdentifier", identifier);
    VAppPlist::setString(item, "bundleVersion", entry.version);
    VAppPlist::setNode(item, "iconModDate", VAppPlist::newDate(entry.iconModified));
    return item;
}

plist_t VSpringboardService::iconState(const VAppStore &store, bool formatVersion2)
{
    VAppLayout layout(store);
    layout.load();
    plist_t state = plist_new_array();
    plist_t dock = plist_new_array();
    for (const QString &id : layout.dock)
        plist_array_append_item(dock, appItem(store, id));
    plist_array_append_item(state, formatVersion2 ? dock : rows(dock));
    if (!formatVersion2)
        plist_free(dock);
    for (const QList<VAppLayout::Item> &page : layout.pages) {
        plist_t pageNode = plist_new_array();
        for (const VAppLayout::Item &item : page) {
            if (!item.isFolder()) {
                plist_array_append_item(pageNode, appItem(store, item.app));
                continue;
            }
            plist_t folder = plist_new_dict();
            VAppPlist::setString(folder, "displayName", item.folderName);
            VAppPlist::setString(folder, "listType", QStringLiteral("folder"));
            plist_t lists = plist_new_array();
            for (const QStringList &list : item.folderPages) {
                plist_t listNode = plist_new_array();
                for (const QString &id : list)
                    plist_array_append_item(listNode, appItem(store, id));
                plist_array_append_item(lists, formatVersion2 ? listNode : rows(listNode));
                if (!formatVersion2)
                    plist_free(listNode);
            }
            plist_dict_set_item(folder, "iconLists", lists);
            plist_array_append_item(pageNode, folder);
        }
        plist_array_append_item(state, formatVersion2 ? pageNode : rows(pageNode));
        if (!formatVersion2)
            plist_free(pageNode);
    }
    return state;
}

bool VSpringboardService::handle(plist_t request)
{
    const QString command = VAppPlist::string(request, "command");
    PlistPtr reply = makePlistPtr();
    if (command == QLatin1String("getIconState")) {
        QMutexLocker locker(&m_store.mutex());
        reply.reset(iconState(m_store, VAppPlist::string(request, "formatVersion") == QLatin1String("2")));
    } else if (command == QLatin1String("setIconState")) {
        QMutexLocker locker(&m_store.mutex());
        VAppLayout layout(m_store);
        layout.setFromIconState(plist_dict_get_item(request, "iconState"));
        layout.save();
        layout.load();   // drops what is not installed, places what is missing
        layout.save();
        return true;   // the client reads no reply
    } else if (command == QLatin1String("getIconPNGData")) {
        const QString id = VAppPlist::string(request, "bundleId");
        reply.reset(plist_new_dict());
        if (m_store.contains(id)) {
            QByteArray png = m_store.iconPng(id);
            if (png.isEmpty())
                png = VAppIcon::placeholder();
            VAppPlist::setData(reply.get(), "pngData", png);
        } else {
            DIAG_LOG("icon asked for an app that is not installed");
        }
    } else if (command == QLatin1String("getHomeScreenWallpaperPNGData")) {
        static const QByteArray wallpaper = VAppIcon::wallpaper(320, 480);
        reply.reset(plist_new_dict());
        VAppPlist::setData(reply.get(), "pngData", wallpaper);
    } else if (command == QLatin1String("getInterfaceOrientation")) {
        reply.reset(plist_new_dict());
        VAppPlist::setUint(reply.get(), "interfaceOrientation", 1);   // portrait
    } else if (command == QLatin1String("getHomeScreenIconMetrics")) {
        reply.reset(plist_new_dict());
        VAppPlist::setUint(reply.get(), "homeScreenIconColumns", 4);
        VAppPlist::setUint(reply.get(), "homeScreenIconRows", 5);
        VAppPlist::setUint(reply.get(), "homeScreenIconDockMaxCount", 4);
        VAppPlist::setUint(reply.get(), "homeScreenIconFolderColumns", 3);
        VAppPlist::setUint(reply.get(), "homeScreenIconFolderRows", 3);
        VAppPlist::setUint(reply.get(), "homeScreenIconMaxPages", 15);
    } else {
        DIAG_LOG("unknown springboard command");
        reply.reset(plist_new_dict());
        VAppPlist::setString(reply.get(), "Error", QStringLiteral("UnknownCommand"));
    }
    if (m_conn.sendPlist(reply.get()))
        return true;
    DIAG_LOG("springboard client gone");
    return false;
}
