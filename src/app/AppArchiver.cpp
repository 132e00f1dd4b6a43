#include "AppArchiver.h"

#include "AppHandler.h"
#include "AppMessages.h"
#include "AppTable.h"
#include "AppTask.h"
#include "DiagLog.h"
#include "IPodDeviceInfo.h"
#include "PlistFrame.h"
#include "InstallProxy.h"
#include "ItunesInteract.h"
#include "TaskReporter.h"
#include "communication.h"
#include "ipodzip.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t kChunk = 1024 * 1024;

} // namespace

AppArchiver::AppArchiver(AppHandler *handler, AppTable *table)
    : m_handler(handler), m_table(table)
{
}

QString AppArchiver::exportFileName(const std::string &appId, bool appOnly) const
{
    AppRecord record;
    m_table->find(appId, &record);
    return AppMessages::exportFileName(QString::fromUtf8(record.name.c_str()), QString::fromUtf8(record.version.c_str()),
                                       QString::fromUtf8(appId.c_str()), appOnly);
}

int AppArchiver::removeArchive(const std::string &appId, AppTask *task)
{
    const PlistPtr command = InstallProxy::appCommand("RemoveArchive", appId);
    return InstallProxy::run(m_handler->deviceId(), command.get(), task, RECV_STATUS_WHOLE);
}

int AppArchiver::archive(const std::string &appId, bool appOnly, const QByteArray &targetPath, AppTask *task)
{
    if (!m_handler->canExportApps()) {
        DIAG_LOG("the device's iOS no longer archives apps: export refused");
        return -1010;
    }
    if (targetPath.isEmpty()) {
        DIAG_LOG("no target");
        return -1;
    }
    AppRecord record;
    m_table->find(appId, &record);
    const double size = double(record.appSize) + (appOnly ? 0.0 : double(record.documentSize));
    if (!hasEnoughSpace(m_handler->deviceId(), size))
        return -1009;

    removeArchive(appId, nullptr);
    PlistPtr command = InstallProxy::appCommand("Archive", appId);
    plist_t options = plist_new_dict();
    plist_dict_set_item(options, "SkipUninstall", plist_new_bool(1));
    if (appOnly)
        plist_dict_set_item(options, "ArchiveType", plist_new_string("ApplicationOnly"));
    plist_dict_set_item(command.get(), "ClientOptions", options);
    int result = InstallProxy::run(m_handler->deviceId(), command.get(), task, RECV_STATUS_FIRST_HALF);
    if (result != 0) {
        DIAG_ERROR();
        removeArchive(appId, nullptr);
        return result;
    }

    // The package appears under its name only complete and tagged.
    const QString target = QString::fromUtf8(targetPath);
    const QString temporary = target + QLatin1String(".tmp");
    result = copyArchive(appId, temporary, task);
    // Tagged with the UDID, which survives a replug (the usbmux number does not).
    if (result == 0 && ipod_zip_append(QFile::encodeName(temporary).constData(), m_handler->udid().constData()) != 0) {
        DIAG_LOG("package not tagged");
        result = -2;
    }
    if (result == 0 && std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) != 0) {
        DIAG_LOG("package not moved into place");
        result = -2;
    }
    if (result != 0)
        QFile::remove(temporary);
    removeArchive(appId, nullptr);
    return result;
}

int AppArchiver::copyArchive(const std::string &appId, const QString &localPath, AppTask *task)
{
    const QByteArray id = m_handler->deviceId();
    const std::string path = id.toStdString() + "/ApplicationArchives/" + appId + ".zip";
    uint64_t ref = 0;
    int result = zorn_dvpt_fopen(id.constData(), path.c_str(), "rb", &ref);
    if (result != 0)
        return result;
    int64_t end = -1;
    if (zorn_dvpt_FileRefSeek(id.constData(), ref, 0, 2) == 0) {
        end = zorn_dvpt_FileTell(id.constData(), ref);
        if (zorn_dvpt_FileRefSeek(id.constData(), ref, 0, 0) != 0)
            end = -1;
    }
    if (end <= 0) {
        // An empty archive holds no app: that is no export.
        zorn_dvpt_FileClose(id.constData(), ref);
        DIAG_LOG("the device's archive is empty");
        return -2;
    }
    const uint64_t size = uint64_t(end);
    QFile local(localPath);
    if (!local.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        zorn_dvpt_FileClose(id.constData(), ref);
        DIAG_LOG("local file not created");
        return -2;
    }
    TaskReporter reporter(task, RECV_STATUS_SECOND_HALF);
    std::vector<char> chunk(kChunk);
    uint64_t done = 0;
    for (;;) {
        if (task && task->isCancelled()) {
            DIAG_LOG("cancelled");
            result = AppTask::kCancelled;
            break;
        }
        uint32_t n = kChunk;
        if (zorn_dvpt_FileRefRead(id.constData(), ref, chunk.data(), &n) != 0) {
            reporter.report("Error", qMax(0, reporter.lastPercent()), "zorn_dvpt_FileRefRead Error");
            result = -2;
            break;
        }
        if (n == 0) {
            result = done == size ? 0 : -2;
            if (result != 0)
                DIAG_LOG("archive ended early");
            break;
        }
        if (local.write(chunk.data(), n) != qint64(n)) {
            DIAG_LOG("local write failed");
            result = -2;
            break;
        }
        done += n;
        reporter.progress(done, size);
    }
    zorn_dvpt_FileClose(id.constData(), ref);
    if (!local.flush())
        result = result ? result : -2;
    local.close();
    if (local.error() != QFileDevice::NoError && result == 0) {
        DIAG_LOG("local file not completed");
        result = -2;
    }
    if (result == 0)
        reporter.report("DownLoadOK", 100);
    return result;
}

int AppArchiver::exportToiTunes(const std::string &appId, bool appOnly, AppTask *task)
{
    if (!m_handler->canExportApps()) {
        DIAG_LOG("the device's iOS no longer archives apps: export refused");
        return -1010;
    }
    ItunesInteract itunes;
    const QString music = itunes.GetMusicFolderPathEx();
    if (music.isEmpty()) {
        DIAG_LOG("iTunes music folder unknown");
        return -1;
    }
    const QString folder = music + QLatin1Char('/') + itunes.GetAutoDirectoryName();
    if (!QDir().mkpath(folder)) {
        DIAG_LOG("iTunes import folder not available");
        return -1;
    }
    const QString target = QDir::toNativeSeparators(folder + QLatin1Char('/') + exportFileName(appId, appOnly));
    return archive(appId, appOnly, target.toUtf8(), task);
}
