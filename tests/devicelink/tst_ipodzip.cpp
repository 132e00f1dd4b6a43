#include "DiagLog.h"
#include "TestData.h"
#include "ipodzip.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <zip.h>
#include <zlib.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using Entries = std::vector<std::pair<std::string, QByteArray>>;

// Writes a zip with the entries in the given order; names ending in "/"
// become directory entries.
bool writeZip(const QString &path, const Entries &entries)
{
    int error = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return false;
    for (const auto &[name, data] : entries) {
        if (!name.empty() && name.back() == '/') {
            zip_dir_add(z, name.c_str(), 0);
            continue;
        }
        // libzip frees a buffer it was given only when it is not empty.
        void *copy = data.isEmpty() ? nullptr : std::malloc(size_t(data.size()));
        if (copy)
            memcpy(copy, data.constData(), size_t(data.size()));
        zip_source_t *src = zip_source_buffer(z, copy, zip_uint64_t(data.size()), copy ? 1 : 0);
        if (zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE) < 0)
            return false;
    }
    return zip_close(z) == 0;
}

QByteArray readEntry(const QString &package, const char *name, int *rc)
{
    char *data = nullptr;
    uint64_t length = 0;
    *rc = ipod_get_zip_file(QFile::encodeName(package).constData(), name, &data, &length);
    QByteArray copy = data ? QByteArray(data, qsizetype(length)) : QByteArray();
    std::free(data);
    return copy;
}

struct Block
{
    std::string name;
    QByteArray data;
    uint64_t offset;
    bool dir;
};

int collect(const char *name, const char *data, int length, uint64_t offset, int isDir, void *ctx)
{
    auto *blocks = static_cast<std::vector<Block> *>(ctx);
    blocks->push_back({name, data ? QByteArray(data, length) : QByteArray(), offset, isDir != 0});
    return 0;
}

// Little-endian fields of zip records.
quint64 le(const QByteArray &b, qsizetype at, int bytes)
{
    quint64 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | uchar(b[at + i]);
    return value;
}
quint16 u16(const QByteArray &b, qsizetype at) { return quint16(le(b, at, 2)); }
quint32 u32(const QByteArray &b, qsizetype at) { return quint32(le(b, at, 4)); }
quint64 u64(const QByteArray &b, qsizetype at) { return le(b, at, 8); }

// Info-ZIP's unzip with args on path: true when it is not installed or succeeds;
// its output in *output.
bool unzipAccepts(const QStringList &args, QByteArray *output = nullptr)
{
    if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
        return true;
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), args);
    const bool ok = unzip.waitForFinished(30000) && unzip.exitCode() == 0;
    if (output)
        *output = unzip.readAll();
    return ok;
}

int stopAtSecond(const char *, const char *, int, uint64_t, int, void *ctx)
{
    return ++*static_cast<int *>(ctx) == 2 ? 42 : 0;
}

} // namespace

class TestIpodZip : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_pkg;

