#include "AppInstaller.h"

#include "AppContext.h"
#include "AppEvents.h"
#include "AppLoader.h"
#include "AppPackage.h"
#include "AppTable.h"
#include "AppTask.h"
#include "ChunkCopy.h"
#include "DeviceFile.h"
#include "DiagLog.h"
#include "IPodDeviceInfo.h"
#include "InstallProxy.h"
#include "PlistFrame.h"
#include "TaskReporter.h"
#include "communication.h"
#include "ipodzip.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The state of one restore of a package's "Container" into the app's
// container: the entry being written stays open across its blocks.
struct ContainerWriter
{
    int fileService = 0;
    std::string prefix;          // "<device id>/"
    bool documentsOnly = false;  // only the Documents folder was vended
    std::string openName;
    uint64_t ref = 0;
    bool open = false;
    // What the restore may write: the package's declared sizes, and what the
    // device had free when it began. Beyond either it stops.
    uint64_t limit = 0;
    uint64_t written = 0;
    bool exceeded = false;

    void closeOpen()
    {
        if (open)
            zorn_dvpt_FileCloseEx(fileService, ref);
        open = false;
        openName.clear();
    }
};

int writeContainerEntry(const char *rawName, const char *data, int length, uint64_t offset, int isDirectory,
                        void *context)
{
    auto *w = static_cast<ContainerWriter *>(context);
    if (!w || !w->fileService || !rawName)
        return 0;
    std::string name(rawName, strnlen(rawName, 511));
    for (char &c : name) {
        if (c == '\\')
            c = '/';
    }
    if (w->documentsOnly && name.compare(0, 10, "Documents/") != 0)
        return 0;
    if (isDirectory) {
        w->closeOpen();
        zorn_dvpt_DirectoryCreateEx(w->fileService, (w->prefix + name).c_str());
        return 0;
    }
    if (offset == 0 || name != w->openName) {
        w->closeOpen();
        const std::string path = w->prefix + name;
        if (zorn_dvpt_fopenEx(w->fileService, path.c_str(), offset == 0 ? "wb" : "ab", &w->ref) != 0)
            return -1;
        w->open = true;
        w->openName = name;
        if (offset != 0 && zorn_dvpt_FileRefSeekEx(w->fileService, w->ref, int64_t(offset), 0) != 0)
            return -1;
    }
    if (length > 0 && uint64_t(length) > w->limit - w->written) {
        DIAG_LOG("saved container larger than declared or than the free space: restore stopped");
        w->exceeded = true;
        const std::string path = w->prefix + w->openName;
        w->closeOpen();
        DVPT_RemoveFileEx(w->fileService, path.c_str());
        return -1009;
    }
    if (length > 0 && zorn_dvpt_FileRefWriteEx(w->fileService, w->ref, data, uint32_t(length)) != 0)
        return -1;
    w->written += uint64_t(length);
    return 0;
}

} // namespace

AppInstaller::AppInstaller(const AppContext &context)
    : m_ctx(context), m_table(context.table())
{
}

QByteArray AppInstaller::deviceFamilies() const
{
    const QByteArray id = m_ctx.deviceId();
    const int length = zorn_dvpt_get_device_info_length(id.constData());
    if (length <= 0 || length > 4096) {
        DIAG_ERROR();
        return QByteArray();
    }
    QByteArray buffer(length + 1, '\0');
    if (zorn_dvpt_get_device_info(id.constData(), buffer.data(), length + 1) != 0) {
        DIAG_ERROR();
        return QByteArray();
    }
    buffer.truncate(int(qstrnlen(buffer.constData(), uint(length + 1))));
    return buffer;
}

