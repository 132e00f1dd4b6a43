#include "AppDocuments.h"

#include "AppContext.h"
#include "AppEvents.h"
#include "AppRecord.h"
#include "AppTable.h"
#include "AppTask.h"
#include "ChunkCopy.h"
#include "DeviceFile.h"
#include "DiagLog.h"
#include "TaskReporter.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <vector>

namespace {

const char kPartialSuffix[] = ".appshuttle-part";

QDateTime fromNanoseconds(uint64_t ns)
{
    return ns ? QDateTime::fromSecsSinceEpoch(qint64(ns / 1000000000ull)) : QDateTime();
}

} // namespace

AppDocuments::AppDocuments(const AppContext &context)
    : m_ctx(context), m_table(context.table())
{
}

std::string AppDocuments::fileName(const QByteArray &path)
{
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    if (name.isEmpty() || name == "." || name == "..")
        return std::string();
    return name.toStdString();
}

std::string AppDocuments::partialName(const std::string &name)
{
    const size_t room = kMaxNameBytes - 1 - (sizeof(kPartialSuffix) - 1);
    size_t cut = std::min(room, name.size());
    // Never in the middle of a UTF-8 sequence.
    while (cut > 0 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return "." + name.substr(0, cut) + kPartialSuffix;
}

bool AppDocuments::isPartialName(const std::string &name)
{
    const size_t suffix = sizeof(kPartialSuffix) - 1;
    return name.size() > suffix + 1 && name[0] == '.'
        && name.compare(name.size() - suffix, suffix, kPartialSuffix) == 0;
}

void AppDocuments::removePartials(const QByteArray &deviceId, ServiceConnection *container)
{
    uint64_t dir = 0;
    if (zorn_dvpt_DirectoryOpen(container->fileService, "/Documents", &dir) != 0)
        return;
    std::vector<std::string> partials;
    const char *entry = nullptr;
    while (zorn_dvpt_DirectoryRead(container->fileService, dir, &entry) == 0 && entry) {
        if (isPartialName(entry))
            partials.emplace_back(entry);
    }
    zorn_dvpt_DirectoryClose(container->fileService, dir);
    for (const std::string &name : partials) {
        const std::string path = deviceId.toStdString() + "/Documents/" + name;
        if (DVPT_RemoveFileEx(container->fileService, path.c_str()) != 0)
            DIAG_LOG("partial document not removed");
    }
}

int AppDocuments::list(const QByteArray &deviceId, ServiceConnection *container, AppRecord *record)
{
    uint64_t dir = 0;
    const int rc = zorn_dvpt_DirectoryOpen(container->fileService, "/Documents", &dir);
    if (rc != 0)
        return rc;
    const std::string prefix = deviceId.toStdString() + "/Documents/";
    const char *entry = nullptr;
    while (zorn_dvpt_DirectoryRead(container->fileService, dir, &entry) == 0 && entry) {
        const std::string name(entry);
        // An add that never finished is not a document.
        if (name == "." || name == ".." || name.empty() || isPartialName(name))
            continue;
        DocRecord doc;
        doc.name = name;
        doc.path = prefix + name;
        // One request per document: its kind, size and times together.
        uint64_t size = 0, modified = 0, created = 0;
        int isFile = 0;
        const int info = DVPT_GetFileInfoEx(container->fileService, doc.path.c_str(), &size, &modified, &created, &isFile);
        if (info != 0) {
            // A listing with holes is no listing.
            DIAG_LOG("document not read: listing failed");
            zorn_dvpt_DirectoryClose(container->fileService, dir);
            record->documents.clear();
            return info;
        }
        if (!isFile)
            continue;
        doc.size = size;
        doc.modifiedTime = fromNanoseconds(modified);
        doc.createdTime = fromNanoseconds(created);
        record->documents.push_back(doc);
    }
    zorn_dvpt_DirectoryClose(container->fileService, dir);
    if (!record->documents.empty())
        record->sortDocuments();
    return 0;
}

ServicePtr AppDocuments::openContainer(const std::string &appId) const
{
    // Devices from 8.3 on refuse the container of App Store apps but still
    // vend their Documents folder to File Sharing.
    ServicePtr conn(m_ctx.openConnection("VendContainer", appId.c_str()));
    if (!conn)
        conn.reset(m_ctx.openConnection("VendDocuments", appId.c_str()));
    return conn;
}

void AppDocuments::refreshTimes(ServiceConnection *container, DocRecord *doc) const
{
    uint64_t size = 0, modified = 0, created = 0;
    if (zorn_dvpt_get_file_info(container->fileService, doc->path.c_str(), &size, &modified, &created) == 0) {
        doc->modifiedTime = fromNanoseconds(modified);
        doc->createdTime = fromNanoseconds(created);
    }
}

void AppDocuments::announceAdded(const std::string &appId, const DocRecord &doc, AppTask *task)
{
    AppInfoItem item;
    if (!m_table->updateItem(appId, [&](AppRecord &r) {
            r.documents.push_back(doc);
            r.sortDocuments();
        }, &item))
        return;
    m_ctx.events()->docAdded(item, doc.toItem(), task);
    m_ctx.events()->itemChanged(item, DOC_ICON_CHANGED, doc.toItem());
}

void AppDocuments::forget(const std::string &appId, const std::string &name)
{
    DocRecord removed;
    AppInfoItem item;
    bool found = false;
    m_table->updateItem(appId, [&](AppRecord &r) {
        if (DocRecord *doc = r.document(name)) {
            removed = *doc;
            found = true;
            if (r.documentSize >= doc->size)
                r.documentSize -= doc->size;
        }
    }, &item);
    if (!found)
        return;
    m_ctx.events()->itemChanged(item, DOC_REMOVED, removed.toItem());
    m_ctx.events()->itemChanged(item, DOCSIZE_CHANGED);
    m_table->update(appId, [&](AppRecord &r) {
        for (auto it = r.documents.begin(); it != r.documents.end(); ++it) {
            if (it->name == name) {
                r.documents.erase(it);
                break;
            }
        }
    });
}

int AppDocuments::add(const std::string &appId, const QByteArray &localPath, AppTask *task)
{
    const std::string name = fileName(localPath);
    QFile local(QString::fromUtf8(localPath));
    if (name.empty() || !local.open(QIODevice::ReadOnly)) {
        DIAG_LOG("local file not opened");
        return -1;
    }
    const qint64 total = local.size();
    if (total <= 0) {
        // Nothing reaches the device for an empty file.
        DIAG_LOG("local file is empty");
        return -2;
    }
    ServicePtr container = openContainer(appId);
    if (!container) {
        DIAG_LOG("container not opened");
        return -1;
    }
    const int fs = container->fileService;
    const std::string prefix = m_ctx.deviceId().toStdString() + "/Documents/";
    const std::string path = prefix + name;
    removePartials(m_ctx.deviceId(), container.get());

    DocRecord previous;
    bool replacing = false;
    uint64_t probe = 0;
    if (zorn_dvpt_fopenEx(fs, path.c_str(), "1", &probe) == 0) {
        zorn_dvpt_FileCloseEx(fs, probe);
        bool overwrite = false;
        if (task)
            task->requestOverwriteConfirm(&overwrite);
        if (!overwrite)
            return -1006;
        AppRecord record;
        if (m_table->find(appId, &record) && record.document(name)) {
            previous = *record.document(name);
            replacing = true;
        }
        forget(appId, name);
    }

    // The new content goes to a hidden name first, so an existing document
    // stays whole until the copy is complete.
    const std::string partial = prefix + partialName(name);
    DeviceFile remote = DeviceFile::inContainer(fs);
    int result = remote.open(partial, "wb");
    if (result != 0) {
        if (replacing)
            announceAdded(appId, previous, nullptr);
        return result;
    }
    DocRecord doc;
    doc.name = name;
    doc.path = path;
    doc.size = uint64_t(total);
    refreshTimes(container.get(), &doc);
    announceAdded(appId, doc, task);

    TaskReporter reporter(task, RECV_STATUS_WHOLE);
    // Views show the size growing, one step per whole percent.
    const auto progress = [&](uint64_t sent) {
        const int percent = int(float(sent) / float(total) * 100.0f);
        if (percent == reporter.lastPercent())
            return;
        DocRecord progressed = doc;
        progressed.size = sent;
        AppInfoItem item;
        m_table->updateItem(appId, [&](AppRecord &r) {
            if (DocRecord *d = r.document(name))
                d->size = sent;
        }, &item);
        reporter.report("DownLoad", percent);
        m_ctx.events()->itemChanged(item, DOC_SIZE_CHANGED, progressed.toItem());
    };
    result = ChunkCopy::send(local, remote, uint64_t(total), reporter, -3, task, progress);
    const int closed = remote.close();
    if (result == 0 && closed != 0)
        result = closed;
    if (result == 0 && (result = DVPT_RenameFileEx(fs, partial.c_str(), path.c_str())) != 0)
        DIAG_LOG("document not moved into place");

    if (result != 0) {
        // A connection that broke cannot clean up after itself: a fresh one can.
        if (DVPT_RemoveFileEx(fs, partial.c_str()) != 0) {
            ServicePtr again = openContainer(appId);
            if (!again || DVPT_RemoveFileEx(again->fileService, partial.c_str()) != 0)
                DIAG_LOG("partial document left on the device");
        }
        forget(appId, name);
        if (replacing)
            announceAdded(appId, previous, nullptr);
        return result;
    }
    reporter.report("DownLoadOK", 100);
    refreshTimes(container.get(), &doc);
    AppInfoItem item;
    m_table->updateItem(appId, [&](AppRecord &r) {
        r.documentSize += uint64_t(total);
        if (DocRecord *d = r.document(name)) {
            d->size = uint64_t(total);
            d->modifiedTime = doc.modifiedTime;
            d->createdTime = doc.createdTime;
        }
    }, &item);
    m_ctx.events()->itemChanged(item, DOC_CREATED_CHANGED, doc.toItem());
    m_ctx.events()->itemChanged(item, DOCSIZE_CHANGED);
    return 0;
}

int AppDocuments::exportTo(const std::string &appId, const QByteArray &docName, const QByteArray &targetPath,
                           AppTask *task)
{
    const std::string name = fileName(docName);
    if (name.empty() || targetPath.isEmpty()) {
        DIAG_LOG("no document name or target");
        return -1;
    }
    ServicePtr container = openContainer(appId);
    if (!container) {
        DIAG_LOG("container not opened");
        return -1;
    }
    const int fs = container->fileService;
    const std::string path = m_ctx.deviceId().toStdString() + "/Documents/" + name;
    DeviceFile remote = DeviceFile::inContainer(fs);
    int result = remote.open(path, "rb");
    if (result != 0)
        return result;
    // A size that cannot be read is no size: never a copy of nothing.
    uint64_t size = 0;
    if (remote.size(&size) != 0)
        return -2;
    // Written beside the target and moved over it only when complete.
    QSaveFile target(QString::fromUtf8(targetPath));
    if (!target.open(QIODevice::WriteOnly)) {
        DIAG_LOG("local file not created");
        return -2;
    }
    TaskReporter reporter(task, RECV_STATUS_WHOLE);
    result = ChunkCopy::run(ChunkCopy::from(remote), ChunkCopy::to(target), size, reporter, -2, task);
    remote.close();
    if (result == 0 && !target.commit()) {
        DIAG_LOG("local file not completed");
        result = -2;
    }
    if (result != 0) {
        target.cancelWriting();
        return result;
    }
    reporter.report("DownLoadOK", 100);
    return 0;
}

int AppDocuments::remove(const std::string &appId, const QByteArray &docName)
{
    const std::string name = fileName(docName);
    if (name.empty()) {
        DIAG_LOG("no document name");
        return -1;
    }
    ServicePtr container = openContainer(appId);
    if (!container) {
        DIAG_LOG("container not opened");
        return -1;
    }
    const std::string path = m_ctx.deviceId().toStdString() + "/Documents/" + name;
    const int result = DVPT_RemoveFileEx(container->fileService, path.c_str());
    if (result == 0)
        forget(appId, name);
    return result;
}
