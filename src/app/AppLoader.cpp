#include "AppLoader.h"

#include "AppDocuments.h"
#include "AppHandler.h"
#include "AppTable.h"
#include "DiagLog.h"
#include "PlistValues.h"
#include "communication.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Bound of one icon: no home-screen icon comes near it.
constexpr uint64_t kMaxIconBytes = 4 * 1024 * 1024;

} // namespace

const std::initializer_list<const char *> AppLoader::kAttributes = {
    "CFBundleIdentifier", "CFBundleDisplayName", "CFBundleName", "CFBundleShortVersionString", "CFBundleVersion",
    "Path", "UIFileSharingEnabled", "DynamicDiskUsage", "StaticDiskUsage", "iTunesMetadata"};

AppLoader::AppLoader(AppHandler *handler, AppTable *table)
    : m_handler(handler), m_table(table)
{
}

PlistPtr AppLoader::browse(std::initializer_list<const char *> attributes) const
{
    ServicePtr conn(zorn_dvpt_OpenService(m_handler->deviceId().constData(), "com.apple.mobile.installation_proxy"));
    if (!conn)
        return makePlistPtr();

    PlistPtr command = makePlistPtr(plist_new_dict());
    plist_t options = plist_new_dict();
    plist_dict_set_item(options, "ApplicationType", plist_new_string("User"));
    if (attributes.size()) {
        plist_t names = plist_new_array();
        for (const char *name : attributes)
            plist_array_append_item(names, plist_new_string(name));
        plist_dict_set_item(options, "ReturnAttributes", names);
    }
    plist_dict_set_item(command.get(), "ClientOptions", options);
    plist_dict_set_item(command.get(), "Command", plist_new_string("Browse"));

    PlistPtr apps = makePlistPtr(plist_new_array());
    if (mobilesync_send(conn.get(), command.get()) != 0)
        return apps;
    for (;;) {
        // A list cut short is no list: an empty device must not be shown
        // for one that stopped answering.
        plist_t raw = nullptr;
        if (mobilesync_receive(conn.get(), &raw) != 0 || !raw || plist_dict_get_item(raw, "Error")) {
            plist_free(raw);
            DIAG_LOG("app list not received whole");
            return makePlistPtr();
        }
        const PlistPtr message = makePlistPtr(raw);
        plist_t list = plist_dict_get_item(raw, "CurrentList");
        if (plist_get_node_type(list) == PLIST_ARRAY) {
            // Some devices send pages without CurrentAmount: the list counts.
            uint64_t amount = plist_array_get_size(list);
            PlistValues::uint(raw, "CurrentAmount", &amount);
            const uint64_t count = std::min<uint64_t>(amount, plist_array_get_size(list));
            for (uint32_t i = 0; i < count; ++i)
                plist_array_append_item(apps.get(), plist_copy(plist_array_get_item(list, i)));
        }
        if (PlistValues::string(raw, "Status") != "BrowsingApplications")
            break;
    }
    return apps;
}

int AppLoader::load()
{
    m_table->clear();
    const QByteArray id = m_handler->deviceId();
    if (id.isEmpty() || id.at(0) < '0' || id.at(0) > '9')
        return -1;
    PlistPtr apps = browse(kAttributes);
    if (!apps) {
        DIAG_LOG("GetAppList");
        return -1;
    }
    ServicePtr springboard(zorn_dvpt_OpenService(id.constData(), "com.apple.springboardservices"));
    if (!springboard) {
        DIAG_ERROR();
        return -1;
    }
    const uint32_t count = plist_array_get_size(apps.get());
    for (uint32_t i = 0; i < count; ++i) {
        AppRecord record;
        addData(springboard.get(), plist_array_get_item(apps.get(), i), &record);
    }
    apps.reset();
    const int result = applyHomeScreenNames(springboard.get());
    springboard.reset();
    emit m_handler->data_loadcompleted(m_table->items());
    return result;
}