private slots:
    void init()
    {
        qputenv("TMPDIR", m_dir.path().toLocal8Bit());
        m_pkg = m_dir.filePath(QStringLiteral("app.ipa"));
        QVERIFY(writeZip(m_pkg, {
            {"Payload/Demo.app/Frameworks/Kit.framework/Info.plist", "framework"},
            {"Payload/Demo.app/PlugIns/Share.appex/Info.plist", "plugin"},
            {"Payload/Demo.app/Watch/W.app/Info.plist", "watch"},
            {"Payload/Demo.app/Info.plist", "main bundle"},
            {"Payload/Demo.app/SC_Info/Demo.sinf", "signature"},
            {"iTunesMetadata.plist", "metadata"},
            {"Payload/Demo.app/iTunesMetadata.plist", "not this one"},
        }));
    }

    void entriesResolveAsPackagesHoldThem_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("rc");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("main-info-plist") << QByteArray("Info.plist") << 0 << QByteArray("main bundle");
        QTest::newRow("root-metadata") << QByteArray("iTunesMetadata.plist") << 0 << QByteArray("metadata");
        QTest::newRow("signature") << QByteArray("Demo.sinf") << 0 << QByteArray("signature");
        QTest::newRow("other-signature") << QByteArray("Other.sinf") << 1 << QByteArray();
        QTest::newRow("absent-tag") << QByteArray("1-abcdef") << 1 << QByteArray();
    }
    void entriesResolveAsPackagesHoldThem()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, rc);
        QFETCH(QByteArray, content);
        int got = -5;
        QCOMPARE(readEntry(m_pkg, name.constData(), &got), content);
        QCOMPARE(got, rc);
    }

    void bundleWithoutInfoPlist()
    {
        const QString pkg = m_dir.filePath(QStringLiteral("noinfo.ipa"));
        QVERIFY(writeZip(pkg, {{"Payload/Demo.app/Frameworks/K.framework/Info.plist", "fw"},
                               {"Payload/Demo.app/exe", "x"}}));
        int rc = 0;
        QVERIFY(readEntry(pkg, "Info.plist", &rc).isEmpty());
        QVERIFY(rc != 0);
        QVERIFY(writeZip(pkg, {{"Payload/readme.txt", "no bundle"}}));
        QVERIFY(readEntry(pkg, "Info.plist", &rc).isEmpty());
        QVERIFY(rc != 0);
    }

    void badPackagesFail_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not-a-zip") << QByteArray("this is plain text, not an archive");
        QTest::newRow("empty-file") << QByteArray();
        QTest::newRow("zip-signature-only") << QByteArray("PK\x03\x04garbage", 11);
    }
    void badPackagesFail()
    {
        QFETCH(QByteArray, bytes);
        const QString pkg = m_dir.filePath(QStringLiteral("bad.ipa"));
        QVERIFY(TestData::writeFile(pkg, bytes));
        int rc = 0;
        QVERIFY(readEntry(pkg, "Info.plist", &rc).isEmpty());
        QVERIFY(rc != 0);
        std::vector<Block> blocks;
        QCOMPARE(ipod_get_zip_Folder(QFile::encodeName(pkg).constData(), "Container", collect, &blocks), -1);
        QVERIFY(ipod_zip_append(QFile::encodeName(pkg).constData(), "1-x") != 0);
        QVERIFY(readEntry(m_dir.filePath(QStringLiteral("missing.ipa")), "Info.plist", &rc).isEmpty());
        QVERIFY(rc != 0);
    }

    void oversizedEntryIsRefused()
    {
        const QString pkg = m_dir.filePath(QStringLiteral("huge.ipa"));
        QVERIFY(writeZip(pkg, {{"Payload/Huge.app/Info.plist", QByteArray(int(kZipEntryMaxBytes) + 1, ' ')}}));
        QVERIFY(QFileInfo(pkg).size() < 1024 * 1024);   // compresses to almost nothing
        int rc = 0;
        QVERIFY(readEntry(pkg, "Info.plist", &rc).isEmpty());
        QCOMPARE(rc, -1);
    }

    void containerStreamsInBlocks()
    {
        const QByteArray big = TestData::patterned(5 * 1024 * 1024 + 123);
        const QString pkg = m_dir.filePath(QStringLiteral("docs.ipa"));
        QVERIFY(writeZip(pkg, {
            {"Payload/Demo.app/Info.plist", "x"},
            {"Container/", ""},
            {"Container/Documents/", ""},
            {"Container/Documents/movie.bin", big},
            {"Container/Library/Preferences/p.plist", "prefs"},   // parents implied
            {"Container/Documents/empty.txt", ""},
            {"Container/../escape.txt", "nope"},
            {"ContainerX/other.txt", "not under the folder"},
            {"iTunesMetadata.plist", "m"},
        }));
        std::vector<Block> blocks;
        QCOMPARE(ipod_get_zip_Folder(QFile::encodeName(pkg).constData(), "Container", collect, &blocks), 0);

        std::vector<std::string> dirs;
        std::map<std::string, QByteArray> files;
        for (const Block &b : blocks) {
            if (b.dir) {
                dirs.push_back(b.name);
                continue;
            }
            QVERIFY(b.data.size() <= kZipFolderBlockBytes);
            QCOMPARE(b.offset, uint64_t(files[b.name].size()));   // blocks arrive in order
            files[b.name].append(b.data);
        }
        QCOMPARE(dirs, (std::vector<std::string>{"Documents/", "Library/", "Library/Preferences/"}));
        QCOMPARE(files.size(), size_t(3));
        QCOMPARE(files["Documents/movie.bin"].size(), big.size());
        QCOMPARE(QCryptographicHash::hash(files["Documents/movie.bin"], QCryptographicHash::Sha1),
                 QCryptographicHash::hash(big, QCryptographicHash::Sha1));
        QCOMPARE(files["Library/Preferences/p.plist"], QByteArray("prefs"));
        QVERIFY(files.count("Documents/empty.txt"));
        QVERIFY(files["Documents/empty.txt"].isEmpty());

        int calls = 0;
        QCOMPARE(ipod_get_zip_Folder(QFile::encodeName(pkg).constData(), "Container", stopAtSecond, &calls), 42);
        QCOMPARE(calls, 2);

        blocks.clear();
        QCOMPARE(ipod_get_zip_Folder(QFile::encodeName(m_pkg).constData(), "Container", collect, &blocks), 0);
        QVERIFY(blocks.empty());
    }

    // How tags are written and read back whole: tagAppendedInPlaceIsReadEverywhere.
    void deviceTagsAndRefusedTags()
    {
        const QByteArray pkg = QFile::encodeName(m_pkg);
        QVERIFY(ipod_zip_append(pkg.constData(), "") != 0);
        QVERIFY(ipod_zip_append(pkg.constData(), "../evil") != 0);
        QVERIFY(ipod_zip_append(nullptr, "1-x") != 0);

        // The tag of a device: its UDID, or the older "<number>-<UDID>".
        QCOMPARE(ipod_zip_append(pkg.constData(), "3-0123456789abcdef"), 0);
        QCOMPARE(ipod_zip_has_device_tag(pkg.constData(), "0123456789abcdef"), 0);
        QCOMPARE(ipod_zip_append(pkg.constData(), "00008101-001A2B3C4D5E6F70"), 0);
        QCOMPARE(ipod_zip_append(pkg.constData(), "x-fedcba9876543210"), 0);
        QCOMPARE(ipod_zip_has_device_tag(pkg.constData(), "00008101-001A2B3C4D5E6F70"), 0);
        for (const char *other : {"456789abcdef", "fedcba9876543210", "00008101"})
            QCOMPARE(ipod_zip_has_device_tag(pkg.constData(), other), 1);
        QCOMPARE(ipod_zip_has_device_tag(QFile::encodeName(m_dir.filePath(QStringLiteral("none.ipa"))).constData(),
                                         "0123456789abcdef"), -1);
        int rc = -5;
        QCOMPARE(readEntry(m_pkg, "Info.plist", &rc), QByteArray("main bundle"));
    }

    // The tag goes where the central directory was, and the archive stays
    // one that libzip and Info-ZIP's unzip read without complaint.
    void tagAppendedInPlaceIsReadEverywhere_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("libzip-with-comment") << QStringLiteral("comment");
        QTest::newRow("zip64") << QStringLiteral("zip64");
    }
    void tagAppendedInPlaceIsReadEverywhere()
    {
        QFETCH(QString, kind);
        const QString path = m_dir.filePath(QStringLiteral("tagged.ipa"));
        QFile::remove(path);
        if (kind == QLatin1String("zip64")) {
            // Info-ZIP's zip writes zip64 end records on request.
            if (QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty())
                QSKIP("zip is not installed (scripts/setup installs it)");
            TestData::writeFile(m_dir.filePath(QStringLiteral("src/a.txt")), "first entry");
            TestData::writeFile(m_dir.filePath(QStringLiteral("src/b.bin")), TestData::patterned(70000, 'b'));
            QProcess zip;
            zip.setWorkingDirectory(m_dir.filePath(QStringLiteral("src")));
            zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("-fz"), path, QStringLiteral("a.txt"), QStringLiteral("b.bin")});
            QVERIFY(zip.waitForFinished(30000) && zip.exitCode() == 0);
        } else {
            QVERIFY(writeZip(path, {{"a.txt", "first entry"}, {"b.bin", TestData::patterned(70000, 'b')}}));
            int error = 0;
            zip_t *z = zip_open(QFile::encodeName(path).constData(), 0, &error);
            QVERIFY(z);
            QCOMPARE(zip_set_archive_comment(z, "kept", 4), 0);
            QCOMPARE(zip_close(z), 0);
        }
        const QByteArray before = TestData::readFile(path);
        // The old directory's place and size, from the end records.
        const qsizetype oldEnd = before.lastIndexOf(QByteArray("PK\x05\x06", 4));
        QVERIFY(oldEnd > 0);
        quint64 oldCdAt = u32(before, oldEnd + 16), oldCdSize = u32(before, oldEnd + 12);
        if (kind == QLatin1String("zip64")) {
            const quint64 end64 = u64(before, oldEnd - 20 + 8);
            QCOMPARE(u32(before, qsizetype(end64)), quint32(0x06064b50));
            oldCdAt = u64(before, qsizetype(end64) + 48);
            oldCdSize = u64(before, qsizetype(end64) + 40);
        }

        const char *tag = "00008101-001A2B3C4D5E6F70";
        QCOMPARE(ipod_zip_append(QFile::encodeName(path).constData(), tag), 0);
        const QByteArray after = TestData::readFile(path);
        // The entries' bytes are untouched.
        QCOMPARE(after.left(qsizetype(oldCdAt)), before.left(qsizetype(oldCdAt)));

        const QByteArray name(tag);
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(name.constData()), uInt(name.size())));
        const qsizetype local = qsizetype(oldCdAt);
        QCOMPARE(u32(after, local), quint32(0x04034b50));
        QCOMPARE(u16(after, local + 4), quint16(20));       // version needed
        QCOMPARE(u16(after, local + 6), quint16(0x0800));   // UTF-8 name
        QCOMPARE(u16(after, local + 8), quint16(0));        // stored
        QCOMPARE(u32(after, local + 14), crc);
        QCOMPARE(u32(after, local + 18), quint32(name.size()));
        QCOMPARE(u32(after, local + 22), quint32(name.size()));
        QCOMPARE(u16(after, local + 26), quint16(name.size()));
        QCOMPARE(u16(after, local + 28), quint16(0));
        QCOMPARE(after.mid(local + 30, name.size() * 2), name + name);   // name, then the content

        const qsizetype cdAt = local + 30 + name.size() * 2;
        QCOMPARE(after.mid(cdAt, qsizetype(oldCdSize)), before.mid(qsizetype(oldCdAt), qsizetype(oldCdSize)));
        const qsizetype central = cdAt + qsizetype(oldCdSize);
        QCOMPARE(u32(after, central), quint32(0x02014b50));
        QCOMPARE(u16(after, central + 4) >> 8, 3);           // made on Unix
        QCOMPARE(u16(after, central + 6), quint16(20));
        QCOMPARE(u16(after, central + 8), quint16(0x0800));
        QCOMPARE(u16(after, central + 10), quint16(0));
        QCOMPARE(u32(after, central + 12), u32(after, local + 10));   // same time and date
        QCOMPARE(u32(after, central + 16), crc);
        QCOMPARE(u32(after, central + 20), quint32(name.size()));
        QCOMPARE(u32(after, central + 24), quint32(name.size()));
        QCOMPARE(u16(after, central + 28), quint16(name.size()));
        QCOMPARE(u16(after, central + 30), quint16(0));   // extra
        QCOMPARE(u16(after, central + 32), quint16(0));   // comment
        QCOMPARE(u16(after, central + 34), quint16(0));   // disk
        QCOMPARE(u16(after, central + 36), quint16(0));   // internal attributes
        QCOMPARE(u32(after, central + 38), quint32(0100644) << 16);
        QCOMPARE(u32(after, central + 42), quint32(oldCdAt));
        QCOMPARE(after.mid(central + 46, name.size()), name);

        const qsizetype records = central + 46 + name.size();
        const quint64 cdSize = quint64(records - cdAt);
        qsizetype end = records;
        if (kind == QLatin1String("zip64")) {
            QCOMPARE(u32(after, end), quint32(0x06064b50));
            QCOMPARE(u64(after, end + 4), quint64(44));
            QCOMPARE(u16(after, end + 14), quint16(45));
            QCOMPARE(u32(after, end + 16), quint32(0));
            QCOMPARE(u32(after, end + 20), quint32(0));
            QCOMPARE(u64(after, end + 24), quint64(3));
            QCOMPARE(u64(after, end + 32), quint64(3));
            QCOMPARE(u64(after, end + 40), cdSize);
            QCOMPARE(u64(after, end + 48), quint64(cdAt));
            QCOMPARE(u32(after, end + 56), quint32(0x07064b50));
            QCOMPARE(u32(after, end + 60), quint32(0));
            QCOMPARE(u64(after, end + 64), quint64(records));
            QCOMPARE(u32(after, end + 72), quint32(1));
            end += 76;
        }
        QCOMPARE(u32(after, end), quint32(0x06054b50));
        QCOMPARE(u32(after, end + 4), quint32(0));   // disks
        QCOMPARE(u16(after, end + 8), quint16(3));
        QCOMPARE(u16(after, end + 10), quint16(3));
        QCOMPARE(u32(after, end + 12), quint32(cdSize));
        QCOMPARE(u32(after, end + 16), quint32(cdAt));
        const QByteArray comment = kind == QLatin1String("comment") ? QByteArray("kept") : QByteArray();
        QCOMPARE(u16(after, end + 20), quint16(comment.size()));
        QCOMPARE(after.mid(end + 22), comment);

        int error = 0;
        zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
        QVERIFY2(z, qPrintable(QString::number(error)));
        QCOMPARE(zip_get_num_entries(z, 0), zip_int64_t(3));
        zip_discard(z);
        int rc = -5;
        QCOMPARE(readEntry(path, tag, &rc), name);
        QCOMPARE(readEntry(path, "b.bin", &rc), TestData::patterned(70000, 'b'));
        QCOMPARE(ipod_zip_has_device_tag(QFile::encodeName(path).constData(), "00008101-001A2B3C4D5E6F70"), 0);
        QByteArray said;
        QVERIFY2(unzipAccepts({QStringLiteral("-tq"), path}, &said), said.constData());
        // A second append finds the tag and leaves the archive alone.
        QCOMPARE(ipod_zip_append(QFile::encodeName(path).constData(), tag), 0);
        QCOMPARE(TestData::readFile(path), after);
    }

    // An entry of 4.5 GiB (a hole of a sparse file) puts the old directory,
    // and so the tag's local header, beyond what 32 bits can say: the tag's
    // record carries its offset in a zip64 extra field.
    void tagAppendedBeyondFourGiB()
    {
        const QString path = m_dir.filePath(QStringLiteral("huge.ipa"));
        const quint64 size = quint64(9) << 29;
        const QByteArray name("Payload/Huge.app/Huge");
        // The CRC of size zero bytes, from the CRC of one MiB of them.
        const QByteArray mib(1 << 20, '\0');
        uLong block = crc32(0, reinterpret_cast<const Bytef *>(mib.constData()), uInt(mib.size()));
        uLong crc = crc32(0, nullptr, 0);
        for (quint64 blocks = size >> 20, length = 1 << 20; blocks; blocks >>= 1, length <<= 1) {
            if (blocks & 1)
                crc = crc32_combine(crc, block, z_off_t(length));
            block = crc32_combine(block, block, z_off_t(length));
        }
        const auto le = [](QByteArray *out, quint64 value, int bytes) {
            for (int i = 0; i < bytes; ++i)
                out->append(char((value >> (8 * i)) & 0xff));
        };
        QByteArray zip64Sizes;   // the extra field with both sizes
        le(&zip64Sizes, 1, 2), le(&zip64Sizes, 16, 2), le(&zip64Sizes, size, 8), le(&zip64Sizes, size, 8);
        QByteArray local;
        le(&local, 0x04034b50, 4), le(&local, 45, 2), le(&local, 0, 2), le(&local, 0, 2), le(&local, 0, 4);
        le(&local, crc, 4), le(&local, 0xffffffff, 4), le(&local, 0xffffffff, 4);
        le(&local, quint64(name.size()), 2), le(&local, quint64(zip64Sizes.size()), 2);
        local += name + zip64Sizes;
        const quint64 cdAt = quint64(local.size()) + size;
        QByteArray tail;
        le(&tail, 0x02014b50, 4), le(&tail, 0x031e, 2), le(&tail, 45, 2), le(&tail, 0, 2), le(&tail, 0, 2), le(&tail, 0, 4);
        le(&tail, crc, 4), le(&tail, 0xffffffff, 4), le(&tail, 0xffffffff, 4);
        le(&tail, quint64(name.size()), 2), le(&tail, quint64(zip64Sizes.size()), 2), le(&tail, 0, 2), le(&tail, 0, 2);
        le(&tail, 0, 2), le(&tail, quint64(0100755) << 16, 4), le(&tail, 0, 4);
        tail += name + zip64Sizes;
        const quint64 cdSize = quint64(tail.size());
        le(&tail, 0x06064b50, 4), le(&tail, 44, 8), le(&tail, 45, 2), le(&tail, 45, 2), le(&tail, 0, 4), le(&tail, 0, 4);
        le(&tail, 1, 8), le(&tail, 1, 8), le(&tail, cdSize, 8), le(&tail, cdAt, 8);
        le(&tail, 0x07064b50, 4), le(&tail, 0, 4), le(&tail, cdAt + cdSize, 8), le(&tail, 1, 4);
        le(&tail, 0x06054b50, 4), le(&tail, 0, 4), le(&tail, 1, 2), le(&tail, 1, 2);
        le(&tail, 0xffffffff, 4), le(&tail, 0xffffffff, 4), le(&tail, 0, 2);
        {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            QCOMPARE(out.write(local), qint64(local.size()));
            QVERIFY(out.seek(qint64(cdAt)));
            QCOMPARE(out.write(tail), qint64(tail.size()));
        }

        const char *tag = "00008101-001A2B3C4D5E6F70";
        QCOMPARE(ipod_zip_append(QFile::encodeName(path).constData(), tag), 0);
        QFile in(path);
        QVERIFY(in.open(QIODevice::ReadOnly) && in.seek(qint64(cdAt)));
        const QByteArray after = in.readAll();   // from the old directory's place on
        const QByteArray tagName(tag);
        const qsizetype central = after.indexOf(QByteArray("PK\x01\x02", 4), 30 + 2 * tagName.size() + qsizetype(cdSize));
        QVERIFY(central > 0);
        QCOMPARE(after.mid(central + 46, tagName.size()), tagName);
        QCOMPARE(u32(after, central + 42), quint32(0xffffffff));   // the offset is in the extra field
        const qsizetype extra = central + 46 + tagName.size();
        QCOMPARE(u16(after, central + 30), quint16(12));
        QCOMPARE(u16(after, extra), quint16(1));
        QCOMPARE(u16(after, extra + 2), quint16(8));
        QCOMPARE(u64(after, extra + 4), cdAt);
        QVERIFY(u16(after, central + 6) >= 45);   // zip64 needed to extract

        int error = 0;
        zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
        QVERIFY2(z, qPrintable(QString::number(error)));
        QCOMPARE(zip_get_num_entries(z, 0), zip_int64_t(2));
        zip_stat_t st;
        QCOMPARE(zip_stat(z, name.constData(), 0, &st), 0);
        QCOMPARE(quint64(st.size), size);
        zip_discard(z);
        int rc = -5;
        QCOMPARE(readEntry(path, tag, &rc), tagName);
        QCOMPARE(ipod_zip_has_device_tag(QFile::encodeName(path).constData(), tag), 0);
        QByteArray listing;   // the directory only: testing would read 4.5 GiB
        QVERIFY2(unzipAccepts({QStringLiteral("-l"), path}, &listing), listing.constData());
        QVERIFY2(listing.isEmpty() || (listing.contains(tag) && listing.contains("4831838208")), listing.constData());
        QFile::remove(path);
    }
};

QTEST_GUILESS_MAIN(TestIpodZip)
#include "tst_ipodzip.moc"
