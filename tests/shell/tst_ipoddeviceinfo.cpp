#include "DeviceFamilyTable.h"
#include "IPodDeviceInfo.h"

#include <QDir>
#include <QTest>

using Values = IPodDeviceInfo::Values;
Q_DECLARE_METATYPE(Values)

class TestIPodDeviceInfo : public QObject
{
    Q_OBJECT

private slots:
    void fill_data()
    {
        QTest::addColumn<Values>("values");
        QTest::addColumn<int>("family");
        QTest::addColumn<QByteArray>("typeName");

        const Values phone7{{"DeviceClass", "iPhone"}, {"ProductVersion", "7.1.2"}};
        auto with = [](Values v, std::initializer_list<std::pair<const std::string, std::string>> more) {
            for (const auto &kv : more)
                v[kv.first] = kv.second;
            return v;
        };
        QTest::newRow("plain-iphone") << phone7 << 10000 << QByteArray("iPhone");
        QTest::newRow("serial-3g") << with(phone7, {{"SerialNumber", "88812345Y7H"}}) << 10001 << QByteArray("iPhone 3G");
        QTest::newRow("serial-3gs") << with(phone7, {{"SerialNumber", "XX3NR"}}) << 10002 << QByteArray("iPhone 3GS");
        QTest::newRow("serial-unknown-suffix") << with(phone7, {{"SerialNumber", "ABCDZZZ"}}) << 10000 << QByteArray("iPhone");
        QTest::newRow("serial-too-short") << with(phone7, {{"SerialNumber", "Y7H"}}) << 10000 << QByteArray("iPhone");
        QTest::newRow("pid-overrides-serial") << with(phone7, {{"SerialNumber", "XXY7H"}, {"ProductIdentifier", "12a8"}})
                                              << 10005 << QByteArray("iPhone 5");
        QTest::newRow("model-overrides-all") << with(phone7, {{"SerialNumber", "XXA4S"}, {"ProductIdentifier", "12A8"}, {"Model", "iPhone6,1"}})
                                             << 10007 << QByteArray("iPhone 5S");
        QTest::newRow("5s-on-old-firmware") << Values{{"DeviceClass", "iPhone"}, {"ProductVersion", "6.1.4"}, {"Model", "iPhone6,2"}}
                                            << 10007 << QByteArray();
        QTest::newRow("4s-needs-5.0") << Values{{"DeviceClass", "iPhone"}, {"ProductVersion", "4.3"}, {"Model", "iPhone4,1"}}
                                      << 10004 << QByteArray();
        QTest::newRow("4s-at-5.0") << Values{{"DeviceClass", "iPhone"}, {"ProductVersion", "5.0"}, {"Model", "iPhone4,1"}}
                                   << 10004 << QByteArray("iPhone 4S");
        QTest::newRow("ipod-serial-2g") << Values{{"DeviceClass", "iPod"}, {"ProductVersion", "4.2.1"}, {"SerialNumber", "1234201"}}
                                        << 11001 << QByteArray("iPod Touch 2G");
        QTest::newRow("ipod-unknown-serial") << Values{{"DeviceClass", "iPod"}, {"ProductVersion", "6.0"}, {"SerialNumber", "1234QQQ"}}
                                             << 11000 << QByteArray("iPod Touch");
        QTest::newRow("ipod-5g-model") << Values{{"DeviceClass", "iPod"}, {"ProductVersion", "6.1"}, {"Model", "iPod5,1"}}
                                       << 11004 << QByteArray("iPod Touch 5G");
        QTest::newRow("ipad-unlisted") << Values{{"DeviceClass", "iPad"}, {"ProductVersion", "17.2"}, {"Model", "iPad13,4"},
                                                 {"ProductIdentifier", "12AB0"}, {"SerialNumber", "DMPX123"}}
                                       << 12000 << QByteArray("iPad");
        QTest::newRow("ipad-mini-pid") << Values{{"DeviceClass", "iPad"}, {"ProductVersion", "6.0.1"}, {"ProductIdentifier", "12AB"}}
                                       << 12003 << QByteArray("iPad");
        QTest::newRow("ipad-mini-pid-old") << Values{{"DeviceClass", "iPad"}, {"ProductVersion", "5.1.1"}, {"ProductIdentifier", "12AB"}}
                                           << 12003 << QByteArray();
        QTest::newRow("serial-rule-skips-ipad") << Values{{"DeviceClass", "iPad"}, {"ProductVersion", "7.0"}, {"SerialNumber", "XXY7H"}}
                                                << 12000 << QByteArray("iPad");
        QTest::newRow("nothing-readable") << Values{} << 10000 << QByteArray("iPhone");
    }
    void fill()
    {
        QFETCH(Values, values);
        QFETCH(int, family);
        QFETCH(QByteArray, typeName);
        IPodDeviceInfo info;
        info.fillFrom("3-00008030-001A2B3C4D5E6F70", values);
        QCOMPARE(info.familyCode(), family);
        QCOMPARE(info.typeName(), typeName);
        QCOMPARE(info.picturePath(), QStringLiteral(":/images/%1.png").arg(family));
        QCOMPARE(info.identifier(), QByteArray("3-00008030-001A2B3C4D5E6F70"));
    }

    void versionComparison_data()
    {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<int>("sign");
        QTest::newRow("equal") << QByteArray("7.0") << QByteArray("7.0") << 0;
        QTest::newRow("numeric-not-text") << QByteArray("10.0") << QByteArray("9.9.9") << 1;
        QTest::newRow("fewer-parts-smaller") << QByteArray("7.0") << QByteArray("7.0.1") << -1;
        QTest::newRow("trailing-zero-part-counts") << QByteArray("7.0.0") << QByteArray("7.0") << 1;
        QTest::newRow("empty-parts-dropped") << QByteArray("6..1") << QByteArray("6.1") << 0;
        QTest::newRow("garbage-part-is-zero") << QByteArray("6.x") << QByteArray("6.0") << 0;
        QTest::newRow("empty") << QByteArray("") << QByteArray("1") << -1;
    }
    void versionComparison()
    {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(int, sign);
        const int got = DeviceFamilyTable::compareVersions(a, b);
        QCOMPARE((got > 0) - (got < 0), sign);
        QCOMPARE((DeviceFamilyTable::compareVersions(b, a) > 0) - (DeviceFamilyTable::compareVersions(b, a) < 0), -sign);
    }

    void localVolumeSpace()
    {
        double total = 0, free = 0, third = 0;
        QVERIFY(deviceDiskSpace(QDir::tempPath().toLocal8Bit(), &total, &free, &third));
        QVERIFY(total > 0);
        QVERIFY(free > 0 && free <= total);
        QVERIFY(hasEnoughSpace(QDir::tempPath().toLocal8Bit(), 0));
        QVERIFY(!hasEnoughSpace(QDir::tempPath().toLocal8Bit(), free - 10485760.0));
        QVERIFY(!deviceDiskSpace("9-no-such-device", &total, &free, &third));
        QCOMPARE(free, 0.0);
        QVERIFY(!hasEnoughSpace("9-no-such-device", 0));
    }
};

QTEST_GUILESS_MAIN(TestIPodDeviceInfo)
#include "tst_ipoddeviceinfo.moc"
