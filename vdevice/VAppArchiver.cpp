#include "VAppArchiver.h"

#include "VAppError.h"
#include "VAppPlist.h"
#include "VAppStore.h"
#include "VPackageReader.h"

#include "DiagLog.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QTemporaryDir>
#include <QUuid>

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cstdlib>
#include <cstring>

#include <memory>

namespace {
constexpr int kMaxArchivesListed = 10000;

struct ProgressState
{
    const VAppArchiver::Progress *progress;
    int last;
};

void onZipProgress(zip_t *, double fraction, void *context)
{
    auto *state = static_cast<ProgressState *>(context);
    const int percent = int(fraction * 100);
    if (percent != state->last && state->progress && *state->progress) {
        state->last = percent;
        (*state->progress)(percent);
    }
}

// Adds a tree under the zip name prefix: folders as folder entries, files
// read from disk when the archive is closed, links as link entries.
bool addTree(zip_t *zip, const QString &dir, const QString &prefix, const QStringList &skip)
{
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QStringList names;
    while (it.hasNext()) {
        it.next();
        if (!skip.contains(it.fileName()))
            names << it.fileName();
    }
    names.sort();
    for (const QString &name : names) {
        const QString path = dir + QLatin1Char('/') + name;
        const QString entry = prefix + name;
        const QFileInfo info(path);
        if (info.isSymLink()) {
            char target[1024];
            const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
            if (n <= 0 || n >= ssize_t(sizeof target))
                continue;
            void *copy = malloc(size_t(n));   // libzip frees it (freep = 1)
            memcpy(copy, target, size_t(n));
            zip_source_t *source = zip_source_buffer(zip, copy, zip_uint64_t(n), 1);
            const zip_int64_t index = source ? zip_file_add(zip, entry.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) : -1;
            if (index < 0) {
                if (source)
                    zip_source_free(source);
                else
                    free(copy);
                return false;
            }
            zip_file_set_external_attributes(zip, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(S_IFLNK | 0777) << 16);
            continue;
        }
        if (info.isDir()) {
            if (zip_dir_add(zip, (entry + QLatin1Char('/')).toUtf8().constData(), ZIP_FL_ENC_UTF_8) < 0
                || !addTree(zip, path, entry + QLatin1Char('/'), {}))
                return false;
            continue;
        }
        if (!info.isFile())
            continue;
        zip_source_t *source = zip_source_file(zip, QFile::encodeName(path).constData(), 0, -1);
        const zip_int64_t index = source ? zip_file_add(zip, entry.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            zip_source_free(source);
            return false;
        }
        // Stored: archives only cross a local socket, and compressing here
        // would make the device, not the client, the slow end of a benchmark.
        zip_set_file_compression(zip, zip_uint64_t(index), ZIP_CM_STORE, 0);
    }
    return true;
}
} // namespace

VAppArchiver::VAppArchiver(VAppStore &store, const QString &mediaDir)
    : m_store(store)
    , m_mediaDir(mediaDir)
{
}

QString VAppArchiver::archiveDir() const
{
    return m_mediaDir + QStringLiteral("/ApplicationArchives");
}

QString VAppArchiver::archivePath(const QString &identifier) const
{
    return archiveDir() + QLatin1Char('/') + identifier + QStringLiteral(".zip");
}

