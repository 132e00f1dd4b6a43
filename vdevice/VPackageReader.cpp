#include "VPackageReader.h"

#include "VAppError.h"

#include "DiagLog.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

struct VPackageReader::Entry {
    zip_uint64_t index = 0;
    QStringList components;   // relative to the extracted prefix
    bool isDir = false;
    bool isLink = false;
    qint64 size = 0;
};

VPackageReader::VPackageReader(const QString &packagePath)
    : m_path(packagePath)
{
}

VPackageReader::~VPackageReader()
{
    if (m_zip)
        zip_discard(m_zip);
}

int VPackageReader::open()
{
    if (m_zip)
        return VAppError::None;
    int error = 0;
    m_zip = zip_open(QFile::encodeName(m_path).constData(), ZIP_RDONLY, &error);
    if (!m_zip) {
        DIAG_LOG("package is missing or not a zip archive");
        return VAppError::PackageExtraction;
    }
    if (zip_get_num_entries(m_zip, 0) > kMaxEntries) {
        DIAG_LOG("package has too many entries");
        return VAppError::TooLarge;
    }
    return VAppError::None;
}

bool VPackageReader::safeComponents(const QString &name, QStringList *components)
{
    QString normalised = name;
    normalised.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (normalised.isEmpty() || normalised.startsWith(QLatin1Char('/'))
        || normalised.toUtf8().size() > kMaxNameBytes || normalised.contains(QChar(0)))
        return false;
    if (normalised.endsWith(QLatin1Char('/')))
        normalised.chop(1);
    const QStringList parts = normalised.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..")
            || part.toUtf8().size() > kMaxComponentBytes)
            return false;
    }
    if (components)
        *components = parts;
    return true;
}

int VPackageReader::findMainBundle(QString *bundleFolder) const
{
    if (!m_zip || !bundleFolder)
        return VAppError::PackageExtraction;
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(m_zip, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!raw)
            continue;
        QStringList parts;
        // Exactly Payload/<X>.app/Info.plist: deeper Info.plist files belong
        // to plug-ins, frameworks or watch apps inside the main bundle.
        if (!safeComponents(QString::fromUtf8(raw), &parts) || parts.size() != 3)
            continue;
        if (parts[0] == QLatin1String("Payload") && parts[1].endsWith(QLatin1String(".app"))
            && parts[1].size() > 4 && parts[2] == QLatin1String("Info.plist")) {
            *bundleFolder = parts[1];
            return VAppError::None;
        }
    }
    DIAG_LOG("package has no Payload/<name>.app/Info.plist");
    return VAppError::PackageInspection;
}

bool VPackageReader::hasEntry(const QString &name) const
{
    return m_zip && zip_name_locate(m_zip, name.toUtf8().constData(), ZIP_FL_ENC_GUESS) >= 0;
}

int VPackageReader::readEntry(const QString &name, qint64 maxBytes, QByteArray *data) const
{
    if (!m_zip || !data)
        return VAppError::PackageExtraction;
    const zip_int64_t index = zip_name_locate(m_zip, name.toUtf8().constData(), ZIP_FL_ENC_GUESS);
    zip_stat_t st;
    zip_stat_init(&st);
    if (index < 0 || zip_stat_index(m_zip, zip_uint64_t(index), 0, &st) != 0)
        return VAppError::PackageInspection;
    if (!(st.valid & ZIP_STAT_SIZE) || st.size > zip_uint64_t(maxBytes)) {
        DIAG_LOG("package entry too large");
        return VAppError::TooLarge;
    }
    std::unique_ptr<zip_file_t, decltype(&zip_fclose)> file(
        zip_fopen_index(m_zip, zip_uint64_t(index), 0), &zip_fclose);
    if (!file) {
        DIAG_LOG("package entry cannot be opened");
        return VAppError::PackageExtraction;
    }
    data->resize(qsizetype(st.size));
    qint64 done = 0;
    while (done < qint64(st.size)) {
        const zip_int64_t got = zip_fread(file.get(), data->data() + done, st.size - zip_uint64_t(done));
        if (got <= 0) {
            DIAG_LOG("package entry is damaged");
            return VAppError::PackageExtraction;
        }
        done += got;
    }
    return VAppError::None;
}

int VPackageReader::collect(const QString &prefix, std::vector<Entry> *entries) const
{
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    QSet<QString> linkPaths;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(m_zip, zip_uint64_t(i), ZIP_FL_ENC_GUESS, &st) != 0 || !st.name)
            return VAppError::PackageExtraction;
        const QString name = QString::fromUtf8(st.name);
        if (!name.startsWith(prefix) || name.size() == prefix.size())
            continue;
        Entry entry;
        entry.index = zip_uint64_t(i);
        const QString relative = name.mid(prefix.size());
        if (!safeComponents(relative, &entry.components)) {
            DIAG_LOG("package entry name is unsafe");
            return VAppError::PackageInspection;
        }
        entry.isDir = relative.endsWith(QLatin1Char('/')) || relative.endsWith(QLatin1Char('\\'));
        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(m_zip, entry.index, 0, &opsys, &attributes) == 0
            && opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK) {
            entry.isLink = true;
            linkPaths.insert(entry.components.join(QLatin1Char('/')));
        }
        entry.size = (st.valid & ZIP_STAT_SIZE) ? qint64(st.size) : 0;
        entries->push_back(entry);
    }
    // Nothing may be written through a link of the package itself.
    for (const Entry &entry : *entries) {
        QString path;
        for (int i = 0; i + 1 < entry.components.size(); ++i) {
            path += (i ? QStringLiteral("/") : QString()) + entry.components[i];
            if (linkPaths.contains(path)) {
                DIAG_LOG("package entry lies below a symbolic link");
                return VAppError::PackageInspection;
            }
        }
    }
    return VAppError::None;
}

