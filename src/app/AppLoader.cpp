#include "AppLoader.h"

#include "AppDocuments.h"
#include "AppContext.h"
#include "AppEvents.h"
#include "AppTable.h"
#include "DeviceFile.h"
#include "DiagLog.h"
#include "PlistValues.h"
#include "communication.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace {

// Bound of one icon: no home-screen icon comes near it.
constexpr uint64_t kMaxIconBytes = 4 * 1024 * 1024;

// An installation_proxy command over the user apps (all of them, or the
// ones named), asking for the given attributes only.
PlistPtr userAppsCommand(const char *name, std::initializer_list<const char *> attributes,
                         const std::vector<std::string> *appIds = nullptr)
{
    PlistPtr command = makePlistPtr(plist_new_dict());
    plist_t options = plist_new_dict();
    plist_dict_set_item(options, "ApplicationType", plist_new_string("User"));
    if (appIds) {
        plist_t ids = plist_new_array();
        for (const std::string &appId : *appIds)
            plist_array_append_item(ids, plist_new_string(appId.c_str()));
        plist_dict_set_item(options, "BundleIDs", ids);
    }
    if (attributes.size()) {
        plist_t names = plist_new_array();
        for (const char *attribute : attributes)
            plist_array_append_item(names, plist_new_string(attribute));
        plist_dict_set_item(options, "ReturnAttributes", names);
    }
    plist_dict_set_item(command.get(), "ClientOptions", options);
    plist_dict_set_item(command.get(), "Command", plist_new_string(name));
    return command;
}

} // namespace

const std::initializer_list<const char *> AppLoader::kAttributes = {
    "CFBundleIdentifier", "CFBundleDisplayName", "CFBundleName", "CFBundleShortVersionString", "CFBundleVersion",
    "Path", "UIFileSharingEnabled", "DynamicDiskUsage", "StaticDiskUsage", "iTunesMetadata"};

AppLoader::AppLoader(const AppContext &context)
    : m_ctx(context), m_table(context.table())
{
}

bool AppLoader::browse(std::initializer_list<const char *> attributes, const std::function<void(plist_t app)> &each) const
{
    ServicePtr conn(zorn_dvpt_OpenService(m_ctx.deviceId().constData(), "com.apple.mobile.installation_proxy"));
    if (!conn)
        return false;

    const PlistPtr command = userAppsCommand("Browse", attributes);

    if (mobilesync_send(conn.get(), command.get()) != 0) {
        DIAG_LOG("app list not asked for");
        return false;
    }
    for (;;) {
        // A list cut short is no list: an empty device must not be shown
        // for one that stopped answering.
        plist_t raw = nullptr;
        if (mobilesync_receive(conn.get(), &raw) != 0 || !raw || plist_dict_get_item(raw, "Error")) {
            plist_free(raw);
            DIAG_LOG("app list not received whole");
            return false;
        }
        const PlistPtr message = makePlistPtr(raw);
        plist_t list = plist_dict_get_item(raw, "CurrentList");
        if (plist_get_node_type(list) == PLIST_ARRAY) {
            // Some devices send pages without CurrentAmount: the list counts.
            uint64_t amount = plist_array_get_size(list);
            PlistValues::uint(raw, "CurrentAmount", &amount);
            const uint64_t count = std::min<uint64_t>(amount, plist_array_get_size(list));
            for (uint32_t i = 0; i < count; ++i)
                each(plist_array_get_item(list, i));
        }
        if (PlistValues::string(raw, "Status") != "BrowsingApplications")
            return true;
    }
}

