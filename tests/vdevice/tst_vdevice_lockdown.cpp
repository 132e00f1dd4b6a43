// lockdown of the virtual device as ideviceinfo and libimobiledevice's
// handshake see it: values, domains, a locked and an untrusted device.

#include "RawMuxClient.h"
#include "AfcClient.h"
#include "VLockdown.h"

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

    void ideviceinfoPrintsTheRootDomain()
    {
        QByteArray out;
        QCOMPARE(DeviceFixture::run(QStringLiteral("ideviceinfo"), {QStringLiteral("-u"), m_udid}, &out), 0);
        const QString text = QString::fromUtf8(out);
        for (const QString &line : {QStringLiteral("DeviceName: Demo iPhone"), QStringLiteral("DeviceClass: iPhone"),
                                    QStringLiteral("ProductType: iPhone6,1"), QStringLiteral("ProductVersion: 8.2"),
                                    QStringLiteral("BuildVersion: 12D508"), QStringLiteral("HardwareModel: N51AP"),
                                    QStringLiteral("UniqueDeviceID: ") + m_udid, QStringLiteral("PasswordProtected: false")})
            QVERIFY2(text.contains(QLatin1Char('\n') + line + QLatin1Char('\n')), qPrintable(line));
        QVERIFY(text.contains(QStringLiteral("SerialNumber: ")));
        // Domains are not root values.
        QVERIFY(!text.contains(QStringLiteral("com.apple.disk_usage")));
    }

    void ideviceinfoReadsKeysAndDomains_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("key") << QStringList {QStringLiteral("-k"), QStringLiteral("ProductType")} << QByteArray("iPhone6,1\n");
        QTest::newRow("missing-key") << QStringList {QStringLiteral("-k"), QStringLiteral("Nope")} << QByteArray();
    }

    void ideviceinfoReadsKeysAndDomains()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, expected);
        QByteArray out;
        QCOMPARE(DeviceFixture::run(QStringLiteral("ideviceinfo"), QStringList {QStringLiteral("-u"), m_udid} + args, &out), 0);
        QCOMPARE(out, expected);
    }

    void ideviceinfoPrintsTheDiskUsageDomain()
    {
        QByteArray out;
        QCOMPARE(DeviceFixture::run(QStringLiteral("ideviceinfo"), {QStringLiteral("-u"), m_udid, QStringLiteral("-q"),
                                                                     QStringLiteral("com.apple.disk_usage")}, &out), 0);
        for (const char *key : {"TotalDiskCapacity: 17179869184", "TotalDataCapacity: ", "TotalDataAvailable: ",
                                "TotalSystemCapacity: ", "AmountDataAvailable: "})
            QVERIFY2(out.contains(key), key);
    }

    void lockedDeviceRefusesUntilUnlocked()
    {
        QVERIFY(m_fixture->control({QStringLiteral("lock"), m_udid}));
        AfcClient client;
        QCOMPARE(client.open(m_udid), int(LOCKDOWN_E_PASSWORD_PROTECTED));
        QByteArray out;
        QByteArray err;
        QVERIFY(DeviceFixture::run(QStringLiteral("ideviceinfo"), {QStringLiteral("-u"), m_udid}, &out, &err) != 0);
        QVERIFY(err.contains("Password protected (-17)"));
        // The other device is not affected, and the flag is what the values say.
        QCOMPARE(client.open(m_fixture->udid(0)), 0);
        QVERIFY(m_fixture->control({QStringLiteral("unlock"), m_udid}));
        QCOMPARE(client.open(m_udid), 0);
        plist_t value = nullptr;
        QCOMPARE(lockdownd_get_value(client.lockdown(), nullptr, "PasswordProtected", &value), LOCKDOWN_E_SUCCESS);
        uint8_t locked = 1;
        plist_get_bool_val(value, &locked);
        plist_free(value);
        QCOMPARE(locked, uint8_t(0));
    }

    void untrustedDeviceWaitsForThePairingDialog()
    {
        QVERIFY(m_fixture->control({QStringLiteral("untrust"), m_udid}));
        AfcClient client;
        QCOMPARE(client.open(m_udid), int(LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING));
        QVERIFY(m_fixture->control({QStringLiteral("trust"), m_udid}));
        QCOMPARE(client.open(m_udid), 0);
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
