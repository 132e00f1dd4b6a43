#include "DeviceFamilyTable.h"
#include "DeviceModelNames.h"
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
        QTest::addColumn<QString>("picture");   // empty: the family code's own

        const Values phone7{{"DeviceClass", "iPhone"}, {"ProductVersion", "7.1.2"}};
        auto with = [](Values v, std::initializer_list<std::pair<const std::string, std::string>> more) {
            for (const auto &kv : more)
                v[kv.first] = kv.second;
            return v;
        };
        QTest::newRow("plain-iphone") << phone7 << 10000 << QByteArray("iPhone") << QString();
        QTest::newRow("serial-3g") << with(phone7, {{"SerialNumber", "88812345Y7H"}}) << 10001 << QByteArray("iPhone 3G") << QString();
        QTest::newRow("serial-3gs") << with(phone7, {{"SerialNumber", "XX3NR"}}) << 10002 << QByteArray("iPhone 3GS") << QString();
        QTest::newRow("serial-unknown-suffix") << with(phone7, {{"SerialNumber", "ABCDZZZ"}}) << 10000 << QByteArray("iPhone") << QString();
        QTest::newRow("serial-too-short") << with(phone7, {{"SerialNumber", "Y7H"}}) << 10000 << QByteArray("iPhone") << QString();
        QTest::newRow("pid-overrides-serial") << with(phone7, {{"SerialNumber", "XXY7H"}, {"ProductIdentifier", "12a8"}})
                                              << 10005 << QByteArray("iPhone 5") << QString();
        QTest::newRow("model-overrides-all") << with(phone7, {{"SerialNumber", "XXA4S"}, {"ProductIdentifier", "12A8"}, {"Model", "iPhone6,1"}})
                                             << 10007 << QByteArray("iPhone 5S") << QString();
        QTest::newRow("5s-on-old-firmware") << Values{{"DeviceClass", "iPhone"}, {"ProductVersion", "6.1.4"}, {"Model", "iPhone6,2"}}
                                            << 10007 << QByteArray() << QString();
        QTest::newRow("4s-needs-5.0") << Values{{"DeviceClass", "iPhone"}, {"ProductVersion", "4.3"}, {"Model", "iPhone4,1"}}
                                      << 10004 << QByteArray() << QString();
        QTest::newRow("4s-at-5.0") << Values{{"DeviceClass", "iPhone"}, {"ProductVersion", "5.0"}, {"Model", "iPhone4,1"}}
                                   << 10004 << QByteArray("iPhone 4S") << QString();
        QTest::newRow("ipod-serial-2g") << Values{{"DeviceClass", "iPod"}, {"ProductVersion", "4.2.1"}, {"SerialNumber", "1234201"}}
                                        << 11001 << QByteArray("iPod Touch 2G") << QString();
        QTest::newRow("ipod-unknown-serial") << Values{{"DeviceClass", "iPod"}, {"ProductVersion", "6.0"}, {"SerialNumber", "1234QQQ"}}
                                             << 11000 << QByteArray("iPod Touch") << QString();
        QTest::newRow("ipod-5g-model") << Values{{"DeviceClass", "iPod"}, {"ProductVersion", "6.1"}, {"Model", "iPod5,1"}}
                                       << 11004 << QByteArray("iPod Touch 5G") << QString();
        QTest::newRow("ipad-unlisted") << Values{{"DeviceClass", "iPad"}, {"ProductVersion", "17.2"}, {"Model", "iPad13,4"},
                                                 {"ProductIdentifier", "12AB0"}, {"SerialNumber", "DMPX123"}}
                                       << 12000 << QByteArray("iPad") << QStringLiteral(":/images/current-ipad.png");
        QTest::newRow("ipad-mini-pid") << Values{{"DeviceClass", "iPad"}, {"ProductVersion", "6.0.1"}, {"ProductIdentifier", "12AB"}}
                                       << 12003 << QByteArray("iPad") << QString();
        QTest::newRow("ipad-mini-pid-old") << Values{{"DeviceClass", "iPad"}, {"ProductVersion", "5.1.1"}, {"ProductIdentifier", "12AB"}}
                                           << 12003 << QByteArray() << QString();
        QTest::newRow("serial-rule-skips-ipad") << Values{{"DeviceClass", "iPad"}, {"ProductVersion", "7.0"}, {"SerialNumber", "XXY7H"}}
                                                << 12000 << QByteArray("iPad") << QString();
        QTest::newRow("nothing-readable") << Values{} << 10000 << QByteArray("iPhone") << QString();
        // Models after the family table keep their class's code and name but
        // not the oldest model's picture.
        QTest::newRow("iphone-15-pro") << Values{{"DeviceClass", "iPhone"}, {"ProductVersion", "17.1"}, {"ProductType", "iPhone16,1"}}
                                       << 10000 << QByteArray("iPhone") << QStringLiteral(":/images/current-iphone.png");
        QTest::newRow("ipod-7th-by-model-only") << Values{{"DeviceClass", "iPod"}, {"ProductVersion", "15.0"}, {"Model", "iPod9,1"}}
                                                << 11000 << QByteArray("iPod Touch") << QStringLiteral(":/images/current-ipod.png");
        QTest::newRow("unlisted-ipad-of-known-generation") << Values{{"DeviceClass", "iPad"}, {"ProductVersion", "8.0"}, {"ProductType", "iPad4,3"}}
                                                           << 12000 << QByteArray("iPad") << QString();
        QTest::newRow("product-type-garbage") << Values{{"DeviceClass", "iPhone"}, {"ProductVersion", "17.0"}, {"ProductType", "iPhone16,1<b>"}}
                                              << 10000 << QByteArray("iPhone") << QString();
    }
    void fill()
    {
        QFETCH(Values, values);
        QFETCH(int, family);
        QFETCH(QByteArray, typeName);
        QFETCH(QString, picture);
        IPodDeviceInfo info;
        info.fillFrom("3-00008030-001A2B3C4D5E6F70", values);
        QCOMPARE(info.familyCode(), family);
        QCOMPARE(info.typeName(), typeName);
        QCOMPARE(info.picturePath(), picture.isEmpty() ? QStringLiteral(":/images/%1.png").arg(family) : picture);
        QCOMPARE(info.identifier(), QByteArray("3-00008030-001A2B3C4D5E6F70"));
    }

    void marketingNames_data()
    {
        QTest::addColumn<QByteArray>("productType");
        QTest::addColumn<QString>("name");
        QTest::newRow("iphone-15-pro") << QByteArray("iPhone16,1") << QStringLiteral("iPhone 15 Pro");
        QTest::newRow("ipod-touch-7th") << QByteArray("iPod9,1") << QStringLiteral("iPod touch (7th generation)");
        QTest::newRow("first-iphone") << QByteArray("iPhone1,1") << QStringLiteral("iPhone");
        QTest::newRow("not-yet-known") << QByteArray("iPhone99,1") << QString();
        QTest::newRow("watch") << QByteArray("Watch6,1") << QString();
    }
    void marketingNames()
    {
        QFETCH(QByteArray, productType);
        QFETCH(QString, name);
        QCOMPARE(DeviceModelNames::marketingName(productType), name);
    }

    void productTypeParsing()
    {
        QByteArray kind;
        int generation = 0;
        QVERIFY(DeviceModelNames::parse("iPad13,18", &kind, &generation));
        QCOMPARE(kind, QByteArray("iPad"));
        QCOMPARE(generation, 13);
        for (const char *bad : {"iPhone", "iPhone16", "iPhone16,", "iPhone,1", "iPhone16,1,2", "iPhone 16,1",
                                "iPhone+6,1", "iPhone1234,1", "iPhone0,1", "iPhone16,1\n", "Watch6,1", ""})
            QVERIFY2(!DeviceModelNames::parse(bad, &kind, &generation), bad);
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
        // All that is free leaves none of the reserve (and stays so while
        // parallel tests change the free space by a little).
        QVERIFY(!hasEnoughSpace(QDir::tempPath().toLocal8Bit(), free));
        QVERIFY(!deviceDiskSpace("9-no-such-device", &total, &free, &third));
        QCOMPARE(free, 0.0);
        QVERIFY(!hasEnoughSpace("9-no-such-device", 0));
    }
};

QTEST_GUILESS_MAIN(TestIPodDeviceInfo)
#include "tst_ipoddeviceinfo.moc"