int AppInstaller::install(const QByteArray &packagePath, AppTask *task)
{
    AppPackage package;
    if (package.read(packagePath) != 0)
        return -1;
    const int supported = package.isSupported(deviceFamilies(), m_ctx.deviceInfo().firmwareVersion());
    if (supported != 0) {
        DIAG_LOG(supported == -1001 ? "the app does not support the device's family"
                                    : "the app needs a newer system than the device's");
        return supported;
    }
    const std::string &bundleId = package.bundleId();

    // Room for what the device will hold: the staged package, and the app
    // and saved data it unpacks (a small package may unpack to much more).
    uint64_t unpacked = 0;
    if (ipod_zip_unpacked_size(packagePath.constData(), nullptr, &unpacked) != 0)
        return -1;
    const double needed = double(QFileInfo(QString::fromUtf8(packagePath)).size()) + double(unpacked);
    if (!hasEnoughSpace(m_ctx.deviceId(), needed)) {
        DIAG_LOG("too little free space for the package and what it unpacks");
        return -1009;
    }

    // The installed copy stays until the new one is known to install: the
    // device installs over it and keeps its data.
    const bool wasInstalled = isInstalled(bundleId);
    if (wasInstalled) {
        bool overwrite = false;
        if (task)
            task->requestOverwriteConfirm(&overwrite);
        if (!overwrite)
            return -1005;
    }

    std::string stagingPath;
    const int uploaded = upload(packagePath, bundleId, task, &stagingPath);
    if (uploaded != 0)
        return uploaded;

    PlistPtr command = makePlistPtr(plist_new_dict());
    plist_t options = plist_new_dict();
    if (package.signature())
        plist_dict_set_item(options, "ApplicationSINF", plist_copy(package.signature()));
    if (package.metadata())
        plist_dict_set_item(options, "iTunesMetadata", plist_copy(package.metadata()));
    if (plist_dict_get_size(options) > 0)
        plist_dict_set_item(command.get(), "ClientOptions", options);
    else
        plist_free(options);
    plist_dict_set_item(command.get(), "Command", plist_new_string("Install"));
    plist_dict_set_item(command.get(), "PackagePath", plist_new_string(stagingPath.c_str()));
    int result = InstallProxy::run(m_ctx.deviceId(), command.get(), task, RECV_STATUS_SECOND_HALF);
    // The device keeps the staged package; it is ours to remove, whatever came of the install.
    const std::string staged = m_ctx.deviceId().toStdString() + "/" + stagingPath;
    if (zorn_dvpt_RemovePath(m_ctx.deviceId().constData(), staged.c_str()) != 0)
        DIAG_LOG("staged package not removed");
    if (result != 0)
        return result;

    // Saved documents go back only into an app that did install. A restore
    // that would write more than it declared, or than fits, is a failure;
    // an app that was not there before goes again.
    result = restoreContainer(packagePath, bundleId);
    if (result != 0) {
        if (!wasInstalled && uninstall(bundleId, nullptr) != 0)
            DIAG_LOG("app of a failed restore not removed");
        return result;
    }
    result = announceInstalled(bundleId, task);
    if (result != 0)
        return result;

    if (ipod_zip_has_device_tag(packagePath.constData(), m_ctx.udid().constData()) != 0)
        result = -1003;
    return result;
}

int AppInstaller::upload(const QByteArray &packagePath, const std::string &bundleId, AppTask *task,
                         std::string *stagingPath)
{
    QFile local(QString::fromUtf8(packagePath));
    if (!local.open(QIODevice::ReadOnly) || local.size() <= 0) {
        DIAG_LOG("package not readable or empty");
        return -2;
    }
    const QByteArray id = m_ctx.deviceId();
    const std::string relative = "PublicStaging/" + bundleId + ".zip";
    const std::string devicePath = id.toStdString() + "/" + relative;
    zorn_dvpt_DirectoryCreate(id.constData(), "PublicStaging");
    DeviceFile remote = DeviceFile::inMedia(id);
    int result = remote.open(devicePath, "wb");
    if (result != 0)
        return result;

    TaskReporter reporter(task, RECV_STATUS_FIRST_HALF);
    result = ChunkCopy::send(local, remote, uint64_t(local.size()), reporter, -2, task);
    const int closed = remote.close();
    if (result == 0)
        result = closed;
    if (result != 0) {
        zorn_dvpt_RemovePath(id.constData(), devicePath.c_str());
        return result;
    }
    reporter.report("DownLoadOK", 100);
    *stagingPath = relative;
    return 0;
}

