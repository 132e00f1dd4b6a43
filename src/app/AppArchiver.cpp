#include "AppArchiver.h"

#include "AppContext.h"
#include "AppEvents.h"
#include "AppMessages.h"
#include "AppTable.h"
#include "AppTask.h"
#include "ChunkCopy.h"
#include "DeviceFile.h"
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
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <vector>


AppArchiver::AppArchiver(const AppContext &context)
    : m_ctx(context), m_table(context.table())
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
    return InstallProxy::run(m_ctx.deviceId(), command.get(), task, RECV_STATUS_WHOLE);
}

int AppArchiver::archive(const std::string &appId, bool appOnly, const QByteArray &targetPath, AppTask *task)
{
    if (!m_ctx.canExportApps()) {
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
    if (!hasEnoughSpace(m_ctx.deviceId(), size))
        return -1009;

    removeArchive(appId, nullptr);
    PlistPtr command = InstallProxy::appCommand("Archive", appId);
    plist_t options = plist_new_dict();
    plist_dict_set_item(options, "SkipUninstall", plist_new_bool(1));
    if (appOnly)
        plist_dict_set_item(options, "ArchiveType", plist_new_string("ApplicationOnly"));
    plist_dict_set_item(command.get(), "ClientOptions", options);
    int result = InstallProxy::run(m_ctx.deviceId(), command.get(), task, RECV_STATUS_FIRST_HALF);
    if (result != 0) {
        DIAG_ERROR();
        removeArchive(appId, nullptr);
        return result;
    }

    // The package appears under its name only complete and tagged.
    // Its temporary name is this export's own, so two exports of one app
    // into one folder never write into each other's file.
    const QString target = QString::fromUtf8(targetPath);
    QTemporaryFile reserved(QFileInfo(target).absolutePath() + QStringLiteral("/.appshuttle-export-XXXXXX"));
    reserved.setAutoRemove(false);
    if (!reserved.open()) {
        DIAG_LOG("temporary file not created");
        removeArchive(appId, nullptr);
        return -2;
    }
    const QString temporary = reserved.fileName();
    reserved.close();
    result = copyArchive(appId, temporary, task);
    // Tagged with the UDID, which survives a replug (the usbmux number does not).
    if (result == 0 && ipod_zip_append(QFile::encodeName(temporary).constData(), m_ctx.udid().constData()) != 0) {
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
    const QByteArray id = m_ctx.deviceId();
    const std::string path = id.toStdString() + "/ApplicationArchives/" + appId + ".zip";
    DeviceFile remote = DeviceFile::inMedia(id);
    int result = remote.open(path, "rb");
    if (result != 0)
        return result;
    uint64_t size = 0;
    if (remote.size(&size) != 0 || size == 0) {
        // An empty archive holds no app, and an unknown size is none: no export.
        DIAG_LOG("the device's archive is empty or its size unknown");
        return -2;
    }
    QFile local(localPath);
    if (!local.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        DIAG_LOG("local file not created");
        return -2;
    }
    TaskReporter reporter(task, RECV_STATUS_SECOND_HALF);
    result = ChunkCopy::run(ChunkCopy::from(remote), ChunkCopy::to(local), size, reporter, -2, task);
    remote.close();
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
    if (!m_ctx.canExportApps()) {
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
