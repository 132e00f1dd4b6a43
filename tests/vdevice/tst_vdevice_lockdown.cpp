// lockdown of the virtual device as ideviceinfo and libimobiledevice's
// handshake see it: values, domains, TLS sessions and their end, pairing, a
// locked device.

#include "RawMuxClient.h"
#include "AfcClient.h"
#include "VLockdown.h"

#include <QElapsedTimer>

class TestVDeviceLockdown : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<DeviceFixture>(std::vector<int>{0, 1});
        QVERIFY2(m_fixture->ok(), qPrintable(m_fixture->error()));
        m_udid = m_fixture->profile(0).udid;
    }

    void cleanup() { m_fixture.reset(); }

    // Single keys (-k) are read in sessionsSpeakTlsUnlessPlain and
    // lockedDeviceOpensSessionsButNoAppServices, a missing one in
    // startServiceNeedsAKnownServiceAndASession.
    void ideviceinfoPrintsTheRootAndDiskUsageDomains()
    {
        const QByteArray udidLine = "UniqueDeviceID: " + m_udid.toUtf8() + '\n';
        const QList<QPair<QStringList, QList<QByteArray>>> queries {
            {{}, {"DeviceName: Demo iPhone\n", "DeviceClass: iPhone\n", "ProductType: iPhone6,1\n", "ProductVersion: 8.2\n",
                  "BuildVersion: 12D508\n", "HardwareModel: N51AP\n", udidLine, "PasswordProtected: false\n", "SerialNumber: "}},
            {{QStringLiteral("-q"), QStringLiteral("com.apple.disk_usage")},
             {"TotalDiskCapacity: 17179869184\n", "TotalDataCapacity: ", "TotalDataAvailable: ", "TotalSystemCapacity: ",
              "AmountDataAvailable: "}}};
        for (const auto &[args, lines] : queries) {
            QByteArray out;
            QCOMPARE(DeviceFixture::run(QStringLiteral("ideviceinfo"), QStringList {QStringLiteral("-u"), m_udid} + args, &out), 0);
            out.prepend('\n');
            for (const QByteArray &line : lines)
                QVERIFY2(out.contains('\n' + line), line.constData());
            if (args.isEmpty())
                QVERIFY(!out.contains("com.apple.disk_usage"));   // domains are not root values
        }
    }

    void lockedDeviceOpensSessionsButNoAppServices()
    {
        QVERIFY(m_fixture->control({QStringLiteral("lock"), m_udid}));
        AfcClient client;
        QCOMPARE(client.open(m_udid), int(LOCKDOWN_E_PASSWORD_PROTECTED));   // StartService of AFC
        lockdownd_service_descriptor_t service = nullptr;
        QCOMPARE(lockdownd_start_service(client.lockdown(), "com.apple.mobile.notification_proxy", &service),
                 LOCKDOWN_E_SUCCESS);
        lockdownd_service_descriptor_free(service);
        QByteArray out;
        QCOMPARE(DeviceFixture::run(QStringLiteral("ideviceinfo"), {QStringLiteral("-u"), m_udid, QStringLiteral("-k"),
                                                                     QStringLiteral("PasswordProtected")}, &out), 0);
        QCOMPARE(out, QByteArray("true\n"));
        // The other device is not affected.
        QCOMPARE(client.open(m_fixture->udid(0)), 0);
        QVERIFY(m_fixture->control({QStringLiteral("unlock"), m_udid}));
        QCOMPARE(client.open(m_udid), 0);
    }

    // The trust flow of a device that meets its host for the first time, with
    // libimobiledevice's own pairing (keys from DevicePublicKey, the record
    // saved through usbmuxd) doing the host's side.
    void pairingGoesThroughTheTrustDialog()
    {
        const PlistPtr premade = hostPairRecord(m_udid);
        QVERIFY(premade);
        QVERIFY(m_fixture->deviceCtl(0, "untrust"));
        QVERIFY(!hostPairRecord(m_udid));
        AfcClient client;
        QCOMPARE(client.open(m_udid), int(LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING));
        QVERIFY(m_fixture->deviceCtl(0, "deny"));
        QCOMPARE(client.open(m_udid), int(LOCKDOWN_E_USER_DENIED_PAIRING));
        QCOMPARE(client.open(m_udid), int(LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING));   // a new dialog
        QVERIFY(m_fixture->deviceCtl(0, "lock"));
        QVERIFY(m_fixture->deviceCtl(0, "trust"));
        QCOMPARE(client.open(m_udid), int(LOCKDOWN_E_PASSWORD_PROTECTED));
        QVERIFY(!hostPairRecord(m_udid));
        QVERIFY(m_fixture->deviceCtl(0, "unlock"));
        std::string listed;
        QVERIFY(m_fixture->ctl({"list"}, &listed));
        QVERIFY(listed.find(" untrusted/accepted ") != std::string::npos);

        QCOMPARE(client.open(m_udid), 0);
        QCOMPARE(afc_make_directory(client.afc(), "Paired"), AFC_E_SUCCESS);
        const PlistPtr saved = hostPairRecord(m_udid);
        QVERIFY(saved);
        const std::string hostId = VMuxPacket::stringItem(saved.get(), "HostID");
        QVERIFY(!hostId.empty() && hostId != VMuxPacket::stringItem(premade.get(), "HostID"));
        QVERIFY(plist_dict_get_item(saved.get(), "EscrowBag"));
        QVERIFY(m_fixture->ctl({"list"}, &listed));
        QVERIFY(listed.find(" trusted ") != std::string::npos);

        // An erased device: the host's record is stale until the host deletes it and pairs again.
        QVERIFY(m_fixture->deviceCtl(0, "forget-host"));
        QCOMPARE(client.open(m_udid), int(LOCKDOWN_E_INVALID_HOST_ID));
        QVERIFY(hostPairRecord(m_udid));
        QCOMPARE(usbmuxd_delete_pair_record(m_udid.toUtf8().constData()), 0);
        QVERIFY(m_fixture->deviceCtl(0, "trust"));
        QCOMPARE(client.open(m_udid), 0);
    }

    void sessionsSpeakTlsUnlessPlain()
    {
        const PlistPtr record = hostPairRecord(m_udid);
        QVERIFY(record);
        const std::string hostId = VMuxPacket::stringItem(record.get(), "HostID");
        for (const bool plain : {false, true}) {
            m_fixture->setPlainLockdown(plain);
            RawMuxClient raw(m_fixture->socketPath());
            QVERIFY(raw.connectTo(m_fixture->server().deviceNumber(m_udid), VLockdown::kPort));
            PlistPtr start = lockdownRequest("StartSession");
            plist_dict_set_item(start.get(), "HostID", plist_new_string("not-a-known-host"));
            uint32_t length = 0;
            PlistPtr reply = raw.exchange(start.get(), &length);
            QCOMPARE(VMuxPacket::stringItem(reply.get(), "Error"), std::string("InvalidHostID"));
            plist_dict_set_item(start.get(), "HostID", plist_new_string(hostId.c_str()));
            reply = raw.exchange(start.get(), &length);
            QVERIFY(reply);
            uint8_t tls = 2;
            plist_get_bool_val(plist_dict_get_item(reply.get(), "EnableSessionSSL"), &tls);
            QCOMPARE(tls, uint8_t(plain ? 0 : 1));
            // A plain request where a TLS handshake belongs ends the connection.
            PlistPtr get = lockdownRequest("GetValue", "DeviceName");
            reply = raw.exchange(get.get(), &length);
            QCOMPARE(bool(reply), plain);
            if (!plain)
                QVERIFY(raw.closedByPeer());
        }
        // The iOS 17 iPad negotiates a current TLS version with the same keys.
        QByteArray out;
        QCOMPARE(DeviceFixture::run(QStringLiteral("ideviceinfo"), {QStringLiteral("-u"), m_fixture->profile(1).udid,
                                                                     QStringLiteral("-k"), QStringLiteral("ProductVersion")}, &out), 0);
        QCOMPARE(out, QByteArray("17.5.1\n"));
    }

    void idleAndEndedSessionsDropWithoutGoodbye()
    {
        AfcClient client;
        QCOMPARE(client.open(m_udid), 0);
        // The device ends the session; the AFC connection it started lives on.
        QVERIFY(m_fixture->deviceCtl(0, "end-sessions"));
        plist_t value = nullptr;
        QVERIFY(lockdownd_get_value(client.lockdown(), nullptr, "DeviceName", &value) != LOCKDOWN_E_SUCCESS);
        QCOMPARE(afc_make_directory(client.afc(), "AfterEnd"), AFC_E_SUCCESS);

        QVERIFY(m_fixture->deviceCtl(0, "idle", "1"));
        QCOMPARE(client.open(m_udid), 0);
        // A connection opened after the session's last request: once the
        // device closed it for idling, it closed the session before.
        RawMuxClient raw(m_fixture->socketPath());
        QVERIFY(raw.connectTo(m_fixture->server().deviceNumber(m_udid), VLockdown::kPort));
        PlistPtr query = lockdownRequest("QueryType");
        uint32_t length = 0;
        QVERIFY(raw.exchange(query.get(), &length));
        QElapsedTimer idle;
        idle.start();
        QVERIFY(raw.closedByPeer());
        QVERIFY(idle.elapsed() >= 900);
        QTest::qWait(500);   // the older session's own limit has passed too, on a busy machine as well
        QVERIFY(lockdownd_get_value(client.lockdown(), nullptr, "DeviceName", &value) != LOCKDOWN_E_SUCCESS);
        // A fresh handshake works, and requests in time keep a session.
        QCOMPARE(client.open(m_udid), 0);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(lockdownd_get_value(client.lockdown(), nullptr, "DeviceName", &value), LOCKDOWN_E_SUCCESS);
            plist_free(value);
            value = nullptr;
        }
    }

    void startServiceNeedsAKnownServiceAndASession()
    {
        AfcClient client;
        QCOMPARE(client.open(m_udid, "com.apple.no.such.service"), int(LOCKDOWN_E_INVALID_SERVICE));

        RawMuxClient raw(m_fixture->socketPath());
        QVERIFY(raw.connectTo(m_fixture->server().deviceNumber(m_udid), VLockdown::kPort));
        PlistPtr request = lockdownRequest("StartService");
        plist_dict_set_item(request.get(), "Service", plist_new_string("com.apple.afc"));
        uint32_t length = 0;
        PlistPtr reply = raw.exchange(request.get(), &length);
        QVERIFY(reply);
        QCOMPARE(VMuxPacket::stringItem(reply.get(), "Request"), std::string("StartService"));
        QCOMPARE(VMuxPacket::stringItem(reply.get(), "Error"), std::string("SessionInactive"));
        PlistPtr query = lockdownRequest("QueryType");
        reply = raw.exchange(query.get(), &length);
        QVERIFY(reply);
        QCOMPARE(VMuxPacket::stringItem(reply.get(), "Type"), std::string("com.apple.mobile.lockdown"));
        PlistPtr unknown = lockdownRequest("GetValue", "NoSuchKey");
        reply = raw.exchange(unknown.get(), &length);
        QCOMPARE(VMuxPacket::stringItem(reply.get(), "Error"), std::string("MissingValue"));
        QCOMPARE(VMuxPacket::stringItem(reply.get(), "Key"), std::string("NoSuchKey"));
    }

    void malformedMessagesCloseOnlyTheirConnection_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const auto framed = [](const QByteArray &body) {
            char header[PlistFrame::kHeaderSize];
            PlistFrame::encodeHeader(uint32_t(body.size()), header);
            return QByteArray(header, sizeof header) + body;
        };
        QByteArray huge(4, '\0');
        PlistFrame::encodeHeader(PlistFrame::kMaxBodySize + 1, huge.data());
        QTest::newRow("length-beyond-64MiB") << huge + "<?xml";
        QTest::newRow("zero-length") << QByteArray(4, '\0');
        QTest::newRow("not-a-plist") << framed("hello");
        QTest::newRow("not-a-dict") << framed("<?xml version=\"1.0\"?><plist><array/></plist>");
    }

    void malformedMessagesCloseOnlyTheirConnection()
    {
        QFETCH(QByteArray, bytes);
        AfcClient other;
        QCOMPARE(other.open(m_udid), 0);
        RawMuxClient raw(m_fixture->socketPath());
        QVERIFY(raw.connectTo(m_fixture->server().deviceNumber(m_udid), VLockdown::kPort));
        QVERIFY(raw.send(bytes.toStdString()));
        QVERIFY(raw.closedByPeer());
        plist_t value = nullptr;
        QCOMPARE(lockdownd_get_value(other.lockdown(), nullptr, "DeviceName", &value), LOCKDOWN_E_SUCCESS);
        plist_free(value);
    }

private:
    std::unique_ptr<DeviceFixture> m_fixture;
    QString m_udid;
};

QTEST_GUILESS_MAIN(TestVDeviceLockdown)
#include "tst_vdevice_lockdown.moc"
