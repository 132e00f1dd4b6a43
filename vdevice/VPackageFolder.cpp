#include "VPackageFolder.h"

#include "VAppError.h"
#include "VPackageReader.h"

#include "DiagLog.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace {
int copyFile(const QString &from, const QString &to, qint64 *total)
{
    // O_NOFOLLOW: a file swapped for a link after listing is not read.
    const int fd = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    QFile in;
    QFile out(to);
    if (fd < 0 || !in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)
        || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (fd >= 0 && !in.isOpen())
            ::close(fd);
        DIAG_LOG("staged bundle file cannot be copied");
        return VAppError::PackageExtraction;
    }
    QByteArray buffer(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0) {
            DIAG_LOG("staged bundle file cannot be read");
            return VAppError::PackageExtraction;
        }
        if (got == 0)
            return VAppError::None;
        *total += got;
        if (*total > VPackageReader::kMaxTotalBytes) {
            DIAG_LOG("staged bundle exceeds the size bound");
            return VAppError::TooLarge;
        }
        if (out.write(buffer.constData(), got) != got) {
            DIAG_LOG("write failed while copying the staged bundle");
            return VAppError::ContainerCreation;
        }
    }
}
} // namespace

int VPackageFolder::copy(const QString &sourceDir, const QString &targetDir)
{
    QStringList files;
    QStringList folders;
    QStringList links;
    QDirIterator it(sourceDir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);   // never descends into linked folders
    while (it.hasNext()) {
        const QString relative = QDir(sourceDir).relativeFilePath(it.next());
        if (!VPackageReader::safeComponents(relative, nullptr)
            || files.size() + folders.size() + links.size() >= VPackageReader::kMaxEntries) {
            DIAG_LOG("staged bundle has an unsafe name or too many entries");
            return VAppError::PackageInspection;
        }
        const QFileInfo info = it.fileInfo();
        if (info.isSymLink())
            links << relative;
        else if (info.isDir())
            folders << relative;
        else if (info.isFile())
            files << relative;
    }
    QDir target(targetDir);
    for (const QString &folder : folders) {
        if (!target.mkpath(folder)) {
            DIAG_LOG("folder cannot be created while copying");
            return VAppError::ContainerCreation;
        }
    }
    qint64 total = 0;
    for (const QString &file : files) {
        const int rc = copyFile(sourceDir + QLatin1Char('/') + file, targetDir + QLatin1Char('/') + file, &total);
        if (rc != VAppError::None)
            return rc;
    }
    for (const QString &link : links) {
        char buffer[VPackageReader::kMaxLinkBytes + 1];
        const ssize_t n = ::readlink(QFile::encodeName(sourceDir + QLatin1Char('/') + link).constData(), buffer,
                                     sizeof buffer);
        if (n <= 0 || n > VPackageReader::kMaxLinkBytes) {
            DIAG_LOG("staged link unreadable");
            return VAppError::PackageInspection;
        }
        const int rc = VPackageReader::placeLink(link.split(QLatin1Char('/')), QByteArray(buffer, int(n)), targetDir, links);
        if (rc != VAppError::None)
            return rc;
    }
    return VAppError::None;
}