bool AppLoader::addData(ServiceConnection *springboard, plist_t app, AppRecord *record)
{
    std::string appId;
    if (plist_get_node_type(app) != PLIST_DICT
        || !PlistValues::string(plist_dict_get_item(app, "CFBundleIdentifier"), &appId) || appId.empty()) {
        DIAG_LOG("app without identifier");
        return false;
    }
    *record = AppRecord();
    record->appId = appId;
    // No app is ever nameless: the home screen's name, applied later, wins
    // over all of these.
    record->name = PlistValues::string(app, "CFBundleDisplayName");
    if (record->name.empty())
        record->name = PlistValues::string(app, "CFBundleName");
    if (record->name.empty())
        record->name = appId;
    if (plist_dict_get_item(app, "CFBundleShortVersionString"))
        record->version = PlistValues::string(app, "CFBundleShortVersionString");
    else
        record->version = PlistValues::string(app, "CFBundleVersion");
    record->path = PlistValues::string(app, "Path");
    PlistValues::uint(app, "DynamicDiskUsage", &record->documentSize);
    PlistValues::uint(app, "StaticDiskUsage", &record->appSize);
    record->fileSharingEnabled = PlistValues::flag(app, "UIFileSharingEnabled");

    if (springboard && iconPng(springboard, appId, &record->png) != 0)
        DIAG_LOG("no icon");

    // The list usually carries the store metadata; only apps without it
    // need the container (and file-sharing apps need it for their documents).
    const PlistPtr metadata = makePlistPtr(PlistValues::dictionary(plist_dict_get_item(app, "iTunesMetadata")));
    if (metadata) {
        getMetaplistData(metadata.get(), record);
        record->hasMetadata = true;
    }
    if ((!record->hasMetadata || record->fileSharingEnabled) && getMetadata(appId, record) != 0
        && !record->hasMetadata)
        DIAG_LOG("no metadata");
    m_table->put(*record);
    return true;
}

int AppLoader::iconPng(ServiceConnection *springboard, const std::string &appId, QByteArray *png)
{
    PlistPtr request = makePlistPtr(plist_new_dict());
    plist_dict_set_item(request.get(), "bundleId", plist_new_string(appId.c_str()));
    plist_dict_set_item(request.get(), "command", plist_new_string("getIconPNGData"));
    if (mobilesync_send(springboard, request.get()) != 0)
        return -1;
    plist_t raw = nullptr;
    if (mobilesync_receive(springboard, &raw) != 0)
        return -1;
    const PlistPtr reply = makePlistPtr(raw);
    plist_t data = plist_get_node_type(raw) == PLIST_DICT ? plist_dict_get_item(raw, "pngData") : nullptr;
    if (plist_get_node_type(data) != PLIST_DATA)
        return -1;
    char *bytes = nullptr;
    uint64_t length = 0;
    plist_get_data_val(data, &bytes, &length);
    if (bytes && length <= kMaxIconBytes)
        *png = QByteArray(bytes, qsizetype(length));
    free_plist_memory(bytes);
    return png->isEmpty() ? -1 : 0;
}

int AppLoader::getMetadata(const std::string &appId, AppRecord *record)
{
    const bool wantMetadata = !record->hasMetadata;
    ServicePtr conn(m_handler->OpenConnection("VendContainer", appId.c_str()));
    if (!conn && record->fileSharingEnabled)
        conn.reset(m_handler->OpenConnection("VendDocuments", appId.c_str()));
    if (!conn)
        return -1;
    int result = -1;
    if (wantMetadata) {
        const std::string path = m_handler->deviceId().toStdString() + "/iTunesMetadata.plist";
        uint64_t ref = 0;
        if (zorn_dvpt_fopenEx(conn->fileService, path.c_str(), "rb", &ref) == 0) {
            uint64_t size = 0;
            zorn_dvpt_FileRefSeekEx(conn->fileService, ref, 0, 2);
            zorn_dvpt_FileTellEx(conn->fileService, ref, &size);
            zorn_dvpt_FileRefSeekEx(conn->fileService, ref, 0, 0);
            if (size > 0 && size <= PlistFrame::kMaxBodySize) {
                QByteArray bytes(qsizetype(size), '\0');
                uint64_t got = 0;
                while (got < size) {
                    uint32_t n = uint32_t(size - got);
                    if (zorn_dvpt_FileRefReadEx(conn->fileService, ref, bytes.data() + got, &n) != 0 || n == 0)
                        break;
                    got += n;
                }
                if (got > 0) {
                    const PlistPtr metadata = makePlistPtr(PlistFrame::parse(bytes.data(), size_t(got)));
                    if (plist_get_node_type(metadata.get()) == PLIST_DICT)
                        getMetaplistData(metadata.get(), record);
                }
            }
            result = 0;
            zorn_dvpt_FileCloseEx(conn->fileService, ref);
        }
    }
    if (record->fileSharingEnabled && AppDocuments::list(m_handler->deviceId(), conn.get(), record) != 0)
        DIAG_LOG("documents not listed");
    return wantMetadata ? result : 0;
}