PlistPtr AppLoader::lookup(const std::vector<std::string> &appIds,
                           std::initializer_list<const char *> attributes) const
{
    ServicePtr conn(zorn_dvpt_OpenService(m_ctx.deviceId().constData(), "com.apple.mobile.installation_proxy"));
    if (!conn)
        return makePlistPtr();
    const PlistPtr command = userAppsCommand("Lookup", attributes, &appIds);
    if (mobilesync_send(conn.get(), command.get()) != 0) {
        DIAG_ERROR();
        return makePlistPtr();
    }
    PlistPtr apps = makePlistPtr(plist_new_array());
    // The answer is one dictionary of apps by identifier; a device may
    // still send a status message after it.
    for (int message = 0; message < 16; ++message) {
        plist_t raw = nullptr;
        if (mobilesync_receive(conn.get(), &raw) != 0 || !raw || plist_dict_get_item(raw, "Error")) {
            plist_free(raw);
            DIAG_LOG("lookup not answered");
            return makePlistPtr();
        }
        const PlistPtr reply = makePlistPtr(raw);
        plist_t result = plist_dict_get_item(raw, "LookupResult");
        if (plist_get_node_type(result) == PLIST_DICT) {
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(result, &it);
            for (;;) {
                char *key = nullptr;
                plist_t value = nullptr;
                plist_dict_next_item(result, it, &key, &value);
                if (!key)
                    break;
                free(key);
                if (plist_get_node_type(value) == PLIST_DICT)
                    plist_array_append_item(apps.get(), plist_copy(value));
            }
            free(it);
        }
        const std::string status = PlistValues::string(raw, "Status");
        if (status.empty() || status == "Complete")
            break;
    }
    return apps;
}

namespace {

// What the helper threads of a load hand to the loading thread, which
// alone emits.
class ChangeQueue
{
public:
    void push(std::string appId, DATACHANGED_REASON reason)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_changes.emplace_back(std::move(appId), reason);
        m_wake.notify_one();
    }
    void started() { std::lock_guard<std::mutex> lock(m_mutex); ++m_running; }
    void finished()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_running;
        m_wake.notify_one();
    }
    // The changes so far; empty once every helper has finished.
    std::deque<std::pair<std::string, DATACHANGED_REASON>> take()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return !m_changes.empty() || m_running == 0; });
        std::deque<std::pair<std::string, DATACHANGED_REASON>> out;
        out.swap(m_changes);
        return out;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::pair<std::string, DATACHANGED_REASON>> m_changes;
    int m_running = 0;
};

// Apps whose containers are to be read, handed to the house-arrest
// connections while the list still arrives.
class ContainerQueue
{
public:
    void push(std::string appId)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_apps.push_back(std::move(appId));
        m_wake.notify_one();
    }
    // No more apps will come; abandon: the ones not taken yet are dropped.
    void close(bool abandon)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        if (abandon)
            m_apps.clear();
        m_wake.notify_all();
    }
    // The next app; false once closed and empty.
    bool take(std::string *appId)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return !m_apps.empty() || m_closed; });
        if (m_apps.empty())
            return false;
        *appId = std::move(m_apps.front());
        m_apps.pop_front();
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::string> m_apps;
    bool m_closed = false;
};

struct NamesReply
{
    int result = -1;
    AppLoader::Names names;
};

} // namespace

