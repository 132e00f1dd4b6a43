#include "PeVersionReader.h"

#include "DiagLog.h"

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QtEndian>

#include <optional>

namespace {

constexpr quint32 kRtVersion = 16;
constexpr quint32 kSubdirectoryFlag = 0x80000000u;
constexpr quint32 kFixedInfoSignature = 0xFEEF04BDu;
constexpr int kMaxSections = 96;
constexpr int kMaxDirectoryEntries = 4096;

struct Section
{
    quint32 virtualAddress;
    quint32 rawSize;
    quint32 rawOffset;
};

quint16 u16(const QByteArray &b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }
quint32 u32(const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }

// Exactly `size` bytes at `offset`, or nothing.
std::optional<QByteArray> readAt(QIODevice &dev, quint64 offset, quint32 size)
{
    if (offset > quint64(dev.size()) || size > quint64(dev.size()) - offset)
        return std::nullopt;
    if (!dev.seek(qint64(offset)))
        return std::nullopt;
    QByteArray bytes = dev.read(size);
    if (bytes.size() != qsizetype(size))
        return std::nullopt;
    return bytes;
}

// File offset of `size` bytes at `rva`; they must lie within one section's raw data.
std::optional<quint64> rvaToOffset(const QVector<Section> &sections, quint32 rva, quint32 size)
{
    for (const Section &s : sections) {
        if (rva < s.virtualAddress)
            continue;
        const quint64 delta = quint64(rva) - s.virtualAddress;
        if (delta + size <= s.rawSize)
            return quint64(s.rawOffset) + delta;
    }
    return std::nullopt;
}

class Reader
{
public:
    explicit Reader(QIODevice &dev) : dev_(dev) {}

    QString version()
    {
        const quint64 rootOffset = resourceRoot();
        if (!rootOffset)
            return QString();
        // type RT_VERSION -> first name -> first language
        std::optional<quint32> dir = entry(rootOffset, 0, kRtVersion, true);
        if (dir)
            dir = entry(rootOffset, *dir, std::nullopt, true);
        if (dir)
            dir = entry(rootOffset, *dir, std::nullopt, false);
        if (!dir)
            return fail("no version resource");
        const auto data = readAt(dev_, rootOffset + *dir, 16);
        if (!data)
            return fail("version resource entry out of range");
        return fixedVersion(u32(*data, 0), u32(*data, 4));
    }

    const char *error() const { return error_; }

private:
    QString fail(const char *why)
    {
        error_ = why;
        return QString();
    }

    quint64 failed(const char *why)
    {
        error_ = why;
        return 0;
    }

    // File offset of the resource directory, 0 on failure.
    quint64 resourceRoot()
    {
        const auto dos = readAt(dev_, 0, 64);
        if (!dos || !dos->startsWith("MZ"))
            return failed("not an executable");
        const quint32 peOffset = u32(*dos, 0x3c);
        const auto coff = readAt(dev_, peOffset, 24);
        if (!coff || !coff->startsWith(QByteArray("PE\0\0", 4)))
            return failed("no PE header");
        const quint16 sectionCount = u16(*coff, 6);
        const quint16 optionalSize = u16(*coff, 20);
        const auto optional = readAt(dev_, quint64(peOffset) + 24, optionalSize);
        if (!optional || optionalSize < 2 || sectionCount > kMaxSections)
            return failed("damaged PE header");
        const quint16 magic = u16(*optional, 0);
        const int countAt = magic == 0x20b ? 108 : 92;
        const int dirsAt = countAt + 4;
        if ((magic != 0x10b && magic != 0x20b) || optionalSize < dirsAt + 3 * 8
            || u32(*optional, countAt) < 3)
            return failed("no resource directory");
        const quint32 resourceRva = u32(*optional, dirsAt + 2 * 8);

        const auto table = readAt(dev_, quint64(peOffset) + 24 + optionalSize, sectionCount * 40u);
        if (!table)
            return failed("section table out of range");
        for (int i = 0; i < sectionCount; ++i)
            sections_.append({u32(*table, i * 40 + 12), u32(*table, i * 40 + 16),
                              u32(*table, i * 40 + 20)});
        const auto root = rvaToOffset(sections_, resourceRva, 16);
        if (!resourceRva || !root || !*root)
            return failed("resource directory out of range");
        return *root;
    }

    // Offset (from the resource root) of the entry of the directory at `dirOffset`
    // with `id` (any entry when none), which must be a subdirectory or not.
    std::optional<quint32> entry(quint64 root, quint32 dirOffset, std::optional<quint32> id,
                                 bool subdirectory)
    {
        const auto header = readAt(dev_, root + dirOffset, 16);
        if (!header)
            return std::nullopt;
        const int count = u16(*header, 12) + u16(*header, 14);
        if (count > kMaxDirectoryEntries)
            return std::nullopt;
        const auto entries = readAt(dev_, root + dirOffset + 16, quint32(count) * 8);
        if (!entries)
            return std::nullopt;
        for (int i = 0; i < count; ++i) {
            const quint32 name = u32(*entries, i * 8);
            const quint32 target = u32(*entries, i * 8 + 4);
            if (id && name != *id)
                continue;
            if (bool(target & kSubdirectoryFlag) == subdirectory)
                return target & ~kSubdirectoryFlag;
        }
        return std::nullopt;
    }

    QString fixedVersion(quint32 rva, quint32 size)
    {
        // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO",
        // padding to 32 bits, then VS_FIXEDFILEINFO (52 bytes).
        constexpr int kValueAt = 40;
        constexpr int kFixedSize = 52;
        if (size < kValueAt + kFixedSize || size > PeVersionReader::kMaxVersionBlob)
            return fail("version resource has a bad size");
        const auto offset = rvaToOffset(sections_, rva, size);
        const auto blob = offset ? readAt(dev_, *offset, size) : std::nullopt;
        if (!blob)
            return fail("version resource out of range");
        const QString key = QString::fromUtf16(
            reinterpret_cast<const char16_t *>(blob->constData() + 6), 15);
        if (key != QLatin1String("VS_VERSION_INFO") || u16(*blob, 36) != 0
            || u16(*blob, 0) < kValueAt + kFixedSize || u16(*blob, 2) < kFixedSize
            || u32(*blob, kValueAt) != kFixedInfoSignature)
            return fail("damaged version resource");
        const quint32 ms = u32(*blob, kValueAt + 8);
        const quint32 ls = u32(*blob, kValueAt + 12);
        return QString::asprintf("%d.%d.%d.%d", int(ms >> 16), int(ms & 0xffff),
                                 int(ls >> 16), int(ls & 0xffff));
    }

    QIODevice &dev_;
    QVector<Section> sections_;
    const char *error_ = "";
};

} // namespace

QString PeVersionReader::fileVersion(QIODevice &device)
{
    if (!device.isOpen() || device.isSequential()) {
        DIAG_LOG("device not open for random access");
        return QString();
    }
    Reader reader(device);
    const QString version = reader.version();
    if (version.isEmpty())
        DIAG_LOG(reader.error());
    return version;
}

QString PeVersionReader::fileVersion(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        DIAG_LOG(QStringLiteral("cannot open %1").arg(path).toLocal8Bit().constData());
        return QString();
    }
    return fileVersion(file);
}