void AppLoader::getMetaplistData(plist_t metadata, AppRecord *record)
{
    if (plist_get_node_type(metadata) != PLIST_DICT)
        return;
    record->genre = PlistValues::string(metadata, "genre");
    plist_t download = plist_dict_get_item(metadata, "com.apple.iTunesStore.downloadInfo");
    if (!PlistValues::string(plist_dict_get_item(metadata, "appleId"), &record->purchaseAccount)) {
        plist_t account = plist_get_node_type(download) == PLIST_DICT ? plist_dict_get_item(download, "accountInfo") : nullptr;
        record->purchaseAccount = PlistValues::string(account, "AppleID");
    }
    PlistValues::date(metadata, "releaseDate", &record->releaseDate);
    if (!PlistValues::date(metadata, "purchaseDate", &record->purchaseDate))
        PlistValues::date(download, "purchaseDate", &record->purchaseDate);
}

int AppLoader::applyHomeScreenNames(ServiceConnection *springboard)
{
    PlistPtr request = makePlistPtr(plist_new_dict());
    plist_dict_set_item(request.get(), "formatVersion", plist_new_string("2"));
    plist_dict_set_item(request.get(), "command", plist_new_string("getIconState"));
    if (mobilesync_send(springboard, request.get()) != 0)
        return -1;
    plist_t raw = nullptr;
    if (mobilesync_receive(springboard, &raw) != 0)
        return -1;
    const PlistPtr pages = makePlistPtr(raw);
    if (plist_get_node_type(raw) != PLIST_ARRAY)
        return raw ? 0 : -1;

    auto applyName = [this](plist_t entry) {
        const std::string name = PlistValues::string(entry, "displayName");
        const std::string appId = PlistValues::string(entry, "bundleIdentifier");
        if (!name.empty() && !appId.empty())
            m_table->update(appId, [&](AppRecord &r) { r.name = name; });
    };
    const uint32_t pageCount = plist_array_get_size(raw);
    for (uint32_t p = 0; p < pageCount; ++p) {
        plist_t page = plist_array_get_item(raw, p);
        if (plist_get_node_type(page) != PLIST_ARRAY)
            continue;
        const uint32_t entries = plist_array_get_size(page);
        for (uint32_t e = 0; e < entries; ++e) {
            plist_t entry = plist_array_get_item(page, e);
            if (plist_get_node_type(entry) != PLIST_DICT)
                continue;
            if (!plist_dict_get_item(entry, "listType")) {
                applyName(entry);
                continue;
            }
            // A folder holds one array of entries per page.
            plist_t lists = plist_dict_get_item(entry, "iconLists");
            const uint32_t folderPages = plist_get_node_type(lists) == PLIST_ARRAY ? plist_array_get_size(lists) : 0;
            for (uint32_t f = 0; f < folderPages; ++f) {
                plist_t folderPage = plist_array_get_item(lists, f);
                if (plist_get_node_type(folderPage) != PLIST_ARRAY)
                    continue;
                const uint32_t inPage = plist_array_get_size(folderPage);
                for (uint32_t i = 0; i < inPage; ++i)
                    applyName(plist_array_get_item(folderPage, i));
            }
        }
    }
    return 0;
}
