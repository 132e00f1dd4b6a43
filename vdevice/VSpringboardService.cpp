#include "VSpringboardService.h"

#include "VAppIcon.h"
#include "VAppLayout.h"
#include "VAppPlist.h"
#include "VConnection.h"
#include "VDevice.h"
#include "VServiceTable.h"

#include "DiagLog.h"

#include <QFileInfo>
#include <QMutexLocker>

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

plist_t VSpringboardService::appItem(const VAppStore &store, const QString &identifier)
{
    // The bundle is looked up once for everything below.
    const QString bundle = store.bundleDir(identifier);
    PlistPtr info = VAppStore::readInfo(bundle);
    QString name = VAppPlist::string(info.get(), "CFBundleDisplayName");
    if (name.isEmpty())
        name = VAppPlist::string(info.get(), "CFBundleName", identifier);
    plist_t item = plist_new_dict();
    VAppPlist::setString(item, "displayIdentifier", identifier);
    VAppPlist::setString(item, "displayName", name);
    VAppPlist::setString(item, "bundleIdentifier", identifier);
    VAppPlist::setString(item, "bundleVersion", VAppPlist::string(info.get(), "CFBundleVersion"));
    const QFileInfo plistFile(bundle + QStringLiteral("/Info.plist"));
    VAppPlist::setNode(item, "iconModDate", VAppPlist::newDate(plistFile.lastModified().toSecsSinceEpoch()));
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