int AppLoader::load(int parts, const std::vector<std::string> &appIds)
{
    m_table->clear();
    const QByteArray id = m_ctx.deviceId();
    if (id.isEmpty() || id.at(0) < '0' || id.at(0) > '9')
        return -1;

    // The home screen answers while the installation service lists.
    std::future<NamesReply> names;
    if (parts & AppContext::LoadNames) {
        names = std::async(std::launch::async, [id] {
            NamesReply reply;
            ServicePtr springboard(zorn_dvpt_OpenService(id.constData(), "com.apple.springboardservices"));
            if (!springboard) {
                DIAG_ERROR();
                return reply;
            }
            reply.result = homeScreenNames(springboard.get(), &reply.names);
            if (reply.result != 0)
                DIAG_LOG("home-screen names not read");
            return reply;
        });
    }

    ChangeQueue queue;
    std::vector<std::thread> helpers;
    auto helper = [&queue, &helpers](std::function<void()> work) {
        queue.started();
        helpers.emplace_back([&queue, work = std::move(work)] {
            work();
            queue.finished();
        });
    };
    // Containers are read as the list comes in, on a few connections
    // opened when the first app needs one.
    const bool documents = parts & AppContext::LoadDocuments;
    ContainerQueue containers;
    int containerConnections = 0;
    auto readContainers = [&] {
        std::string appId;
        while (containers.take(&appId)) {
            AppRecord read;
            if (!m_table->find(appId, &read))
                continue;
            const bool hadMetadata = read.hasMetadata;
            read.documents.clear();
            if (getMetadata(appId, &read, documents) != 0 && !hadMetadata)
                DIAG_LOG("no metadata");
            m_table->update(appId, [&](AppRecord &r) {
                if (!hadMetadata) {
                    r.genre = read.genre;
                    r.purchaseAccount = read.purchaseAccount;
                    r.releaseDate = read.releaseDate;
                    r.purchaseDate = read.purchaseDate;
                }
                if (documents && r.fileSharingEnabled) {
                    r.documents = read.documents;
                    r.documentsUnknown = read.documentsUnknown;
                }
            });
            if (!hadMetadata)
                queue.push(appId, INFO_CHANGED);
            if (documents && read.fileSharingEnabled)
                queue.push(appId, DOC_ALL_CHANGED);
        }
    };
    std::vector<std::string> listed;
    auto take = [&](plist_t app) {
        AppRecord record;
        if (!addData(app, &record))
            return;
        listed.push_back(record.appId);
        if (record.hasMetadata && !(documents && record.fileSharingEnabled))
            return;
        if (containerConnections < kContainerConnections) {
            ++containerConnections;
            helper(readContainers);
        }
        containers.push(record.appId);
    };
    bool listedWhole = true;
    if (appIds.empty()) {
        listedWhole = browse(kAttributes, take);
    } else {
        const PlistPtr apps = lookup(appIds, kAttributes);
        const uint32_t count = apps ? plist_array_get_size(apps.get()) : 0;
        for (uint32_t i = 0; i < count; ++i)
            take(plist_array_get_item(apps.get(), i));
        listedWhole = bool(apps);
    }
    containers.close(!listedWhole);
    if (!listedWhole) {
        DIAG_LOG("GetAppList");
        for (std::thread &t : helpers)
            t.join();
        m_table->clear();
        return -1;   // the names' future waits for its thread
    }

    auto applyNames = [this](const Names &list, ChangeQueue *queue) {
        for (const auto &entry : list) {
            bool changed = false;
            m_table->update(entry.first, [&](AppRecord &r) {
                changed = r.name != entry.second;
                r.name = entry.second;
            });
            if (changed && queue)
                queue->push(entry.first, INFO_CHANGED);
        }
    };
    // Names that are in already go out with the list.
    int result = 0;
    bool namesPending = names.valid();
    if (namesPending && names.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        const NamesReply reply = names.get();
        applyNames(reply.names, nullptr);
        result = reply.result;
        namesPending = false;
    }
    m_ctx.events()->loadCompleted(m_table->items());

    if (namesPending) {
        helper([&] {
            const NamesReply reply = names.get();
            applyNames(reply.names, &queue);
            result = reply.result;
        });
    }
    if ((parts & AppContext::LoadIcons) && !listed.empty()) {
        helper([&] {
            ServicePtr springboard(zorn_dvpt_OpenService(id.constData(), "com.apple.springboardservices"));
            if (!springboard) {
                DIAG_LOG("no icons: springboard not reached");
                return;
            }
            for (const std::string &appId : listed) {
                QByteArray png;
                const int rc = iconPng(springboard.get(), appId, &png);
                if (rc == -2) {
                    DIAG_LOG("icon connection lost");
                    return;
                }
                if (rc != 0) {
                    DIAG_LOG("no icon");
                    continue;
                }
                if (m_table->update(appId, [&png](AppRecord &r) { r.png = png; }))
                    queue.push(appId, ICON_CHANGED);
            }
        });
    }
    for (;;) {
        auto changes = queue.take();
        if (changes.empty())
            break;
        for (const auto &change : changes) {
            AppInfoItem item;
            if (!m_table->item(change.first, &item))
                continue;
            if (change.second == DOC_ALL_CHANGED)
                m_ctx.events()->itemChanged(item, DOC_ALL_CHANGED, DocItemInfo());
            else
                m_ctx.events()->itemChanged(item, change.second);
        }
    }
    for (std::thread &t : helpers)
        t.join();
    return result;
}

