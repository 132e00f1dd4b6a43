// The AFC wire codec shared by the client and the virtual device.

#include "afc/AfcCodec.h"

#include <QTest>

class TestAfcCodec : public QObject
{
    Q_OBJECT

private slots:
    void headerRoundTripsLittleEndian()
    {
        const std::string packet = Afc::packet(Afc::OpFileOpen, 0x0102030405060708ull,
                                               Afc::numberPathData(Afc::WriteOnly, "PublicStaging/x"), "payload");
        QCOMPARE(packet.size(), size_t(40 + 8 + 16 + 7));
        QCOMPARE(QByteArray::fromStdString(packet.substr(0, 8)), QByteArray("CFA6LPAA"));
        QCOMPARE(uint8_t(packet[24]), uint8_t(0x08));   // packet number, least significant byte first
        Afc::Header header;
        QCOMPARE(Afc::decodeHeader(packet.data(), &header), Afc::HeaderCheck::Ok);
        QCOMPARE(header.entireLength, uint64_t(packet.size()));
        QCOMPARE(header.thisLength, uint64_t(40 + 24));
        QCOMPARE(header.headerDataLength(), uint64_t(24));
        QCOMPARE(header.payloadLength(), uint64_t(7));
        QCOMPARE(header.packetNum, 0x0102030405060708ull);
        QCOMPARE(header.operation, uint64_t(Afc::OpFileOpen));
        QCOMPARE(Afc::getU64(packet.data() + 40), uint64_t(Afc::WriteOnly));
    }

    void rejectsBadHeaders_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<int>("expected");
        std::string good = Afc::valuePacket(Afc::OpStatus, 1, 0);
        std::string magic = good;
        magic[0] = 'X';
        std::string shortThis = good;
        Afc::putU64(shortThis.data() + 16, 39);
        std::string thisBeyondEntire = good;
        Afc::putU64(thisBeyondEntire.data() + 16, 49);
        QTest::newRow("good") << QByteArray::fromStdString(good) << int(Afc::HeaderCheck::Ok);
        QTest::newRow("bad-magic") << QByteArray::fromStdString(magic) << int(Afc::HeaderCheck::BadMagic);
        QTest::newRow("this-below-header") << QByteArray::fromStdString(shortThis) << int(Afc::HeaderCheck::BadLength);
        QTest::newRow("this-beyond-entire") << QByteArray::fromStdString(thisBeyondEntire) << int(Afc::HeaderCheck::BadLength);
    }

    void rejectsBadHeaders()
    {
        QFETCH(QByteArray, raw);
        QFETCH(int, expected);
        Afc::Header header;
        QCOMPARE(int(Afc::decodeHeader(raw.constData(), &header)), expected);
    }

    void boundsLengthsBeforeAllocating()
    {
        Afc::Header header = Afc::dataHeader(1, 1 << 20);
        QVERIFY(Afc::acceptableLengths(header));
        QVERIFY(!Afc::acceptableLengths(header, 1000));
        header.entireLength = header.thisLength = Afc::kHeaderSize + Afc::kMaxHeaderData + 1;
        QVERIFY(!Afc::acceptableLengths(header));
        header = Afc::dataHeader(1, (1ull << 40) + (1ull << 31));
        QVERIFY(!Afc::acceptableLengths(header));
    }

    void valueAndDataResponses()
    {
        const std::string status = Afc::valuePacket(Afc::OpStatus, 7, Afc::ObjectNotFound);
        QCOMPARE(status.size(), size_t(48));
        Afc::Header header;
        QCOMPARE(Afc::decodeHeader(status.data(), &header), Afc::HeaderCheck::Ok);
        QCOMPARE(header.thisLength, uint64_t(48));
        QCOMPARE(header.entireLength, uint64_t(48));
        const Afc::Header data = Afc::dataHeader(9, 1000);
        QCOMPARE(data.thisLength, uint64_t(40));
        QCOMPARE(data.entireLength, uint64_t(1040));
        QCOMPARE(data.operation, uint64_t(Afc::OpData));
    }

    void listsAndPairsAreBounded()
    {
        const std::string names = Afc::encodeNames({".", "..", "Downloads"});
        std::vector<std::string> decoded;
        QVERIFY(Afc::decodeNames(names.data(), names.size(), &decoded));
        QCOMPARE(decoded.size(), size_t(3));
        QCOMPARE(decoded[2], std::string("Downloads"));
        // A name without its NUL is refused, not read past the end.
        QVERIFY(!Afc::decodeNames(names.data(), names.size() - 1, &decoded));

        const std::string pairs = Afc::encodeKeyValues({{"st_size", "12"}, {"st_ifmt", "S_IFREG"}});
        Afc::KeyValues kv;
        QVERIFY(Afc::decodeKeyValues(pairs.data(), pairs.size(), &kv));
        QCOMPARE(kv.size(), size_t(2));
        QCOMPARE(kv[1].second, std::string("S_IFREG"));
        const std::string odd = Afc::encodeNames({"st_size"});
        QVERIFY(!Afc::decodeKeyValues(odd.data(), odd.size(), &kv));

        const std::string twoPaths = Afc::twoPathData("a", "b/c");
        size_t offset = 0;
        std::string first;
        std::string second;
        QVERIFY(Afc::readCString(twoPaths.data(), twoPaths.size(), &offset, &first));
        QVERIFY(Afc::readCString(twoPaths.data(), twoPaths.size(), &offset, &second));
        QCOMPARE(second, std::string("b/c"));
        QVERIFY(!Afc::readCString(twoPaths.data(), twoPaths.size(), &offset, &second));
    }

    void namesStatusCodes()
    {
        QCOMPARE(QByteArray(Afc::statusName(Afc::ObjectNotFound)), QByteArray("object not found"));
        QCOMPARE(QByteArray(Afc::statusName(Afc::DirNotEmpty)), QByteArray("directory not empty"));
        QCOMPARE(QByteArray(Afc::statusName(999)), QByteArray("unknown status"));
    }
};

QTEST_GUILESS_MAIN(TestAfcCodec)
#include "tst_afccodec.moc"
