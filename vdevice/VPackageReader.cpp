#include "VPackageReader.h"

#include "VAppError.h"

#include "DiagLog.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <sys/stat.h>
#include <zlib.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

struct VPackageReader::Entry {
    zip_uint64_t index = 0;
    QStringList components;   // relative to the extracted prefix
    bool isDir = false;
    bool isLink = false;
    bool stored = false;      // not compressed, not encrypted
    quint32 crc = 0;
    qint64 size = 0;
};

namespace {

quint16 le16(const uchar *p) { return quint16(p[0] | (p[1] << 8)); }
quint32 le32(const uchar *p) { return quint32(le16(p)) | (quint32(le16(p + 2)) << 16); }
quint64 le64(const uchar *p) { return quint64(le32(p)) | (quint64(le32(p + 4)) << 32); }

// The bytes of [offset, offset + length) of file, or empty when they are not all there.
QByteArray readAt(QFile &file, quint64 offset, quint64 length)
{
    if (offset > quint64(file.size()) || length > quint64(file.size()) - offset || !file.seek(qint64(offset)))
        return QByteArray();
    QByteArray out = file.read(qint64(length));
    return quint64(out.size()) == length ? out : QByteArray();
}

} // namespace

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
        entry.stored = (st.valid & ZIP_STAT_COMP_METHOD) && st.comp_method == ZIP_CM_STORE
            && (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method == ZIP_EM_NONE
            && (st.valid & ZIP_STAT_CRC) && (st.valid & ZIP_STAT_COMP_SIZE) && st.comp_size == st.size;
        entry.crc = quint32(st.crc);
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

const std::vector<quint64> &VPackageReader::localHeaders() const
{
    if (m_headersRead)
        return m_localHeaders;
    m_headersRead = true;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 22)
        return m_localHeaders;
    // The end record: within the last 64 KiB and its own 22 bytes (a comment may follow it).
    const quint64 size = quint64(file.size());
    const quint64 tailAt = size - std::min<quint64>(size, 65535 + 22);
    const QByteArray tail = readAt(file, tailAt, size - tailAt);
    const qsizetype end = tail.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0 || tail.size() - end < 22)
        return m_localHeaders;
    const auto *e = reinterpret_cast<const uchar *>(tail.constData()) + end;
    quint64 count = le16(e + 10), cdSize = le32(e + 12), cdAt = le32(e + 16);
    if (count == 0xffff || cdSize == 0xffffffff || cdAt == 0xffffffff) {
        const QByteArray locator = readAt(file, tailAt + quint64(end) - 20, 20);
        if (locator.size() != 20 || le32(reinterpret_cast<const uchar *>(locator.constData())) != 0x07064b50)
            return m_localHeaders;
        const QByteArray end64 = readAt(file, le64(reinterpret_cast<const uchar *>(locator.constData()) + 8), 56);
        const auto *z = reinterpret_cast<const uchar *>(end64.constData());
        if (end64.size() != 56 || le32(z) != 0x06064b50)
            return m_localHeaders;
        count = le64(z + 32), cdSize = le64(z + 40), cdAt = le64(z + 48);
    }
    if (count != quint64(zip_get_num_entries(m_zip, 0)) || cdSize > 64 * 1024 * 1024)
        return m_localHeaders;
    const QByteArray directory = readAt(file, cdAt, cdSize);
    const auto *p = reinterpret_cast<const uchar *>(directory.constData());
    std::vector<quint64> offsets;
    quint64 at = 0;
    for (quint64 i = 0; i < count; ++i) {
        if (cdSize - at < 46 || le32(p + at) != 0x02014b50)
            return m_localHeaders;
        const quint64 nameLength = le16(p + at + 28), extraLength = le16(p + at + 30), commentLength = le16(p + at + 32);
        if (cdSize - at - 46 < nameLength + extraLength + commentLength)
            return m_localHeaders;
        quint64 offset = le32(p + at + 42);
        if (offset == 0xffffffff) {
            // The zip64 extra field holds the sizes that overflowed, then the offset.
            const uchar *x = p + at + 46 + nameLength;
            offset = ~quint64(0);
            for (quint64 xa = 0; xa + 4 <= extraLength;) {
                const quint64 id = le16(x + xa), length = le16(x + xa + 2);
                if (xa + 4 + length > extraLength)
                    break;
                if (id == 1) {
                    const quint64 skip = (le32(p + at + 24) == 0xffffffff ? 8 : 0) + (le32(p + at + 20) == 0xffffffff ? 8 : 0);
                    if (skip + 8 <= length)
                        offset = le64(x + xa + 4 + skip);
                    break;
                }
                xa += 4 + length;
            }
            if (offset == ~quint64(0))
                return m_localHeaders;
        }
        offsets.push_back(offset);
        at += 46 + nameLength + extraLength + commentLength;
    }
    m_localHeaders.swap(offsets);
    return m_localHeaders;
}

int VPackageReader::copyStored(const Entry &entry, QFile &out) const
{
    const std::vector<quint64> &headers = localHeaders();
    if (!entry.stored || entry.index >= headers.size())
        return -1;
    QFile in(m_path);
    if (!in.open(QIODevice::ReadOnly))
        return -1;
    // The local header must be this entry's: its signature, method and name.
    const QByteArray name(zip_get_name(m_zip, entry.index, ZIP_FL_ENC_RAW));
    const QByteArray local = readAt(in, headers[entry.index], 30 + quint64(name.size()));
    const auto *h = reinterpret_cast<const uchar *>(local.constData());
    if (local.size() != 30 + name.size() || le32(h) != 0x04034b50 || le16(h + 8) != ZIP_CM_STORE
        || le16(h + 26) != name.size() || local.mid(30) != name)
        return -1;
    const quint64 dataAt = headers[entry.index] + 30 + le16(h + 26) + le16(h + 28);
    const quint64 size = quint64(entry.size);
    if (dataAt > quint64(in.size()) || size > quint64(in.size()) - dataAt)
        return -1;
    if (size == 0)
        return entry.crc == 0 ? int(VAppError::None) : -1;
    uchar *mapped = in.map(qint64(dataAt), qint64(size));
    if (!mapped)
        return -1;
    // A block at a time: its CRC, then its write, while it is in the cache.
    constexpr quint64 kBlock = 1024 * 1024;
    uLong crc = crc32(0, nullptr, 0);
    for (quint64 done = 0; done < size;) {
        const quint64 n = std::min(kBlock, size - done);
        crc = crc32(crc, mapped + done, uInt(n));
        if (out.write(reinterpret_cast<const char *>(mapped + done), qint64(n)) != qint64(n)) {
            DIAG_LOG("write failed while extracting");
            return VAppError::ContainerCreation;
        }
        done += n;
    }
    // libzip reads it once more and says what is wrong.
    return quint32(crc) == entry.crc ? int(VAppError::None) : -1;
}

int VPackageReader::extractFile(const Entry &entry, const QString &path, qint64 *total) const
{
    if (entry.size > kMaxTotalBytes - *total) {
        DIAG_LOG("package exceeds the size bound");
        return VAppError::TooLarge;
    }
    if (entry.stored && entry.size >= 64 * 1024) {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
            DIAG_LOG("package entry cannot be extracted");
            return VAppError::ContainerCreation;
        }
        const int rc = copyStored(entry, out);
        if (rc >= 0) {
            if (rc == VAppError::None)
                *total += entry.size;
            return rc;
        }
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
