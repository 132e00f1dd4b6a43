#include "VPackageBuilder.h"

#include "VAppIcon.h"
#include "VAppPlist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sys/stat.h>
#include <zip.h>

#include <memory>
#include <vector>

namespace {
constexpr time_t kEntryTime = 1401606000;   // 2014-06-01

// A deterministic incompressible stream (xorshift).
void fillNoise(char *data, qint64 length, quint64 *state)
{
    for (qint64 i = 0; i < length; ++i) {
        *state ^= *state << 13;
        *state ^= *state >> 7;
        *state ^= *state << 17;
        data[i] = char(*state);
    }
}
} // namespace

VPackageBuilder::VPackageBuilder(const QString &bundleIdentifier)
    : m_identifier(bundleIdentifier)
{
    QString name = bundleIdentifier.section(QLatin1Char('.'), -1);
    if (name.isEmpty())
        name = QStringLiteral("App");
    name[0] = name[0].toUpper();
    m_info.insert(QStringLiteral("CFBundleIdentifier"), bundleIdentifier);
    m_info.insert(QStringLiteral("CFBundleInfoDictionaryVersion"), QStringLiteral("6.0"));
    m_info.insert(QStringLiteral("CFBundlePackageType"), QStringLiteral("APPL"));
    m_info.insert(QStringLiteral("MinimumOSVersion"), QStringLiteral("6.0"));
    m_info.insert(QStringLiteral("UIDeviceFamily"), QVariantList{1});
    m_info.insert(QStringLiteral("CFBundleIconFiles"), QStringList{QStringLiteral("Icon.png")});
    m_info.insert(QStringLiteral("CFBundleSupportedPlatforms"), QStringList{QStringLiteral("iPhoneOS")});
    setName(name);
    setVersion(QStringLiteral("1.0"));
    m_icon = VAppIcon::render(qHash(bundleIdentifier));
}

VPackageBuilder &VPackageBuilder::setName(const QString &name)
{
    m_name = name;
    m_info.insert(QStringLiteral("CFBundleName"), name);
    m_info.insert(QStringLiteral("CFBundleDisplayName"), name);
    m_info.insert(QStringLiteral("CFBundleExecutable"), name);
    return *this;
}

VPackageBuilder &VPackageBuilder::setVersion(const QString &shortVersion, const QString &bundleVersion)
{
    m_info.insert(QStringLiteral("CFBundleShortVersionString"), shortVersion);
    m_info.insert(QStringLiteral("CFBundleVersion"), bundleVersion.isEmpty() ? shortVersion : bundleVersion);
    return *this;
}

VPackageBuilder &VPackageBuilder::setInfo(const QString &key, const QVariant &value)
{
    if (value.isValid())
        m_info.insert(key, value);
    else
        m_info.remove(key);
    return *this;
}

VPackageBuilder &VPackageBuilder::setBinaryInfoPlist(bool binary)
{
    m_binaryInfo = binary;
    return *this;
}

VPackageBuilder &VPackageBuilder::setRawInfoPlist(const QByteArray &bytes)
{
    m_rawInfo = bytes;
    return *this;
}

VPackageBuilder &VPackageBuilder::setExecutableSize(qint64 bytes, bool incompressible)
{
    m_executableSize = std::max<qint64>(0, bytes);
    m_incompressible = incompressible;
    return *this;
}

VPackageBuilder &VPackageBuilder::setIcon(const QByteArray &png)
{
    m_icon = png;
    return *this;
}

VPackageBuilder &VPackageBuilder::setMetadata(const QVariantMap &metadata)
{
    m_metadata = metadata;
    return *this;
}

VPackageBuilder &VPackageBuilder::setSinf(const QByteArray &sinf)
{
    m_sinf = sinf;
    return *this;
}

VPackageBuilder &VPackageBuilder::addBundleFile(const QString &relativePath, const QByteArray &bytes)
{
    m_entries << Raw{QStringLiteral("Payload/") + bundleFolder() + QLatin1Char('/') + relativePath, bytes, false};
    return *this;
}

VPackageBuilder &VPackageBuilder::addContainerFile(const QString &relativePath, const QByteArray &bytes)
{
    m_entries << Raw{QStringLiteral("Container/") + relativePath, bytes, false};
    return *this;
}

VPackageBuilder &VPackageBuilder::addRawEntry(const QString &name, const QByteArray &bytes)
{
    m_entries << Raw{name, bytes, false};
    return *this;
}

VPackageBuilder &VPackageBuilder::addSymlink(const QString &name, const QString &target)
{
    m_entries << Raw{name, target.toUtf8(), true};
    return *this;
}

QString VPackageBuilder::executable() const
{
    return m_info.value(QStringLiteral("CFBundleExecutable"), m_name).toString();
}

