// The AFC wire codec shared by the client and the virtual device: the
// bounds it keeps on untrusted lengths. The wire format itself is proven by
// libimobiledevice's client in tst_vdevice_afc.

#include "afc/AfcCodec.h"

#include <QTest>

class TestAfcCodec : public QObject
{
    Q_OBJECT

private slots:
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
};

QTEST_GUILESS_MAIN(TestAfcCodec)
#include "tst_afccodec.moc"
