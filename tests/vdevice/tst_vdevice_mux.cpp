// The usbmuxd side of the virtual device: device lists, events reaching a
// libusbmuxd subscriber, pair records, bad requests, and the daemon itself.

#include "RawMuxClient.h"
#include "AfcClient.h"

#include <QFile>
#include <QProcessEnvironment>

#include <mutex>

namespace {

struct EventLog
{
    std::mutex mutex;
    QList<QPair<int, QString>> events;   // (UE_DEVICE_ADD/REMOVE, UDID)
    QList<uint32_t> handles;

    static void callback(const usbmuxd_event_t *event, void *user)
    {
        auto *log = static_cast<EventLog *>(user);
        std::lock_guard<std::mutex> lock(log->mutex);
        log->events.append({event->event, QString::fromUtf8(event->device.udid)});
        log->handles.append(event->device.handle);
    }

    int count(int kind, const QString &udid)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return int(events.count({kind, udid}));
    }

    uint32_t lastHandle()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return handles.isEmpty() ? 0 : handles.last();
    }
};

QStringList lines(const QByteArray &text)
{
    return QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestVDeviceMux : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<DeviceFixture>(std::vector<int>{0, 1, 2});
        QVERIFY2(m_fixture->ok(), qPrintable(m_fixture->error()));
    }

    void cleanup() { m_fixture.reset(); }

    void devicesAreListedAndNumberedFromOne()
    {
        usbmuxd_device_info_t *list = nullptr;
        const int count = usbmuxd_get_device_list(&list);
        QCOMPARE(count, 3);
        QStringList listed;
        for (int i = 0; i < count; ++i) {
            QCOMPARE(list[i].handle, uint32_t(i + 1));
            QCOMPARE(list[i].conn_type, CONNECTION_TYPE_USB);
            listed << QString::fromUtf8(list[i].udid);
        }
        usbmuxd_device_list_free(&list);
        QCOMPARE(listed, (QStringList {m_fixture->udid(0), m_fixture->udid(1), m_fixture->udid(2)}));
        // The new-style UDID travels without its dash and comes back with it.
        QVERIFY(listed.contains(VDeviceFolder::defaultProfile(1).udid));
        QByteArray out;
        QCOMPARE(DeviceFixture::run(QStringLiteral("idevice_id"), {m_fixture->profile(0).udid}, &out), 0);
        QCOMPARE(out.trimmed(), QByteArray("Demo iPhone"));
        QVERIFY(!m_fixture->control({QStringLiteral("attach"), m_fixture->udid(0)}));
        QVERIFY(!m_fixture->control({QStringLiteral("detach"), QStringLiteral("no-such-device")}));
    }

    void attachAndDetachReachASubscriber()
    {
        EventLog log;
        usbmuxd_subscription_context_t context = nullptr;
        QCOMPARE(usbmuxd_events_subscribe(&context, &EventLog::callback, &log), 0);
        const QString udid = m_fixture->udid(2);
        QTRY_COMPARE_WITH_TIMEOUT(log.count(UE_DEVICE_ADD, udid), 1, 10000);
        QVERIFY(m_fixture->control({QStringLiteral("detach"), udid}));
        QTRY_COMPARE_WITH_TIMEOUT(log.count(UE_DEVICE_REMOVE, udid), 1, 10000);
        QCOMPARE(log.lastHandle(), uint32_t(3));
        QByteArray out;
        QCOMPARE(DeviceFixture::run(QStringLiteral("idevice_id"), {QStringLiteral("-l")}, &out), 0);
        QVERIFY(!lines(out).contains(udid));
        QVERIFY(m_fixture->control({QStringLiteral("attach"), udid}));
        QTRY_COMPARE_WITH_TIMEOUT(log.count(UE_DEVICE_ADD, udid), 2, 10000);
        QCOMPARE(log.lastHandle(), uint32_t(4));
        usbmuxd_events_unsubscribe(context);
        // The flag is kept on disk.
        QVERIFY(QFile(m_fixture->stateDir() + QLatin1Char('/') + udid + QStringLiteral("/device.plist")).size() > 0);
    }

    void detachBreaksOpenConnections()
    {
        AfcClient client;
        QCOMPARE(client.open(m_fixture->profile(0).udid), 0);
        QCOMPARE(afc_make_directory(client.afc(), "Before"), AFC_E_SUCCESS);
        QVERIFY(m_fixture->control({QStringLiteral("detach"), m_fixture->profile(0).udid}));
        QVERIFY(afc_make_directory(client.afc(), "After") != AFC_E_SUCCESS);
        QVERIFY(!QFile::exists(m_fixture->mediaDir(m_fixture->profile(0).udid) + QStringLiteral("/After")));
    }

    void pairRecordsRoundTrip()
    {
        const QByteArray udid = m_fixture->profile(0).udid.toUtf8();
        const PlistPtr parsed = hostPairRecord(m_fixture->profile(0).udid);
        QVERIFY(parsed);
        QVERIFY(plist_dict_get_item(parsed.get(), "HostID"));
        QVERIFY(plist_dict_get_item(parsed.get(), "SystemBUID"));

        char *record = nullptr;
        uint32_t size = 0;
        const QByteArray saved = "<?xml version=\"1.0\"?><plist><dict><key>HostID</key><string>X</string></dict></plist>";
        QCOMPARE(usbmuxd_save_pair_record(udid.constData(), saved.constData(), uint32_t(saved.size())), 0);
        QCOMPARE(usbmuxd_read_pair_record(udid.constData(), &record, &size), 0);
        QCOMPARE(QByteArray(record, int(size)), saved);
        free(record);
        QCOMPARE(usbmuxd_delete_pair_record(udid.constData()), 0);
        QVERIFY(usbmuxd_delete_pair_record(udid.constData()) != 0);
        QVERIFY(usbmuxd_read_pair_record("unknown-device", &record, &size) != 0);
        QVERIFY(usbmuxd_read_pair_record("../../etc/passwd", &record, &size) != 0);
    }

    void badRequestsCloseOnlyTheirConnection_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray hugeHeader(16, '\0');
        hugeHeader[0] = char(0xff);
        hugeHeader[1] = char(0xff);
        hugeHeader[2] = char(0xff);
        hugeHeader[3] = char(0x7f);
        QTest::newRow("length-beyond-64KiB") << hugeHeader;
        QByteArray tooShort(16, '\0');
        tooShort[0] = 8;
        QTest::newRow("length-below-header") << tooShort;
        const std::string notPlist = VMuxPacket::packet(1, makePlistPtr(plist_new_dict()).get());
        QByteArray garbage = QByteArray::fromStdString(notPlist.substr(0, 16)) + QByteArray(int(notPlist.size()) - 16, 'x');
        QTest::newRow("body-not-a-plist") << garbage;
        PlistPtr array = makePlistPtr(plist_new_array());
        QTest::newRow("body-not-a-dict") << QByteArray::fromStdString(VMuxPacket::packet(1, array.get()));
        QByteArray binaryProtocol = QByteArray::fromStdString(notPlist.substr(0, 16));
        binaryProtocol[4] = 0;   // version 0
        QTest::newRow("binary-protocol") << binaryProtocol;
    }

    void badRequestsCloseOnlyTheirConnection()
    {
        QFETCH(QByteArray, bytes);
        RawMuxClient listener(m_fixture->socketPath());
        PlistPtr listen = messageOf("Listen");
        QVERIFY(listener.request(listen.get()));
        QVERIFY(listener.reply());   // Result

        RawMuxClient bad(m_fixture->socketPath());
        QVERIFY(bad.send(bytes.toStdString()));
        QVERIFY(bad.closedByPeer());

        QByteArray out;
        QCOMPARE(DeviceFixture::run(QStringLiteral("idevice_id"), {QStringLiteral("-l")}, &out), 0);
        QCOMPARE(lines(out).size(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY(listener.reply());   // the Attached of each present device
        QVERIFY(m_fixture->control({QStringLiteral("detach"), m_fixture->udid(1)}));
        PlistPtr event = listener.reply();
        QVERIFY(event);
        QCOMPARE(VMuxPacket::stringItem(event.get(), "MessageType"), std::string("Detached"));
    }

    void answersUnknownCommandsAndBadConnects()
    {
        RawMuxClient client(m_fixture->socketPath());
        PlistPtr bogus = messageOf("Bogus");
        QVERIFY(client.request(bogus.get(), 77));
        uint32_t tag = 0;
        PlistPtr answer = client.reply(&tag);
        QVERIFY(answer);
        QCOMPARE(tag, uint32_t(77));
        QCOMPARE(VMuxPacket::uintItem(answer.get(), "Number"), uint64_t(1));
        uint64_t result = 0;
        QVERIFY(!client.connectTo(99, 62078, &result));
        QCOMPARE(result, uint64_t(2));
        RawMuxClient other(m_fixture->socketPath());
        QVERIFY(!other.connectTo(1, 1234, &result));
        QCOMPARE(result, uint64_t(3));
    }

    void daemonServesUntilSigterm()
    {
        const QString bin = qEnvironmentVariable("APPSHUTTLE_BIN_DIR");
        if (bin.isEmpty())
            QSKIP("APPSHUTTLE_BIN_DIR is not set");
        const QString program = bin + QStringLiteral("/appshuttle-vdevice");
        const QString socket = m_fixture->root() + QStringLiteral("/daemon.sock");
        const QString state = m_fixture->root() + QStringLiteral("/daemon-state");
        QProcess daemon;
        daemon.start(program, {QStringLiteral("serve"), QStringLiteral("--socket"), socket,
                               QStringLiteral("--state"), state, QStringLiteral("--devices"), QStringLiteral("2"),
                               QStringLiteral("--plain-lockdown"), QStringLiteral("--idle-timeout"), QStringLiteral("60")});
        QVERIFY(daemon.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 20000);
        // The socket appears only when it answers.
        QByteArray out;
        QCOMPARE(DeviceFixture::run(program, {QStringLiteral("ctl"), QStringLiteral("--socket"), socket,
                                               QStringLiteral("list")}, &out), 0);
        QCOMPARE(lines(out).size(), 2);
        const QString udid = VDeviceFolder::defaultProfile(0).udid;
        QVERIFY(out.contains(udid.toUtf8() + " attached unlocked trusted iPhone6,1 8.2 Demo iPhone"));
        QByteArray err;
        QCOMPARE(DeviceFixture::run(program, {QStringLiteral("ctl"), QStringLiteral("--socket"), socket,
                                               QStringLiteral("fault"), udid, QStringLiteral("*"),
                                               QStringLiteral("nonsense")}, &out, &err), 1);
        QVERIFY(err.contains("unknown fault kind"));

        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("USBMUXD_SOCKET_ADDRESS"), QStringLiteral("UNIX:") + socket);
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("ideviceinfo"), {QStringLiteral("-u"), udid, QStringLiteral("-k"), QStringLiteral("DeviceName")});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.readAllStandardOutput().trimmed(), QByteArray("Demo iPhone"));

        daemon.terminate();
        QVERIFY(daemon.waitForFinished(20000));
        QCOMPARE(daemon.exitStatus(), QProcess::NormalExit);
        QCOMPARE(daemon.exitCode(), 0);
        QVERIFY(!QFile::exists(socket));
    }

private:
    std::unique_ptr<DeviceFixture> m_fixture;
};

QTEST_GUILESS_MAIN(TestVDeviceMux)
#include "tst_vdevice_mux.moc"
