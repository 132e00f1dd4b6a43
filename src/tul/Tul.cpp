#include "Tul.h"

#include "DiagLog.h"

#include <QDir>
#include <cerrno>
#include <QFileDialog>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

Tul::FolderChooser &folderChooser()
{
    static Tul::FolderChooser chooser;
    return chooser;
}

// A folder in the shared temporary area is only ours when it is a real
// directory (no symlink) owned by us; another user could have planted it.
bool isPrivateFolder(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

} // namespace

QString Tul::tempPath()
{
    const QString system = QDir::tempPath();
    const QString path = system + QStringLiteral("/appshuttle-") + QString::number(::getuid());
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        DIAG_LOG(qPrintable(QStringLiteral("cannot create ") + path));
        return system;
    }
    if (!isPrivateFolder(path)) {
        DIAG_LOG(qPrintable(QStringLiteral("not a private folder: ") + path));
        return system;
    }
    ::chmod(native.constData(), 0700);
    return path;
}

bool Tul::getFolderPath(const FolderCallback &callback, QWidget *parent, const QString &title,
                        const QString &startFolder, QString &outFolder)
{
    const QString start = QFileInfo(startFolder).isDir() ? startFolder : QDir::homePath();
    QString chosen;
    if (folderChooser())
        chosen = folderChooser()(title, start);
    else
        chosen = QFileDialog::getExistingDirectory(parent, title, start,
                                                   QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return false;  // cancelled: not an error

    const QFileInfo info(chosen);
    if (!info.isDir()) {
        DIAG_LOG(qPrintable(QStringLiteral("chosen folder does not exist: ") + chosen));
        return false;
    }
    const QString folder = QDir::toNativeSeparators(info.absoluteFilePath());
    if (callback && !callback(folder)) {
        DIAG_LOG(qPrintable(QStringLiteral("folder refused: ") + folder));
        return false;
    }
    outFolder = folder;
    return true;
}

void Tul::setFolderChooser(FolderChooser chooser)
{
    folderChooser() = std::move(chooser);
}