int VAppArchiver::archive(const QString &identifier, const QString &archiveType, const Progress &progress)
{
    // Held throughout, so that the app does not change while it is read.
    QMutexLocker locker(&m_store.mutex());
    if (!m_store.contains(identifier)) {
        DIAG_LOG("archive of an app that is not installed");
        return VAppError::UnknownApp;
    }
    if (!QDir().mkpath(archiveDir())) {
        DIAG_LOG("archive folder cannot be created");
        return VAppError::ArchiveFailed;
    }
    const bool appOnly = archiveType == QLatin1String("ApplicationOnly");
    const bool docsOnly = archiveType == QLatin1String("DocumentsOnly");
    const QString bundle = m_store.bundleFolder(identifier);
    const QString appDir = m_store.appDir(identifier);
    const QString partial = archiveDir() + QStringLiteral("/.") + identifier + QStringLiteral(".partial-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces);
    int zipError = 0;
    zip_t *zip = zip_open(QFile::encodeName(partial).constData(), ZIP_CREATE | ZIP_TRUNCATE, &zipError);
    if (!zip) {
        DIAG_LOG("archive cannot be created");
        return VAppError::ArchiveFailed;
    }
    std::unique_ptr<zip_t, decltype(&zip_discard)> guard(zip, &zip_discard);
    bool ok = true;
    if (!docsOnly) {
        const QString prefix = QStringLiteral("Payload/") + bundle + QLatin1Char('/');
        ok = zip_dir_add(zip, "Payload/", ZIP_FL_ENC_UTF_8) >= 0
            && zip_dir_add(zip, prefix.toUtf8().constData(), ZIP_FL_ENC_UTF_8) >= 0
            && addTree(zip, appDir + QLatin1Char('/') + bundle, prefix, {});
        const QString metadata = appDir + QLatin1Char('/') + QLatin1String(VAppStore::kMetadataFile);
        if (ok && QFileInfo(metadata).isFile() && !QFileInfo(metadata).isSymLink()) {
            zip_source_t *source = zip_source_file(zip, QFile::encodeName(metadata).constData(), 0, -1);
            ok = source && zip_file_add(zip, VAppStore::kMetadataFile, source, ZIP_FL_ENC_UTF_8) >= 0;
            if (!ok && source)
                zip_source_free(source);
        }
    }
    if (ok && !appOnly) {
        QStringList skip{QLatin1String(VAppStore::kRecordFile), QLatin1String(VAppStore::kMetadataFile)};
        const QFileInfoList bundles = QDir(appDir).entryInfoList({QStringLiteral("*.app")}, QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QFileInfo &info : bundles)
            skip << info.fileName();
        ok = zip_dir_add(zip, "Container/", ZIP_FL_ENC_UTF_8) >= 0
            && addTree(zip, appDir, QStringLiteral("Container/"), skip);
    }
    ProgressState state{&progress, -1};
    zip_register_progress_callback_with_state(zip, 0.01, onZipProgress, nullptr, &state);
    if (!ok || zip_close(zip) != 0) {
        DIAG_LOG(ok ? "archive cannot be written" : "app files cannot be added to the archive");
        QFile::remove(partial);
        return VAppError::ArchiveFailed;
    }
    guard.release();
    QFile::remove(archivePath(identifier));
    if (!QFile::rename(partial, archivePath(identifier))) {
        DIAG_LOG("archive cannot be moved into place");
        QFile::remove(partial);
        return VAppError::ArchiveFailed;
    }
    return VAppError::None;
}

int VAppArchiver::remove(const QString &identifier)
{
    if (!VAppStore::validIdentifier(identifier))
        return VAppError::UnknownApp;
    const QString path = archivePath(identifier);
    if (QFileInfo(path).isSymLink() || QFileInfo::exists(path)) {
        if (!QFile::remove(path)) {
            DIAG_LOG("archive cannot be removed");
            return VAppError::ArchiveDestruction;
        }
    }
    return VAppError::None;
}

plist_t VAppArchiver::lookup() const
{
    plist_t result = plist_new_dict();
    const QFileInfoList archives = QDir(archiveDir()).entryInfoList({QStringLiteral("*.zip")}, QDir::Files, QDir::Name);
    int listed = 0;
    for (const QFileInfo &file : archives) {
        const QString id = file.completeBaseName();
        if (file.isSymLink() || !VAppStore::validIdentifier(id) || ++listed > kMaxArchivesListed)
            continue;
        plist_t entry = plist_new_dict();
        VAppPlist::setString(entry, "CFBundleIdentifier", id);
        VPackageReader reader(file.filePath());
        QString bundle;
        QByteArray bytes;
        if (reader.open() == VAppError::None && reader.findMainBundle(&bundle) == VAppError::None
            && reader.readEntry(QStringLiteral("Payload/") + bundle + QStringLiteral("/Info.plist"),
                                VPackageReader::kMaxPlistBytes, &bytes) == VAppError::None) {
            PlistPtr info = VAppPlist::parse(bytes);
            for (const char *key : {"CFBundleDisplayName", "CFBundleName", "CFBundleVersion",
                                    "CFBundleShortVersionString", "CFBundleExecutable"}) {
                const QString value = VAppPlist::string(info.get(), key);
                if (!value.isEmpty())
                    VAppPlist::setString(entry, key, value);
            }
        }
        VAppPlist::setUint(entry, "ArchiveSize", quint64(file.size()));
        plist_dict_set_item(result, id.toUtf8().constData(), entry);
    }
    return result;
}

int VAppArchiver::restoreData(const QString &identifier)
{
    if (!VAppStore::validIdentifier(identifier) || !QFileInfo(archivePath(identifier)).isFile()) {
        DIAG_LOG("restore without an archive");
        return VAppError::UnknownApp;
    }
    VPackageReader reader(archivePath(identifier));
    int rc = reader.open();
    if (rc != VAppError::None)
        return rc;
    // The data is extracted beside the app first and swapped in by renames,
    // so nothing is ever written into (or through) the app's folder.
    QTemporaryDir staging(m_store.appsDir() + QStringLiteral("/.restore-XXXXXX"));
    if (!staging.isValid()) {
        DIAG_LOG("restore folder cannot be created");
        return VAppError::ContainerCreation;
    }
    if ((rc = reader.extractTree(QStringLiteral("Container/"), staging.path())) != VAppError::None)
        return rc;
    QMutexLocker locker(&m_store.mutex());
    if (!m_store.contains(identifier)) {
        DIAG_LOG("restore of an app that is not installed");
        return VAppError::UnknownApp;
    }
    const QString appDir = m_store.appDir(identifier);
    const QString bundle = m_store.bundleFolder(identifier);
    const QFileInfoList items = QDir(staging.path()).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                                   | QDir::NoDotAndDotDot);
    QDir dir;
    for (const QFileInfo &item : items) {
        const QString name = item.fileName();
        if (name == bundle || name == QLatin1String(VAppStore::kRecordFile)
            || name == QLatin1String(VAppStore::kMetadataFile) || name.endsWith(QLatin1String(".app")))
            continue;
        const QString current = appDir + QLatin1Char('/') + name;
        const QString old = staging.path() + QStringLiteral("/.old-") + name;
        const bool existed = QFileInfo(current).exists() || QFileInfo(current).isSymLink();
        if ((existed && !dir.rename(current, old)) || !dir.rename(item.filePath(), current)) {
            if (existed)
                dir.rename(old, current);
            DIAG_LOG("restored data cannot be moved into place");
            return VAppError::ContainerCreation;
        }
    }
    return VAppError::None;
}