int AppInstaller::restoreContainer(const QByteArray &packagePath, const std::string &bundleId)
{
    ContainerWriter writer;
    uint64_t declared = 0, freeBytes = 0, total = 0, block = 0;
    if (ipod_zip_unpacked_size(packagePath.constData(), "Container", &declared) != 0)
        return -1;
    if (declared == 0)
        return 0;
    if (!DVPT_GetDiskSpace(m_ctx.deviceId().constData(), &freeBytes, &total, &block)) {
        DIAG_LOG("free space unknown: saved container not restored");
        return -1009;
    }
    writer.limit = std::min(declared, freeBytes);
    ServicePtr container(m_ctx.openConnection("VendContainer", bundleId.c_str()));
    if (!container) {
        container.reset(m_ctx.openConnection("VendDocuments", bundleId.c_str()));
        writer.documentsOnly = true;
    }
    if (!container)
        return 0;
    writer.fileService = container->fileService;
    writer.prefix = m_ctx.deviceId().toStdString() + "/";
    const int result = ipod_get_zip_Folder(packagePath.constData(), "Container", writeContainerEntry, &writer);
    writer.closeOpen();
    if (writer.exceeded)
        return -1009;
    if (result != 0)
        DIAG_LOG("saved container not restored completely");
    return 0;
}

int AppInstaller::announceInstalled(const std::string &bundleId, AppTask *task)
{
    const QByteArray id = m_ctx.deviceId();
    AppLoader loader(m_ctx);
    // The one app, not the whole list again.
    PlistPtr apps = loader.lookup({bundleId}, AppLoader::kAttributes);
    plist_t app = apps ? FindAppByBundleId(apps.get(), bundleId.c_str()) : nullptr;
    if (!app) {
        DIAG_LOG("installed app not in the device's list");
        return -1007;
    }
    if (m_table->erase(bundleId))
        m_ctx.events()->itemRemoved(bundleId);
    AppRecord record;
    if (!loader.addData(app, &record)) {
        DIAG_ERROR();
        return 0;
    }
    const int parts = m_ctx.loadParts();
    if (!record.hasMetadata || ((parts & AppContext::LoadDocuments) && record.fileSharingEnabled)) {
        if (loader.getMetadata(bundleId, &record, parts & AppContext::LoadDocuments) != 0 && !record.hasMetadata)
            DIAG_LOG("no metadata");
    }
    ServicePtr springboard;
    if (parts & (AppContext::LoadIcons | AppContext::LoadNames)) {
        springboard.reset(zorn_dvpt_OpenService(id.constData(), "com.apple.springboardservices"));
        if (!springboard)
            DIAG_ERROR();
    }
    if (springboard && (parts & AppContext::LoadIcons) && AppLoader::iconPng(springboard.get(), bundleId, &record.png) != 0)
        DIAG_LOG("no icon");
    m_table->put(record);
    if (springboard && (parts & AppContext::LoadNames))
        loader.applyHomeScreenNames(springboard.get());
    AppInfoItem item;
    if (m_table->item(bundleId, &item))
        m_ctx.events()->itemAdded(item, task);
    return 0;
}

bool AppInstaller::isInstalled(const std::string &bundleId) const
{
    if (m_table->contains(bundleId))
        return true;
    // Nothing loaded (the command line installs without listing): ask.
    PlistPtr apps = AppLoader(m_ctx).lookup({bundleId}, {"CFBundleIdentifier"});
    return apps && FindAppByBundleId(apps.get(), bundleId.c_str());
}

void AppInstaller::refreshHomeScreenNames()
{
    ServicePtr springboard(zorn_dvpt_OpenService(m_ctx.deviceId().constData(), "com.apple.springboardservices"));
    if (!springboard)
        return;
    AppLoader(m_ctx).applyHomeScreenNames(springboard.get());
}

int AppInstaller::uninstall(const std::string &appId, AppTask *task)
{
    const PlistPtr command = InstallProxy::appCommand("Uninstall", appId);
    const int result = InstallProxy::run(m_ctx.deviceId(), command.get(), task, RECV_STATUS_WHOLE);
    if (result != 0)
        return result;
    // Only an app that is really gone leaves the list.
    m_table->erase(appId);
    refreshHomeScreenNames();
    m_ctx.events()->itemRemoved(appId);
    return 0;
}
