#include "FakePrefix.h"
#include "ItunesPrefFiles.h"
#include "PeImageBuilder.h"
#include "PeVersionReader.h"
#include "WineRegistry.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QtTest>

// Truncated inputs for the readers of untrusted prefix files, and random ones
// for the readers without a libFuzzer target (fuzz_wineregistry, fuzz_pe and
// fuzz_strings cover the registry, PE and strings readers). Run under
// -DAPPSHUTTLE_SANITIZE=address to turn any stray read into a failure.
// APPSHUTTLE_FUZZ_ROUNDS and APPSHUTTLE_FUZZ_SEED lengthen or vary a run.
namespace {

const QByteArray kRegistry = QByteArrayLiteral(
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
    "[Software\\\\Classes\\\\iTunes\\\\DefaultIcon] 1600000000\n"
    "@=\"C:\\\\Program Files\\\\iTunes\\\\iTunes.exe,0\"\n"
    "\"Lang\"=dword:00000809\n"
    "\"Exp\"=hex(2):25,00,41,00,25,00,\\\n  00,00\n"
    "\"Esc\"=str(2):\"\\x00e9\\101\\\\\\\"\"\n"
    "[System\\\\CurrentControlSet] 1\n"
    "\"SymbolicLinkValue\"=hex(6):5c,00,52,00\n");

QByteArray mutate(QByteArray data, QRandomGenerator &rng)
{
    const int edits = 1 + rng.bounded(8);
    for (int i = 0; i < edits && !data.isEmpty(); ++i) {
        const int at = rng.bounded(int(data.size()));
        switch (rng.bounded(5)) {
        case 0: data[at] = char(rng.bounded(256)); break;
        case 1: data.truncate(at); break;
        case 2: data.insert(at, QByteArray(1 + rng.bounded(16), char(rng.bounded(256)))); break;
        case 3: data.insert(at, "\\\n\"[]:(,%"[rng.bounded(9)]); break;
        default: data.remove(at, 1 + rng.bounded(32)); break;
        }
    }
    return data;
}

QString peVersion(const QByteArray &image)
{
    QBuffer buffer;
    buffer.setData(image);
    buffer.open(QIODevice::ReadOnly);
    return PeVersionReader::fileVersion(buffer);
}

int rounds()
{
    const int fromEnv = qEnvironmentVariableIntValue("APPSHUTTLE_FUZZ_ROUNDS");
    return fromEnv > 0 ? fromEnv : 1500;
}

} // namespace

class tst_ItunesFuzz : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const quint32 seed = quint32(qEnvironmentVariableIntValue("APPSHUTTLE_FUZZ_SEED"));
        rng.seed(seed ? seed : 20261207u);
        qInfo("seed %u, %d rounds", seed ? seed : 20261207u, rounds());
    }

    void registryTruncations()
    {
        // A cut after a value's line never loses or changes that value.
        const qsizetype langEnd = kRegistry.indexOf("\"Lang\"=dword:00000809\n") + 22;
        for (qsizetype cut = 0; cut <= kRegistry.size(); ++cut) {
            WineRegistry reg;
            reg.loadData(kRegistry.left(cut));
            const auto lang = reg.value(QStringLiteral("Software\\Classes\\iTunes\\DefaultIcon"),
                                        QStringLiteral("Lang"));
            if (cut >= langEnd)
                QCOMPARE(lang ? lang->number : 0, 2057ull);
            reg.value(QStringLiteral("System\\CurrentControlSet\\x"), QString());
        }
    }

    void peTruncations()
    {
        const QByteArray image = PeImageBuilder::build(12, 5, 1, 21);
        const int blobEnd = PeImageBuilder::signatureOffset(image) + 52;
        for (int cut = 0; cut < image.size(); ++cut)
            QCOMPARE(peVersion(image.left(cut)), cut < blobEnd ? QString() : QStringLiteral("12.5.1.21"));
    }

    // The preference and library readers have no fuzz target of their own.
    void itunesFilesMutations()
    {
        const QByteArray prefs = "<key>iTunes Library XML Location:1</key>\n<data>"
                                 + FakePrefix::utf16(QStringLiteral("C:\\lib.xml")).toBase64() + "</data>";
        const QByteArray library = "<key>Music Folder</key><string>file://localhost/C:/a%20b&#38;</string>";
        for (int round = 0; round < rounds(); ++round) {
            QVERIFY(ItunesPrefFiles::libraryLocation(mutate(prefs, rng)).size()
                    <= ItunesPrefFiles::kMaxPathLength);
            ItunesPrefFiles::musicFolder(mutate(library, rng));
        }
    }

private:
    QRandomGenerator rng;
};

QTEST_GUILESS_MAIN(tst_ItunesFuzz)
#include "tst_ItunesFuzz.moc"