bool AppLoader::addData(plist_t app, AppRecord *record)
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

    // The list usually carries the store metadata; only apps without it
    // need the container (and file-sharing apps need it for their documents).
    const PlistPtr metadata = makePlistPtr(PlistValues::dictionary(plist_dict_get_item(app, "iTunesMetadata")));
    if (metadata) {
        getMetaplistData(metadata.get(), record);
        record->hasMetadata = true;
    }
    m_table->put(*record);
    return true;
}

int AppLoader::iconPng(ServiceConnection *springboard, const std::string &appId, QByteArray *png)
{
    PlistPtr request = makePlistPtr(plist_new_dict());
    plist_dict_set_item(request.get(), "bundleId", plist_new_string(appId.c_str()));
    plist_dict_set_item(request.get(), "command", plist_new_string("getIconPNGData"));
    if (mobilesync_send(springboard, request.get()) != 0)
        return -2;
    plist_t raw = nullptr;
    if (mobilesync_receive(springboard, &raw) != 0)
        return -2;
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

int AppLoader::getMetadata(const std::string &appId, AppRecord *record, bool documents)
{
    const bool wantMetadata = !record->hasMetadata;
    ServicePtr conn(m_ctx.openConnection("VendContainer", appId.c_str()));
    if (!conn && record->fileSharingEnabled)
        conn.reset(m_ctx.openConnection("VendDocuments", appId.c_str()));
    if (!conn) {
        if (documents && record->fileSharingEnabled)
            record->documentsUnknown = true;
        return -1;
    }
    int result = -1;
    if (wantMetadata) {
        const std::string path = m_ctx.deviceId().toStdString() + "/iTunesMetadata.plist";
        DeviceFile file = DeviceFile::inContainer(conn->fileService);
        uint64_t size = 0;
        if (file.open(path, "rb") == 0) {
            result = 0;
            if (file.size(&size) == 0 && size > 0 && size <= PlistFrame::kMaxBodySize) {
                QByteArray bytes(qsizetype(size), '\0');
                uint64_t got = 0;
                while (got < size) {
                    uint32_t n = uint32_t(size - got);
                    if (file.read(bytes.data() + got, &n) != 0 || n == 0)
                        break;
                    got += n;
                }
                const PlistPtr metadata = makePlistPtr(got ? PlistFrame::parse(bytes.data(), size_t(got)) : nullptr);
                if (plist_get_node_type(metadata.get()) == PLIST_DICT)
                    getMetaplistData(metadata.get(), record);
            }
        }
    }
    if (documents && record->fileSharingEnabled) {
        record->documentsUnknown = AppDocuments::list(m_ctx.deviceId(), conn.get(), record) != 0;
        if (record->documentsUnknown) {
            DIAG_LOG("documents not listed");
            record->documents.clear();
        }
    }
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
    Names names;
    const int result = homeScreenNames(springboard, &names);
    for (const auto &entry : names)
        m_table->update(entry.first, [&](AppRecord &r) { r.name = entry.second; });
    return result;
}

int AppLoader::homeScreenNames(ServiceConnection *springboard, Names *names)
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

    auto addName = [names](plist_t entry) {
        std::string name = PlistValues::string(entry, "displayName");
        std::string appId = PlistValues::string(entry, "bundleIdentifier");
        if (!name.empty() && !appId.empty())
            names->emplace_back(std::move(appId), std::move(name));
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
                addName(entry);
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
                    addName(plist_array_get_item(folderPage, i));
            }
        }
    }
    return 0;
}