bool VPackageBuilder::write(const QString &packagePath, QString *error) const
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QString partial = packagePath + QStringLiteral(".partial");
    QFile::remove(partial);
    int zipError = 0;
    zip_t *zip = zip_open(QFile::encodeName(partial).constData(), ZIP_CREATE | ZIP_TRUNCATE, &zipError);
    if (!zip)
        return fail(QStringLiteral("cannot create %1").arg(partial));
    std::unique_ptr<zip_t, decltype(&zip_discard)> guard(zip, &zip_discard);

    // libzip reads buffers when the archive is closed, so they live until then.
    std::vector<QByteArray> keep;
    const auto add = [&](const QString &name, const QByteArray &bytes, bool link) {
        keep.push_back(bytes);
        zip_source_t *source = zip_source_buffer(zip, keep.back().constData(), zip_uint64_t(keep.back().size()), 0);
        const zip_int64_t index = source ? zip_file_add(zip, name.toUtf8().constData(), source,
                                                        ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8)
                                         : -1;
        if (index < 0) {
            zip_source_free(source);
            return false;
        }
        if (link)
            zip_file_set_external_attributes(zip, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(S_IFLNK | 0777) << 16);
        return true;
    };
    keep.reserve(size_t(m_entries.size()) + 8);

    const QString bundle = QStringLiteral("Payload/") + bundleFolder() + QLatin1Char('/');
    zip_dir_add(zip, "Payload/", ZIP_FL_ENC_UTF_8);
    zip_dir_add(zip, bundle.toUtf8().constData(), ZIP_FL_ENC_UTF_8);
    QByteArray infoBytes = m_rawInfo;
    if (infoBytes.isEmpty()) {
        PlistPtr info = makePlistPtr(VAppPlist::fromVariant(m_info));
        infoBytes = m_binaryInfo ? VAppPlist::toBinary(info.get()) : VAppPlist::toXml(info.get());
    }
    bool ok = add(bundle + QStringLiteral("Info.plist"), infoBytes, false);
    if (!m_icon.isEmpty())
        ok = ok && add(bundle + QStringLiteral("Icon.png"), m_icon, false)
            && add(bundle + QStringLiteral("Icon@2x.png"), m_icon, false);
    if (!m_sinf.isEmpty())
        ok = ok && add(bundle + QStringLiteral("SC_Info/") + executable() + QStringLiteral(".sinf"), m_sinf, false);
    if (!m_metadata.isEmpty()) {
        PlistPtr meta = makePlistPtr(VAppPlist::fromVariant(m_metadata));
        ok = ok && add(QStringLiteral("iTunesMetadata.plist"), VAppPlist::toXml(meta.get()), false);
    }

    // Large executables go through a temporary file instead of memory.
    QTemporaryFile body(QDir::tempPath() + QStringLiteral("/vpackage-XXXXXX"));
    if (ok) {
        if (!body.open())
            return fail(QStringLiteral("no temporary file"));
        QByteArray chunk(1 << 20, '\0');
        quint64 state = qHash(m_identifier) | 1u;
        for (qint64 left = m_executableSize; left > 0;) {
            const qint64 n = std::min<qint64>(left, chunk.size());
            if (m_incompressible)
                fillNoise(chunk.data(), n, &state);
            if (body.write(chunk.constData(), n) != n)
                return fail(QStringLiteral("cannot write the executable"));
            left -= n;
        }
        body.flush();
        zip_source_t *source = zip_source_file(zip, QFile::encodeName(body.fileName()).constData(), 0, -1);
        const QString name = bundle + executable();
        zip_int64_t index = source ? zip_file_add(zip, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            zip_source_free(source);
            ok = false;
        } else {
            zip_file_set_external_attributes(zip, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(S_IFREG | 0755) << 16);
            if (m_incompressible)
                zip_set_file_compression(zip, zip_uint64_t(index), ZIP_CM_STORE, 0);
        }
    }
    for (const Raw &entry : m_entries) {
        if (!ok)
            break;
        ok = entry.name.endsWith(QLatin1Char('/')) && !entry.link
            ? zip_dir_add(zip, entry.name.toUtf8().constData(), ZIP_FL_ENC_UTF_8) >= 0
            : add(entry.name, entry.bytes, entry.link);
    }
    // Fixed times make the same package byte for byte on every run.
    for (zip_int64_t i = 0; ok && i < zip_get_num_entries(zip, 0); ++i)
        zip_file_set_mtime(zip, zip_uint64_t(i), kEntryTime, 0);
    if (!ok)
        return fail(QStringLiteral("cannot add an entry: %1").arg(QString::fromUtf8(zip_strerror(zip))));
    if (zip_close(zip) != 0)
        return fail(QStringLiteral("cannot write the package: %1").arg(QString::fromUtf8(zip_strerror(zip))));
    guard.release();
    QFile::remove(packagePath);
    if (!QFile::rename(partial, packagePath)) {
        QFile::remove(partial);
        return fail(QStringLiteral("cannot move the package into place"));
    }
    return true;
}
