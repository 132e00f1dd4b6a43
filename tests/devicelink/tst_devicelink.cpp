// The device access functions against the virtual device over its usbmuxd
// socket: discovery, the passcode flow, values, services, files, faults.

#include "DevPort.h"
#include "DeviceFixture.h"
#include "DiagLogText.h"
#include "TestData.h"
#include "VDevice.h"
#include "VServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QDateTime>
#include <QTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// What the library's callbacks reported, for the test thread to wait on.
struct Events
{
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::pair<int, std::string>> changes;
    std::vector<std::string> passcodeAsks;
    std::vector<std::string> asks()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return passcodeAsks;
    }
    std::atomic<int> passcodeAnswer{0};
    std::function<void()> beforeAnswer;
    std::thread::id initThread;
    bool callbackOnInitThread = false;

    void reset()
    {
        std::lock_guard<std::mutex> lock(mutex);
        changes.clear();
        passcodeAsks.clear();
        passcodeAnswer = 0;
        beforeAnswer = nullptr;
        callbackOnInitThread = false;
    }
    bool waitChange(int state, std::string *id, int timeoutMs = 10000)
    {
        std::unique_lock<std::mutex> lock(mutex);
        const bool got = cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !changes.empty(); });
        if (!got)
            return false;
        const auto change = changes.front();
        changes.pop_front();
        if (id)
            *id = change.second;
        return change.first == state;
    }
    size_t pendingChanges()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return changes.size();
    }
} g_events;

void onChange(int state, const char *id)
{
    std::lock_guard<std::mutex> lock(g_events.mutex);
    if (std::this_thread::get_id() == g_events.initThread)
        g_events.callbackOnInitThread = true;
    g_events.changes.emplace_back(state, id);
    g_events.cv.notify_all();
}

int onPasscode(const char *id)
{
    std::function<void()> before;
    {
        std::lock_guard<std::mutex> lock(g_events.mutex);
        g_events.passcodeAsks.push_back(id);
        before = g_events.beforeAnswer;
        g_events.cv.notify_all();
    }
    if (before)
        before();
    return g_events.passcodeAnswer;
}

} // namespace

class TestDeviceLink : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeviceFixture> m_fixture;
    VDeviceProfile m_phone;
    VDeviceProfile m_pad;
    std::string m_id;
    std::string m_udid;   // the iPhone's, for ctl commands

    std::string ctl(std::vector<std::string> args)
    {
        std::string out;
        if (!m_fixture->ctl(args, &out))
            qWarning("ctl failed: %s", out.c_str());
        return out;
    }
    bool startScanning()
    {
        g_events.initThread = std::this_thread::get_id();
        return DVPT_Init(onChange, "/tmp/", "", 0, onPasscode, 1) == 0;
    }
    // Starts the device link and waits for the iPhone; its identifier goes to m_id.
    bool arrive() { return startScanning() && g_events.waitChange(1, &m_id); }
    QString mediaFile(const QString &relative) const { return m_fixture->mediaDir(0) + QLatin1Char('/') + relative; }

