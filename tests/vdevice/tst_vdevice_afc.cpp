// libimobiledevice's own AFC client against the virtual device's media
// service: files, folders, errors, and paths that try to leave the root.

#include "RawMuxClient.h"
#include "TestData.h"
#include "VServer.h"
#include "AfcClient.h"
#include "afc/AfcCodec.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <thread>

#include <unistd.h>

namespace {

QStringList listDirectory(afc_client_t afc, const char *path, afc_error_t *rc)
{
    char **entries = nullptr;
    *rc = afc_read_directory(afc, path, &entries);
    QStringList out;
    for (char **p = entries; p && *p; ++p)
        out << QString::fromUtf8(*p);
    if (entries)
        afc_dictionary_free(entries);
    return out;
}

QMap<QString, QString> fileInfo(afc_client_t afc, const char *path, afc_error_t *rc)
{
    char **pairs = nullptr;
    *rc = afc_get_file_info(afc, path, &pairs);
    QMap<QString, QString> out;
    for (char **p = pairs; p && p[0] && p[1]; p += 2)
        out.insert(QString::fromUtf8(p[0]), QString::fromUtf8(p[1]));
    if (pairs)
        afc_dictionary_free(pairs);
    return out;
}

} // namespace

class TestVDeviceAfc : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<DeviceFixture>(std::vector<int>{0, 1});
        QVERIFY2(m_fixture->ok(), qPrintable(m_fixture->error()));
        m_udid = m_fixture->profile(0).udid;
        m_media = m_fixture->mediaDir(m_udid);
        QCOMPARE(m_client.open(m_udid), 0);
    }

    void cleanup()
    {
        m_client.close();
        m_fixture.reset();
    }

    void writesAndReadsFilesInChunks_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("chunk");
        QTest::newRow("empty") << 0 << 8192;
        QTest::newRow("installer-upload-1MiB-chunks") << (2 << 20) + 12345 << (1 << 20);
        QTest::newRow("odd-chunks") << 300001 << 65536 + 7;
    }

    void writesAndReadsFilesInChunks()
    {
        QFETCH(int, size);
        QFETCH(int, chunk);
        const QByteArray data = TestData::patterned(size);
        QCOMPARE(afc_make_directory(m_client.afc(), "PublicStaging"), AFC_E_SUCCESS);
        QCOMPARE(m_client.writeFile("PublicStaging/com.example.app", data, chunk), AFC_E_SUCCESS);
        QCOMPARE(TestData::readFile(m_media + QStringLiteral("/PublicStaging/com.example.app")), data);
        QByteArray back;
        QCOMPARE(m_client.readFile("/PublicStaging/com.example.app", &back, chunk), AFC_E_SUCCESS);
        QCOMPARE(back, data);
        afc_error_t rc;
        const auto info = fileInfo(m_client.afc(), "PublicStaging/com.example.app", &rc);
        QCOMPARE(rc, AFC_E_SUCCESS);
        QCOMPARE(info.value(QStringLiteral("st_size")), QString::number(size));
        QCOMPARE(info.value(QStringLiteral("st_ifmt")), QStringLiteral("S_IFREG"));
        QVERIFY(info.contains(QStringLiteral("st_mtime")));
    }

    void foldersRenameAndRemove()
    {
        afc_client_t afc = m_client.afc();
        QCOMPARE(afc_make_directory(afc, "/ApplicationArchives/a/b"), AFC_E_SUCCESS);
        QCOMPARE(afc_make_directory(afc, "ApplicationArchives/a/b"), AFC_E_SUCCESS);   // exists: fine
        QCOMPARE(m_client.writeFile("ApplicationArchives/a/b/x.zip", "zip"), AFC_E_SUCCESS);
        QCOMPARE(m_client.writeFile("ApplicationArchives/y.zip", "zip"), AFC_E_SUCCESS);
        afc_error_t rc;
        QCOMPARE(listDirectory(afc, "ApplicationArchives", &rc),
                 (QStringList {QStringLiteral("."), QStringLiteral(".."), QStringLiteral("a"), QStringLiteral("y.zip")}));
        QCOMPARE(rc, AFC_E_SUCCESS);
        QCOMPARE(fileInfo(afc, "ApplicationArchives/a", &rc).value(QStringLiteral("st_ifmt")), QStringLiteral("S_IFDIR"));

        QCOMPARE(afc_rename_path(afc, "ApplicationArchives/y.zip", "ApplicationArchives/a/z.zip"), AFC_E_SUCCESS);
        QVERIFY(QFile::exists(m_media + QStringLiteral("/ApplicationArchives/a/z.zip")));
        QCOMPARE(afc_remove_path(afc, "ApplicationArchives/a"), AFC_E_DIR_NOT_EMPTY);
        QCOMPARE(afc_remove_path(afc, "ApplicationArchives/a/z.zip"), AFC_E_SUCCESS);
        QCOMPARE(afc_remove_path_and_contents(afc, "ApplicationArchives/a"), AFC_E_SUCCESS);
        QVERIFY(!QFile::exists(m_media + QStringLiteral("/ApplicationArchives/a")));
        QCOMPARE(afc_remove_path(afc, "/"), AFC_E_PERM_DENIED);
    }

    void reportsErrorsLikeADevice()
    {
        afc_client_t afc = m_client.afc();
        uint64_t handle = 0;
        afc_error_t rc;
        QCOMPARE(afc_file_open(afc, "missing.txt", AFC_FOPEN_RDONLY, &handle), AFC_E_OBJECT_NOT_FOUND);
        QCOMPARE(fileInfo(afc, "missing/deeper", &rc).size(), 0);
        QCOMPARE(rc, AFC_E_OBJECT_NOT_FOUND);
        listDirectory(afc, "missing", &rc);
        QCOMPARE(rc, AFC_E_OBJECT_NOT_FOUND);
        QCOMPARE(afc_remove_path(afc, "missing"), AFC_E_OBJECT_NOT_FOUND);
        QCOMPARE(afc_make_directory(afc, "Downloads"), AFC_E_SUCCESS);
        QCOMPARE(afc_file_open(afc, "Downloads", AFC_FOPEN_RDONLY, &handle), AFC_E_OBJECT_IS_DIR);
        QCOMPARE(afc_file_open(afc, "x", afc_file_mode_t(9), &handle), AFC_E_INVALID_ARG);
        char buffer[8];
        uint32_t got = 0;
        QCOMPARE(afc_file_read(afc, 777, buffer, sizeof buffer, &got), AFC_E_INVALID_ARG);
        QCOMPARE(afc_file_close(afc, 777), AFC_E_INVALID_ARG);

        char *value = nullptr;
        QCOMPARE(afc_get_device_info_key(afc, "FSTotalBytes", &value), AFC_E_SUCCESS);
        QCOMPARE(QByteArray(value), QByteArray::number(12ull << 30));
        free(value);
        QCOMPARE(afc_get_device_info_key(afc, "Model", &value), AFC_E_SUCCESS);
        QCOMPARE(QByteArray(value), QByteArray("iPhone6,1"));
        free(value);
    }

    void refusesPathsOutsideTheRoot_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("dot-dot") << QStringLiteral("../outside/secret.txt");
        QTest::newRow("absolute-dot-dot") << QStringLiteral("/../../outside/secret.txt");
        QTest::newRow("nested-dot-dot") << QStringLiteral("PublicStaging/../../outside/secret.txt");
        QTest::newRow("symlinked-folder") << QStringLiteral("escape/secret.txt");
        QTest::newRow("symlinked-file") << QStringLiteral("secret-link");
    }

    void refusesPathsOutsideTheRoot()
    {
        QFETCH(QString, path);
        // The media folder is <state>/<udid>/media; "outside" sits beside it.
        const QString outside = QDir(m_media).absoluteFilePath(QStringLiteral("../outside"));
        QVERIFY(TestData::writeFile(outside + QStringLiteral("/secret.txt"), "secret"));
        QVERIFY(QFile::link(outside, m_media + QStringLiteral("/escape")));
        QVERIFY(QFile::link(outside + QStringLiteral("/secret.txt"), m_media + QStringLiteral("/secret-link")));

        afc_client_t afc = m_client.afc();
        const QByteArray p = path.toUtf8();
        uint64_t handle = 0;
        QCOMPARE(afc_file_open(afc, p.constData(), AFC_FOPEN_RDONLY, &handle), AFC_E_PERM_DENIED);
        QCOMPARE(afc_file_open(afc, p.constData(), AFC_FOPEN_WRONLY, &handle), AFC_E_PERM_DENIED);
        QCOMPARE(afc_truncate(afc, p.constData(), 0), AFC_E_PERM_DENIED);
        const QByteArray dir = p.left(p.lastIndexOf('/'));
        if (!dir.isEmpty()) {
            afc_error_t rc;
            listDirectory(afc, dir.constData(), &rc);
            QCOMPARE(rc, AFC_E_PERM_DENIED);
            QCOMPARE(afc_make_directory(afc, (dir + "/new").constData()), AFC_E_PERM_DENIED);
            QCOMPARE(afc_rename_path(afc, "secret-link", (dir + "/moved").constData()), AFC_E_PERM_DENIED);
        }
        QCOMPARE(TestData::readFile(outside + QStringLiteral("/secret.txt")), QByteArray("secret"));
        QCOMPARE(QDir(outside).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList {QStringLiteral("secret.txt")});
        // The link itself, inside the root, can still be looked at and removed.
        afc_error_t rc;
        QCOMPARE(fileInfo(afc, "secret-link", &rc).value(QStringLiteral("st_ifmt")), QStringLiteral("S_IFLNK"));
        QCOMPARE(afc_remove_path(afc, "secret-link"), AFC_E_SUCCESS);
        QVERIFY(QFile::exists(outside + QStringLiteral("/secret.txt")));
    }

    void absolutePathsStayInsideTheRoot()
    {
        QCOMPARE(m_client.writeFile("/tmp-in-media.txt", "x"), AFC_E_SUCCESS);
        QVERIFY(QFile::exists(m_media + QStringLiteral("/tmp-in-media.txt")));
        uint64_t handle = 0;
        QCOMPARE(afc_file_open(m_client.afc(), "/etc/passwd", AFC_FOPEN_RDONLY, &handle), AFC_E_OBJECT_NOT_FOUND);
        // Links that stay inside the root work.
        QCOMPARE(afc_make_directory(m_client.afc(), "real"), AFC_E_SUCCESS);
        QCOMPARE(afc_make_link(m_client.afc(), AFC_SYMLINK, "real", "alias"), AFC_E_SUCCESS);
        QCOMPARE(m_client.writeFile("alias/file", "inside"), AFC_E_SUCCESS);
        QCOMPARE(TestData::readFile(m_media + QStringLiteral("/real/file")), QByteArray("inside"));
        // A link made through AFC that points out is stored but never followed.
        QCOMPARE(afc_make_link(m_client.afc(), AFC_SYMLINK, "/etc", "etc-link"), AFC_E_SUCCESS);
        QCOMPARE(afc_file_open(m_client.afc(), "etc-link/passwd", AFC_FOPEN_RDONLY, &handle), AFC_E_PERM_DENIED);
    }

    void transfersToSeveralDevicesAtOnce_data()
    {
        QTest::addColumn<int>("linkRate");
        QTest::newRow("unlimited") << 0;
        QTest::newRow("usb-links") << 20 * 1000 * 1000;
    }

    void transfersToSeveralDevicesAtOnce()
    {
        // Each device has its own media folder; connections run in parallel.
        // A device's link, when it has a rate, holds back every byte.
        QFETCH(int, linkRate);
        m_fixture->server().setLinkRate(uint64_t(linkRate));
        QElapsedTimer timer;
        timer.start();
        const QStringList udids {m_fixture->udid(0), m_fixture->udid(1)};
        QList<QByteArray> payloads {TestData::patterned(3 << 20), TestData::patterned((2 << 20) + 7)};
        std::vector<std::thread> threads;
        std::atomic<int> failures {0};
        for (int i = 0; i < 2; ++i) {
            threads.emplace_back([&, i]() {
                AfcClient client;
                QByteArray back;
                if (client.open(udids[i]) != 0 || client.writeFile("same-name.bin", payloads[i], 65536) != AFC_E_SUCCESS
                    || client.readFile("same-name.bin", &back, 1 << 20) != AFC_E_SUCCESS || back != payloads[i])
                    ++failures;
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(failures.load(), 0);
        if (linkRate)   // 3 MiB each way on the first device's link
            QVERIFY(timer.elapsed() >= qint64(2.0 * (3 << 20) / linkRate * 1000));
        for (int i = 0; i < 2; ++i)
            QCOMPARE(TestData::readFile(m_fixture->mediaDir(udids[i]) + QStringLiteral("/same-name.bin")), payloads[i]);
    }

    // Some clients end the last path with the packet instead of a NUL.
    void pathsWithoutNulEndAtThePacket()
    {
        RawMuxClient raw(m_fixture->socketPath());
        QVERIFY(raw.connectTo(m_fixture->server().deviceNumber(m_udid), m_client.servicePort()));
        const auto request = [&raw](uint64_t operation, uint64_t num, const std::string &data, Afc::Header *header) {
            char bytes[Afc::kHeaderSize];
            if (!raw.send(Afc::packet(operation, num, data)) || !raw.receive(bytes, sizeof bytes)
                || Afc::decodeHeader(bytes, header) != Afc::HeaderCheck::Ok || !Afc::acceptableLengths(*header))
                return std::string();
            std::string body(size_t(header->entireLength - Afc::kHeaderSize), '\0');
            return raw.receive(body.data(), body.size()) ? body : std::string();
        };
        const auto status = [&request](uint64_t operation, uint64_t num, const std::string &data) {
            Afc::Header header;
            const std::string body = request(operation, num, data, &header);
            return body.size() == 8 && header.operation == Afc::OpStatus && header.packetNum == num
                ? Afc::getU64(body.data()) : ~0ull;
        };
        QCOMPARE(status(Afc::OpMakeDir, 1, "NoNul"), uint64_t(Afc::Success));
        QCOMPARE(status(Afc::OpRenamePath, 2, std::string("NoNul\0Renamed", 13)), uint64_t(Afc::Success));
        QVERIFY(QFileInfo(m_media + QStringLiteral("/Renamed")).isDir());
        Afc::Header header;
        const std::string info = request(Afc::OpGetFileInfo, 3, "Renamed", &header);
        QCOMPARE(header.operation, uint64_t(Afc::OpData));
        QVERIFY(info.find(std::string("st_ifmt\0S_IFDIR\0", 16)) != std::string::npos);
    }

    void malformedPacketsCloseOnlyTheirConnection_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const std::string good = Afc::packet(Afc::OpMakeDir, 1, Afc::pathData("x"));
        std::string magic = good;
        magic[3] = '!';
        std::string shortThis = good;
        Afc::putU64(shortThis.data() + 16, 12);
        std::string hugeHeaderData = good;
        Afc::putU64(hugeHeaderData.data() + 8, 1ull << 40);
        Afc::putU64(hugeHeaderData.data() + 16, 1ull << 40);
        std::string hugePayload = good;
        Afc::putU64(hugePayload.data() + 8, 1ull << 40);
        QTest::newRow("bad-magic") << QByteArray::fromStdString(magic);
        QTest::newRow("this-length-below-header") << QByteArray::fromStdString(shortThis);
        QTest::newRow("header-data-beyond-bounds") << QByteArray::fromStdString(hugeHeaderData);
        QTest::newRow("payload-on-a-non-write") << QByteArray::fromStdString(hugePayload);
    }

    void malformedPacketsCloseOnlyTheirConnection()
    {
        QFETCH(QByteArray, bytes);
        AfcClient second;
        QCOMPARE(second.open(m_udid), 0);
        RawMuxClient raw(m_fixture->socketPath());
        QVERIFY(raw.connectTo(m_fixture->server().deviceNumber(m_udid), second.servicePort()));
        QVERIFY(raw.send(bytes.toStdString()));
        QVERIFY(raw.closedByPeer());
        QCOMPARE(afc_make_directory(m_client.afc(), "StillFine"), AFC_E_SUCCESS);
        QVERIFY(!QFile::exists(m_media + QStringLiteral("/x")));
    }

private:
    std::unique_ptr<DeviceFixture> m_fixture;
    AfcClient m_client;
    QString m_udid;
    QString m_media;
};

QTEST_GUILESS_MAIN(TestVDeviceAfc)
#include "tst_vdevice_afc.moc"
