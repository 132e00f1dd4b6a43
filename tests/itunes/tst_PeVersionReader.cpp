#include "PeImageBuilder.h"
#include "PeVersionReader.h"
#include "TestData.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

QString versionOf(const QByteArray &image)
{
    QBuffer buffer;
    buffer.setData(image);
    buffer.open(QIODevice::ReadOnly);
    return PeVersionReader::fileVersion(buffer);
}

QByteArray with32(QByteArray image, int at, quint32 value)
{
    qToLittleEndian(value, image.data() + at);
    return image;
}

} // namespace

class tst_PeVersionReader : public QObject
{
    Q_OBJECT

private slots:
    void readsFixedVersion_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QString>("version");
        QTest::newRow("pe32") << PeImageBuilder::build(9, 1, 1, 11) << QStringLiteral("9.1.1.11");
        QTest::newRow("pe32plus") << PeImageBuilder::build(12, 13, 2, 3, true)
                                  << QStringLiteral("12.13.2.3");
    }
    void readsFixedVersion()
    {
        QFETCH(QByteArray, image);
        QFETCH(QString, version);
        QCOMPARE(versionOf(image), version);

        QTemporaryDir dir;
        QVERIFY(TestData::writeFile(dir.filePath(QStringLiteral("iTunes.exe")), image));
        QCOMPARE(PeVersionReader::fileVersion(dir.filePath(QStringLiteral("iTunes.exe"))), version);
    }

    void damagedFilesGiveNothing_data()
    {
        const QByteArray good = PeImageBuilder::build(7, 0, 0, 70);
        const int sig = PeImageBuilder::signatureOffset(good);
        const int section = 0x40 + 24 + 0xE0;
        QTest::addColumn<QByteArray>("image");
        QTest::newRow("text") << QByteArray("#!/bin/sh\necho iTunes\n");
        QTest::newRow("pe-offset-past-end") << with32(good, 0x3c, 0xfffffff0u);
        QTest::newRow("bad-signature") << with32(good, sig, 0x12345678u);
        QTest::newRow("resource-rva-outside") << with32(good, 0x40 + 24 + 96 + 16, 0x9000);
        QTest::newRow("raw-data-past-end") << with32(good, section + 20, 0x7ffffff0u);
        QTest::newRow("huge-entry-count") << with32(good, 0x200 + 12, 0xffffffffu);
        QTest::newRow("blob-size-past-section") << with32(good, 0x200 + 0x48 + 4, 0x10000);
        QTest::newRow("blob-size-too-small") << with32(good, 0x200 + 0x48 + 4, 8);
        QTest::newRow("directory-loop") << with32(good, 0x200 + 0x18 + 20, 0x80000000u);
    }
    void damagedFilesGiveNothing()
    {
        QFETCH(QByteArray, image);
        QCOMPARE(versionOf(image), QString());
        QCOMPARE(PeVersionReader::fileVersion(QStringLiteral("/nonexistent/iTunes.exe")), QString());
    }
};

QTEST_GUILESS_MAIN(tst_PeVersionReader)
#include "tst_PeVersionReader.moc"
