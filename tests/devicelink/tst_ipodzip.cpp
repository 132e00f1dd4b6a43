#include "DiagLog.h"
#include "TestData.h"
#include "ipodzip.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <zip.h>

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

    void appendTagsInPlace()
    {
        const QByteArray pkg = QFile::encodeName(m_pkg);
        QCOMPARE(ipod_zip_append(pkg.constData(), "3-0123456789abcdef"), 0);
        QCOMPARE(ipod_zip_append(pkg.constData(), "3-0123456789abcdef"), 0);   // again: replaced
        int rc = -5;
        QCOMPARE(readEntry(m_pkg, "3-0123456789abcdef", &rc), QByteArray("3-0123456789abcdef"));
        QCOMPARE(rc, 0);
        QCOMPARE(readEntry(m_pkg, "Info.plist", &rc), QByteArray("main bundle"));

        int error = 0;
        zip_t *z = zip_open(pkg.constData(), ZIP_RDONLY, &error);
        QVERIFY(z);
        QCOMPARE(zip_get_num_entries(z, 0), zip_int64_t(8));
        zip_discard(z);

        QVERIFY(ipod_zip_append(pkg.constData(), "") != 0);
        QVERIFY(ipod_zip_append(pkg.constData(), "../evil") != 0);
        QVERIFY(ipod_zip_append(nullptr, "1-x") != 0);

        // The tag of a device: its UDID, or the older "<number>-<UDID>".
        QCOMPARE(ipod_zip_has_device_tag(pkg.constData(), "0123456789abcdef"), 0);
        QCOMPARE(ipod_zip_append(pkg.constData(), "00008101-001A2B3C4D5E6F70"), 0);
        QCOMPARE(ipod_zip_append(pkg.constData(), "x-fedcba9876543210"), 0);
        QCOMPARE(ipod_zip_has_device_tag(pkg.constData(), "00008101-001A2B3C4D5E6F70"), 0);
        for (const char *other : {"456789abcdef", "fedcba9876543210", "00008101"})
            QCOMPARE(ipod_zip_has_device_tag(pkg.constData(), other), 1);
        QCOMPARE(ipod_zip_has_device_tag(QFile::encodeName(m_dir.filePath(QStringLiteral("none.ipa"))).constData(),
                                         "0123456789abcdef"), -1);
    }
};

QTEST_GUILESS_MAIN(TestIpodZip)
#include "tst_ipodzip.moc"