private slots:
    void init()
    {
        g_events.reset();
        m_fixture = std::make_unique<DeviceFixture>();
        QVERIFY2(m_fixture->ok(), qPrintable(m_fixture->error()));
        m_phone = m_fixture->profile(0);
        m_pad = VDeviceFolder::defaultProfile(1);
        m_udid = m_phone.udid.toStdString();
        DVPT_SetServiceTimeout(3000);
    }
    void cleanup() { m_fixture.reset(); }

    void arrivalValuesAndFamilies()
    {
        QVERIFY(arrive());
        QCOMPARE(QString::fromStdString(m_id), QStringLiteral("1-") + m_phone.udid);
        QVERIFY(!g_events.callbackOnInitThread);

        // Model, ProductIdentifier and DeviceIdentifier: what the device record
        // asks by names lockdown does not know.
        const std::pair<const char *, QString> expected[] {{"DeviceName", m_phone.name}, {"ProductVersion", m_phone.productVersion},
                                                         {"Model", m_phone.productType}, {"ProductIdentifier", QStringLiteral("12A8")},
                                                         {"DeviceIdentifier", m_phone.udid}};
        char buffer[256];
        for (const auto &[key, value] : expected) {
            QCOMPARE(DVPT_GetValue(key, buffer, 256, m_id.c_str()), 0);
            QCOMPARE(QString::fromUtf8(buffer), value);
        }
        char tiny[4];
        QCOMPARE(DVPT_GetValue("DeviceName", tiny, 4, m_id.c_str()), 0);
        QCOMPARE(QByteArray(tiny), m_phone.name.toUtf8().left(3));
        QVERIFY(DVPT_GetValue("NoSuchKey", buffer, 256, m_id.c_str()) != 0);
        QVERIFY(DVPT_GetValue("DeviceName", buffer, 256, "7-unknown") != 0);

        std::map<std::string, std::string> values;
        QCOMPARE(DVPT_GetDeviceInfoMap(m_id.c_str(), &values), 0);
        QCOMPARE(QString::fromStdString(values["SerialNumber"]), m_phone.serialNumber);

        uint64_t free = 0, total = 0, block = 0;
        QVERIFY(DVPT_GetDiskSpace(m_id.c_str(), &free, &total, &block) != 0);
        const auto device = m_fixture->server().device(m_phone.udid);
        QCOMPARE(free, device->freeBytes());
        QCOMPARE(total, device->totalBytes());
        QVERIFY(total > free);
        QVERIFY(block > 0);

        const int length = zorn_dvpt_get_device_info_length(m_id.c_str());
        QCOMPARE(length, 1);
        std::vector<char> families(size_t(length) + 1);
        QCOMPARE(zorn_dvpt_get_device_info(m_id.c_str(), families.data(), length + 1), 0);
        QCOMPARE(QByteArray(families.data()), QByteArray("1"));
    }

    void attachDetachReplugAndTwoDevices()
    {
        QString error;
        QVERIFY(VDeviceFolder::create(m_fixture->stateDir(), m_pad, &error));
        QVERIFY(startScanning());
        std::string phoneId;
        QVERIFY(g_events.waitChange(1, &phoneId));
        ctl({"attach", m_pad.udid.toStdString()});
        std::string padId;
        QVERIFY(g_events.waitChange(1, &padId));
        QVERIFY(padId != phoneId);
        QVERIFY(QByteArray::fromStdString(padId).endsWith(m_pad.udid.toLatin1()));

        char families[8];
        QCOMPARE(zorn_dvpt_get_device_info(padId.c_str(), families, sizeof families), 0);
        QCOMPARE(QByteArray(families), QByteArray("1,2"));

        ctl({"detach", m_udid});
        std::string gone;
        QVERIFY(g_events.waitChange(0, &gone));
        QCOMPARE(gone, phoneId);
        char buffer[256];
        QVERIFY(DVPT_GetValue("DeviceName", buffer, 256, phoneId.c_str()) != 0);
        QCOMPARE(DVPT_GetValue("DeviceName", buffer, 256, padId.c_str()), 0);

        ctl({"attach", m_udid});
        std::string back;
        QVERIFY(g_events.waitChange(1, &back));
        QVERIFY(back != phoneId);   // a new usbmux number, as with a real replug

        // Replugs do not pile up threads. A finished thread that nobody joins
        // keeps its stack: a private mapping of the default stack size that
        // no new thread can reuse.
        const auto threadStacks = [] {
            QFile maps(QStringLiteral("/proc/self/maps"));
            maps.open(QIODevice::ReadOnly);
            int stacks = 0;
            for (const QByteArray &line : maps.readAll().split('\n')) {
                const QList<QByteArray> range = line.split(' ').first().split('-');
                if (range.size() == 2 && line.contains(" rw-p ")
                    && range[1].toULongLong(nullptr, 16) - range[0].toULongLong(nullptr, 16) == 8ull << 20)
                    ++stacks;
            }
            return stacks;
        };
        const int before = threadStacks();
        for (int i = 0; i < 12; ++i) {
            ctl({"detach", m_udid});
            QVERIFY(g_events.waitChange(0, nullptr));
            ctl({"attach", m_udid});
            QVERIFY(g_events.waitChange(1, nullptr));
        }
        QVERIFY2(threadStacks() - before < 4, qPrintable(QString::number(threadStacks() - before)));
    }

    void lockedDeviceAsksForPasscode()
    {
        ctl({"lock", m_udid});
        g_events.passcodeAnswer = 0;
        QVERIFY(startScanning());
        QTRY_VERIFY_WITH_TIMEOUT(!g_events.asks().empty(), 10000);
        QCOMPARE(QString::fromStdString(g_events.asks().front()), QStringLiteral("1-") + m_phone.udid);
        QVERIFY(!g_events.waitChange(1, nullptr, 500));   // gave up: never announced

        // Plug in again; this time the user unlocks and asks to retry.
        ctl({"detach", m_udid});
        g_events.beforeAnswer = [this] { ctl({"unlock", m_udid}); };
        g_events.passcodeAnswer = 1;
        ctl({"attach", m_udid});
        QVERIFY(g_events.waitChange(1, &m_id));
        QCOMPARE(g_events.asks().size(), size_t(2));
    }

    void trustDialogDeniedAndForgottenHost()
    {
        DVPT_SetTrustWait(20000);
        // A device met for the first time: the user is asked once, and the
        // device is polled until the user taps Trust on it.
        ctl({"untrust", m_udid});
        g_events.passcodeAnswer = 1;
        g_events.beforeAnswer = [this] {
            std::thread([this] {
                std::this_thread::sleep_for(std::chrono::milliseconds(2500));
                ctl({"trust", m_udid});
            }).detach();
        };
        QVERIFY(startScanning());
        QVERIFY(g_events.waitChange(1, &m_id, 20000));
        QCOMPARE(g_events.asks().size(), size_t(1));
        QVERIFY(QFile::exists(m_fixture->stateDir() + QStringLiteral("/pairrecords/") + m_phone.udid + QStringLiteral(".plist")));

        // The user taps "Don't Trust" first: asked again, and Retry pairs.
        ctl({"detach", m_udid});
        QVERIFY(g_events.waitChange(0, nullptr));
        ctl({"untrust", m_udid});
        g_events.reset();
        g_events.passcodeAnswer = 1;
        g_events.beforeAnswer = [this] { ctl({g_events.asks().size() == 1 ? "deny" : "trust", m_udid}); };
        ctl({"attach", m_udid});
        QVERIFY(g_events.waitChange(1, &m_id, 20000));
        QCOMPARE(g_events.asks().size(), size_t(2));

        // The device was reset and forgot this computer: the stale record
        // goes, and the trust dialog comes up again.
        ctl({"detach", m_udid});
        QVERIFY(g_events.waitChange(0, nullptr));
        ctl({"forget-host", m_udid});
        g_events.reset();
        g_events.passcodeAnswer = 1;
        g_events.beforeAnswer = [this] { ctl({"trust", m_udid}); };
        ctl({"attach", m_udid});
        QVERIFY(g_events.waitChange(1, &m_id, 20000));
        QCOMPARE(g_events.asks().size(), size_t(1));
        DVPT_SetTrustWait(0);
    }

    void mediaFilesRoundTrip()
    {
        QVERIFY(arrive());
        const char *id = m_id.c_str();
        QCOMPARE(zorn_dvpt_DirectoryCreate(id, "PublicStaging"), 0);
        const QByteArray data = TestData::patterned(5 * 1024 * 1024 + 17);
        const std::string path = m_id + "/PublicStaging/big.zip";
        uint64_t ref = 0;
        QCOMPARE(zorn_dvpt_fopen(id, path.c_str(), "wb", &ref), 0);
        QVERIFY(ref != 0);
        for (int at = 0; at < data.size(); at += 65535) {
            const int n = qMin(65535, int(data.size()) - at);
            QCOMPARE(zorn_dvpt_FileRefWrite(id, ref, data.constData() + at, uint32_t(n)), 0);
        }
        QCOMPARE(zorn_dvpt_FileTell(id, ref), int64_t(data.size()));
        QCOMPARE(zorn_dvpt_FileClose(id, ref), 0);

        QCOMPARE(QCryptographicHash::hash(TestData::readFile(mediaFile(QStringLiteral("PublicStaging/big.zip"))),
                                          QCryptographicHash::Sha1),
                 QCryptographicHash::hash(data, QCryptographicHash::Sha1));

        // Without the identifier prefix the path names the same file.
        QCOMPARE(zorn_dvpt_fopen(id, "PublicStaging/big.zip", "rb", &ref), 0);
        QCOMPARE(zorn_dvpt_FileRefSeek(id, ref, 0, 2), 0);
        QCOMPARE(zorn_dvpt_FileTell(id, ref), int64_t(data.size()));
        QCOMPARE(zorn_dvpt_FileRefSeek(id, ref, 1000000, 0), 0);
        QCOMPARE(zorn_dvpt_FileTell(id, ref), int64_t(1000000));
        QByteArray back;
        char chunk[65535];
        for (;;) {
            uint32_t n = sizeof chunk;
            QCOMPARE(zorn_dvpt_FileRefRead(id, ref, chunk, &n), 0);
            if (n == 0)
                break;
            back.append(chunk, int(n));
        }
        QCOMPARE(back, data.mid(1000000));
        QCOMPARE(zorn_dvpt_FileClose(id, ref), 0);

        QCOMPARE(zorn_dvpt_RenamePath(id, path.c_str(), (m_id + "/PublicStaging/renamed.zip").c_str()), 0);
        QVERIFY(QFile::exists(mediaFile(QStringLiteral("PublicStaging/renamed.zip"))));
        QCOMPARE(zorn_dvpt_RemovePath(id, "PublicStaging/renamed.zip"), 0);
        QVERIFY(!QFile::exists(mediaFile(QStringLiteral("PublicStaging/renamed.zip"))));
        QVERIFY(zorn_dvpt_fopen(id, "PublicStaging/missing", "rb", &ref) != 0);
        QVERIFY(zorn_dvpt_fopen(id, "../../escape", "wb", &ref) != 0);
        QVERIFY(zorn_dvpt_FileClose(id, 0xdead) != 0);
    }

    void exFunctionsOverAService()
    {
        QVERIFY(arrive());
        QDir().mkpath(mediaFile(QStringLiteral("Documents")));
        ServiceConnection *conn = zorn_dvpt_OpenService(m_id.c_str(), "com.apple.afc");
        QVERIFY(conn && conn->service && conn->fileService);
        const int fs = conn->fileService;

        uint64_t ref = 0;
        QCOMPARE(zorn_dvpt_DirectoryCreateEx(fs, (m_id + "/Documents/sub").c_str()), 0);
        QCOMPARE(zorn_dvpt_fopenEx(fs, (m_id + "/Documents/note.txt").c_str(), "wb", &ref), 0);
        QCOMPARE(zorn_dvpt_FileRefWriteEx(fs, ref, "hello", 5), 0);
        QCOMPARE(zorn_dvpt_FileCloseEx(fs, ref), 0);
        QCOMPARE(zorn_dvpt_fopenEx(fs, "Documents/note.txt", "ab", &ref), 0);
        QCOMPARE(zorn_dvpt_FileRefWriteEx(fs, ref, " world", 6), 0);
        uint64_t position = 0;
        QCOMPARE(zorn_dvpt_FileTellEx(fs, ref, &position), 0);
        QCOMPARE(position, uint64_t(11));
        QCOMPARE(zorn_dvpt_FileCloseEx(fs, ref), 0);

        QCOMPARE(zorn_dvpt_fopenEx(fs, "Documents/note.txt", "1", &ref), 0);   // probe
        QCOMPARE(zorn_dvpt_FileRefSeekEx(fs, ref, 6, 0), 0);
        char text[32];
        uint32_t n = sizeof text;
        QCOMPARE(zorn_dvpt_FileRefReadEx(fs, ref, text, &n), 0);
        QCOMPARE(QByteArray(text, int(n)), QByteArray("world"));
        QCOMPARE(zorn_dvpt_FileCloseEx(fs, ref), 0);
        QVERIFY(zorn_dvpt_fopenEx(fs, "Documents/absent.txt", "1", &ref) != 0);

        uint64_t dir = 0;
        QCOMPARE(zorn_dvpt_DirectoryOpen(fs, (m_id + "/Documents").c_str(), &dir), 0);
        QStringList names;
        const char *name = nullptr;
        while (zorn_dvpt_DirectoryRead(fs, dir, &name) == 0 && name)
            names << QString::fromUtf8(name);
        QCOMPARE(zorn_dvpt_DirectoryClose(fs, dir), 0);
        names.sort();
        QCOMPARE(names, (QStringList{QStringLiteral("."), QStringLiteral(".."), QStringLiteral("note.txt"),
                                     QStringLiteral("sub")}));

        QVERIFY(DVPT_IsFileEx("Documents/note.txt", fs) != 0);
        QCOMPARE(DVPT_IsFileEx("Documents/sub", fs), 0);
        QCOMPARE(DVPT_IsFileEx("Documents/absent", fs), 0);
        uint64_t size = 0, mtime = 0, birth = 0;
        QCOMPARE(zorn_dvpt_get_file_info(fs, (m_id + "/Documents/note.txt").c_str(), &size, &mtime, &birth), 0);
        QCOMPARE(size, uint64_t(11));
        const qint64 nowNs = QDateTime::currentMSecsSinceEpoch() * 1000000;
        QVERIFY(qAbs(qint64(mtime) - nowNs) < qint64(60) * 1000000000);

        QCOMPARE(DVPT_RenameFileEx(fs, "Documents/note.txt", (m_id + "/Documents/n2.txt").c_str()), 0);
        QCOMPARE(DVPT_RemoveFileEx(fs, "Documents/n2.txt"), 0);
        QVERIFY(DVPT_RemoveFileEx(fs, "Documents/n2.txt") != 0);
        zorn_dvpt_CloseService(conn);
        QVERIFY(zorn_dvpt_fopenEx(fs, "Documents/x", "wb", &ref) != 0);   // the handle is gone
    }

    void faultsFailPromptly_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("arg");
        QTest::addColumn<bool>("writing");
        QTest::newRow("drop-mid-read") << QStringLiteral("drop") << QStringLiteral("300000") << false;
        QTest::newRow("drop-mid-write") << QStringLiteral("drop") << QStringLiteral("300000") << true;
        QTest::newRow("garbage") << QStringLiteral("garbage") << QString() << false;
        QTest::newRow("huge-length") << QStringLiteral("hugelength") << QString() << false;
        QTest::newRow("silent-peer") << QStringLiteral("delay") << QStringLiteral("8000") << false;
    }
    void faultsFailPromptly()
    {
        QFETCH(QString, kind);
        QFETCH(QString, arg);
        QFETCH(bool, writing);
        QVERIFY(arrive());
        const QByteArray data = TestData::patterned(2 * 1024 * 1024);
        QVERIFY(TestData::writeFile(mediaFile(QStringLiteral("big.bin")), data));

        std::vector<std::string> args{"fault", m_udid, "com.apple.afc", kind.toStdString()};
        if (!arg.isEmpty())
            args.push_back(arg.toStdString());
        ctl(args);
        TestData::clearDiagLog();
        QElapsedTimer timer;
        timer.start();
        const char *id = m_id.c_str();
        uint64_t ref = 0;
        int rc = zorn_dvpt_fopen(id, writing ? "copy.bin" : "big.bin", writing ? "wb" : "rb", &ref);
        char chunk[65535];
        for (int at = 0; rc == 0; at += int(sizeof chunk)) {
            if (writing) {
                if (at >= data.size())
                    break;
                rc = zorn_dvpt_FileRefWrite(id, ref, data.constData() + at, uint32_t(qMin(int(sizeof chunk), int(data.size()) - at)));
                continue;
            }
            uint32_t n = sizeof chunk;
            rc = zorn_dvpt_FileRefRead(id, ref, chunk, &n);
            if (rc == 0 && n == 0)
                break;
        }
        QVERIFY2(rc != 0, "the fault went unnoticed");
        QVERIFY(timer.elapsed() < 7000);
        QVERIFY(!TestData::diagLog().isEmpty());

        // Once the fault is gone the device is usable again.
        ctl({"clear-faults", m_udid});
        QCOMPARE(zorn_dvpt_fopen(id, "big.bin", "rb", &ref), 0);
        QCOMPARE(zorn_dvpt_FileClose(id, ref), 0);
    }

    void scanningWithoutUsbmuxdStopsCleanly()
    {
        qputenv("USBMUXD_SOCKET_ADDRESS", "UNIX:" + (m_fixture->root() + QStringLiteral("/nobody.sock")).toLocal8Bit());
        QElapsedTimer timer;
        timer.start();
        QVERIFY(startScanning());
        QVERIFY(!g_events.waitChange(1, nullptr, 300));
        DVPT_Shutdown();
        QVERIFY(timer.elapsed() < 5000);
    }

    void endedSessionIsOpenedAgain()
    {
        QVERIFY(arrive());
        ServicePtr first(zorn_dvpt_OpenService(m_id.c_str(), "com.apple.afc"));
        QVERIFY(first);
        // The device ends its lockdown sessions; every kind of request shakes
        // hands again instead of failing: a service start, a domain.
        ctl({"end-sessions", m_udid});
        ServicePtr second(zorn_dvpt_OpenService(m_id.c_str(), "com.apple.afc"));
        QVERIFY(second);
        uint64_t ref = 0;
        QCOMPARE(zorn_dvpt_fopenEx(second->fileService, "probe.txt", "wb", &ref), 0);
        QCOMPARE(zorn_dvpt_FileCloseEx(second->fileService, ref), 0);
        QVERIFY(QFile::exists(mediaFile(QStringLiteral("probe.txt"))));
        ctl({"end-sessions", m_udid});
        uint64_t free = 0, total = 0, block = 0;
        QVERIFY(DVPT_GetDiskSpace(m_id.c_str(), &free, &total, &block) != 0);
        QCOMPARE(total, m_fixture->server().device(m_phone.udid)->totalBytes());
        QCOMPARE(g_events.pendingChanges(), size_t(0));   // no removal was reported
    }

    void otherThreadsDoNotWaitForARoundTrip()
    {
        QVERIFY(arrive());
        // A worker starts a service on a device that answers lockdown slowly.
        ctl({"fault", m_udid, "com.apple.mobile.lockdown", "delay", "1500"});
        ctl({"end-sessions", m_udid});
        QElapsedTimer worker;
        worker.start();
        std::atomic<bool> started{false};
        std::thread thread([&] {
            started = true;
            ServicePtr conn(zorn_dvpt_OpenService(m_id.c_str(), "com.apple.afc"));
        });
        while (!started)
            std::this_thread::yield();
        QTest::qWait(100);
        // Meanwhile the window reads what is known of the device at once.
        QElapsedTimer reader;
        reader.start();
        char buffer[256];
        QCOMPARE(DVPT_GetValue("DeviceName", buffer, 256, m_id.c_str()), 0);
        QCOMPARE(zorn_dvpt_get_device_info_length(m_id.c_str()), 1);
        const qint64 readTime = reader.elapsed();
        thread.join();
        QVERIFY2(worker.elapsed() >= 1400, "the lockdown delay did not apply");
        QVERIFY2(readTime < 500, qPrintable(QString::number(readTime)));
    }

    void ejectReportsRemovalUntilReplugged()
    {
        QVERIFY(arrive());
        ServiceConnection *conn = zorn_dvpt_OpenService(m_id.c_str(), "com.apple.afc");
        QVERIFY(conn);
        QCOMPARE(DVPT_Eject(m_id.c_str()), 0);
        std::string gone;
        QVERIFY(g_events.waitChange(0, &gone));
        QCOMPARE(gone, m_id);
        uint64_t ref = 0;
        QVERIFY(zorn_dvpt_fopenEx(conn->fileService, "x", "wb", &ref) != 0);   // its connection was closed
        zorn_dvpt_CloseService(conn);
        QVERIFY(!zorn_dvpt_OpenService(m_id.c_str(), "com.apple.afc"));
        QVERIFY(DVPT_Eject(m_id.c_str()) != 0);

        ctl({"detach", m_udid});
        QVERIFY(!g_events.waitChange(0, nullptr, 500));   // no second removal
        ctl({"attach", m_udid});
        QVERIFY(g_events.waitChange(1, nullptr));
    }
};

QTEST_GUILESS_MAIN(TestDeviceLink)
#include "tst_devicelink.moc"