int VPackageReader::extractFile(const Entry &entry, const QString &path, qint64 *total) const
{
    if (entry.size > kMaxTotalBytes - *total) {
        DIAG_LOG("package exceeds the size bound");
        return VAppError::TooLarge;
    }
    std::unique_ptr<zip_file_t, decltype(&zip_fclose)> in(zip_fopen_index(m_zip, entry.index, 0),
                                                         &zip_fclose);
    QFile out(path);
    if (!in || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        DIAG_LOG("package entry cannot be extracted");
        return in ? VAppError::ContainerCreation : VAppError::PackageExtraction;
    }
    QByteArray buffer(256 * 1024, Qt::Uninitialized);
    qint64 written = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(in.get(), buffer.data(), zip_uint64_t(buffer.size()));
        if (got < 0) {
            DIAG_LOG("package entry is damaged");
            return VAppError::PackageExtraction;
        }
        if (got == 0)
            break;
        written += got;
        if (written > entry.size) {
            DIAG_LOG("package entry longer than declared");
            return VAppError::PackageExtraction;
        }
        if (out.write(buffer.constData(), got) != got) {
            DIAG_LOG("write failed while extracting");
            return VAppError::ContainerCreation;
        }
    }
    *total += written;
    return VAppError::None;
}

int VPackageReader::createLink(const Entry &entry, const QString &targetDir,
                               const QStringList &linkPaths) const
{
    QByteArray target;
    QByteArray buffer(kMaxLinkBytes + 1, Qt::Uninitialized);
    std::unique_ptr<zip_file_t, decltype(&zip_fclose)> in(zip_fopen_index(m_zip, entry.index, 0),
                                                         &zip_fclose);
    const zip_int64_t got = in ? zip_fread(in.get(), buffer.data(), zip_uint64_t(buffer.size())) : -1;
    if (got <= 0 || got > kMaxLinkBytes) {
        DIAG_LOG("symbolic link target unreadable or too long");
        return VAppError::PackageInspection;
    }
    target = buffer.left(int(got));
    return placeLink(entry.components, target, targetDir, linkPaths);
}

int VPackageReader::placeLink(const QStringList &components, const QByteArray &target,
                              const QString &targetDir, const QStringList &linkPaths)
{
    if (target.isEmpty() || target.size() > kMaxLinkBytes || target.startsWith('/') || target.contains('\0')) {
        DIAG_LOG("symbolic link with an empty, long or absolute target");
        return VAppError::PackageInspection;
    }
    // Resolve by name from the link's folder; the result must stay inside
    // the tree and must not pass through another link.
    QStringList resolved = components.mid(0, components.size() - 1);
    for (const QString &part : QString::fromUtf8(target).split(QLatin1Char('/'))) {
        if (part.isEmpty() || part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (resolved.isEmpty()) {
                DIAG_LOG("symbolic link points out of the bundle");
                return VAppError::PackageInspection;
            }
            resolved.removeLast();
            continue;
        }
        resolved << part;
        if (linkPaths.contains(resolved.join(QLatin1Char('/')))) {
            DIAG_LOG("symbolic link points through another link");
            return VAppError::PackageInspection;
        }
    }
    const QString path = targetDir + QLatin1Char('/') + components.join(QLatin1Char('/'));
    QDir().mkpath(QFileInfo(path).path());
    if (::symlink(target.constData(), QFile::encodeName(path).constData()) != 0) {
        DIAG_LOG("symbolic link cannot be created");
        return VAppError::PackageInspection;
    }
    return VAppError::None;
}

int VPackageReader::extractTree(const QString &prefix, const QString &targetDir) const
{
    if (!m_zip || !QFileInfo(targetDir).isDir())
        return VAppError::PackageExtraction;
    std::vector<Entry> entries;
    int rc = collect(prefix, &entries);
    if (rc != VAppError::None)
        return rc;
    qint64 total = 0;
    QStringList linkPaths;
    // Links come last so that no file is ever written through one.
    for (const Entry &entry : entries) {
        const QString path = targetDir + QLatin1Char('/') + entry.components.join(QLatin1Char('/'));
        if (entry.isLink) {
            linkPaths << entry.components.join(QLatin1Char('/'));
            continue;
        }
        const QString folder = entry.isDir ? path : QFileInfo(path).path();
        if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
            DIAG_LOG("folder cannot be created while extracting");
            return VAppError::PackageInspection;
        }
        if (!entry.isDir && (rc = extractFile(entry, path, &total)) != VAppError::None)
            return rc;
    }
    for (const Entry &entry : entries) {
        if (entry.isLink && (rc = createLink(entry, targetDir, linkPaths)) != VAppError::None)
            return rc;
    }
    return VAppError::None;
}
