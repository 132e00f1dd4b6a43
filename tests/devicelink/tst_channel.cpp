#include "DevPort.h"
#include "DiagLogText.h"
#include "PlistFrame.h"
#include "TestData.h"
#include "communication.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct RecordingSink : StatusSink
{
    std::vector<TaskStatusInfo> infos;
    std::vector<int> progress;
    void setStatusInfo(const TaskStatusInfo &info) override { infos.push_back(info); }
    void setProgress(int percent) override { progress.push_back(percent); }
};

std::string frameBytes(const std::string &body)
{
    char header[4];
    PlistFrame::encodeHeader(uint32_t(body.size()), header);
    return std::string(header, 4) + body;
}

std::string xmlOf(plist_t node)
{
    std::string xml;
    PlistFrame::toXml(node, &xml);
    return xml;
}

PlistPtr statusMessage(const char *status, int percent = -1)
{
    PlistPtr dict = makePlistPtr(plist_new_dict());
    plist_dict_set_item(dict.get(), "Status", plist_new_string(status));
    if (percent >= 0)
        plist_dict_set_item(dict.get(), "PercentComplete", plist_new_uint(uint64_t(percent)));
    return dict;
}

PlistPtr errorMessage(const char *error)
{
    PlistPtr dict = makePlistPtr(plist_new_dict());
    plist_dict_set_item(dict.get(), "Error", plist_new_string(error));
    return dict;
}

} // namespace

class TestChannel : public QObject
{
    Q_OBJECT

    ServiceConnection *m_conn = nullptr;
    int m_peer = -1;
    QTemporaryDir *m_tmp = nullptr;

    void writePeer(const std::string &bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_peer, bytes.data() + done, bytes.size() - done);
            QVERIFY(n > 0);
            done += size_t(n);
        }
    }
    void sendFromPeer(plist_t node, bool xml = true)
    {
        std::string packet;
        QVERIFY(PlistFrame::frame(node, xml, &packet));
        writePeer(packet);
    }
    QByteArray logText() const
    {
        return TestData::diagLog();
    }

private slots:
    void init()
    {
        m_tmp = new QTemporaryDir;
        qputenv("TMPDIR", m_tmp->path().toLocal8Bit());
        int fds[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        m_conn = zorn_dvpt_ServiceFromSocket(fds[0], 300);
        QVERIFY(m_conn && m_conn->service > 0);
        m_peer = fds[1];
    }
    void cleanup()
    {
        zorn_dvpt_CloseService(m_conn);
        m_conn = nullptr;
        if (m_peer >= 0)
            ::close(m_peer);
        m_peer = -1;
        delete m_tmp;
    }

    void sendWritesBinaryFrame()
    {
        PlistPtr msg = statusMessage("Installing", 30);
        QCOMPARE(mobilesync_send(m_conn, msg.get()), 0);
        char header[4];
        QCOMPARE(::read(m_peer, header, 4), ssize_t(4));
        const uint32_t length = PlistFrame::decodeHeader(header);
        std::string body(length, '\0');
        size_t got = 0;
        while (got < length)
            got += size_t(::read(m_peer, &body[got], length - got));
        QCOMPARE(body.substr(0, 8), std::string("bplist00"));
        PlistPtr back = makePlistPtr(PlistFrame::parse(&body[0], body.size()));
        QVERIFY(back);
        QCOMPARE(plist_dict_get_size(back.get()), 2u);
        uint64_t percent = 0;
        plist_get_uint_val(plist_dict_get_item(back.get(), "PercentComplete"), &percent);
        QCOMPARE(percent, uint64_t(30));
    }

    // What arrives in a whole frame is returned parsed, or as null when it
    // does not parse: the frame was read, so the receive itself succeeds.
    void receivesWhatParses_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("percent");   // -1: nothing parsed
        PlistPtr msg = statusMessage("Complete", 7);
        std::string xml = xmlOf(msg.get());
        std::string binary;
        QVERIFY(PlistFrame::frame(msg.get(), false, &binary));
        QTest::newRow("xml") << QByteArray::fromStdString(xml) << 7;
        QTest::newRow("binary") << QByteArray::fromStdString(binary.substr(4)) << 7;
        xml.insert(xml.find("<dict>"), std::string("\0\0", 2));
        xml.push_back('\0');   // a final zero stays and ends the text
        QTest::newRow("xml-with-embedded-zeros") << QByteArray::fromStdString(xml) << 7;
        QTest::newRow("damaged-binary") << QByteArray("bplist00\x01\x02garbage garbage", 24) << -1;
        QTest::newRow("short-body-as-xml") << QByteArray("bplist") << -1;
        QTest::newRow("empty-body") << QByteArray() << -1;
    }
    void receivesWhatParses()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, percent);
        writePeer(frameBytes(body.toStdString()));
        plist_t got = reinterpret_cast<plist_t>(0x1);
        QCOMPARE(mobilesync_receive(m_conn, &got), 0);
        PlistPtr owned = makePlistPtr(got);
        QCOMPARE(bool(owned), percent >= 0);
        if (!owned)
            return;
        uint64_t value = 0;
        plist_get_uint_val(plist_dict_get_item(owned.get(), "PercentComplete"), &value);
        QCOMPARE(int(value), percent);
        char *status = nullptr;
        plist_get_string_val(plist_dict_get_item(owned.get(), "Status"), &status);
        QCOMPARE(QByteArray(status), QByteArray("Complete"));
        free_plist_memory(status);
    }

    void replySplitAcrossManyReads()
    {
        PlistPtr msg = statusMessage(std::string(5000, 's').c_str(), 12);
        std::string packet;
        QVERIFY(PlistFrame::frame(msg.get(), false, &packet));
        std::thread writer([&] {
            for (size_t at = 0; at < packet.size(); at += 97) {
                const size_t n = std::min<size_t>(97, packet.size() - at);
                if (::write(m_peer, packet.data() + at, n) != ssize_t(n))
                    return;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        plist_t got = nullptr;
        const int rc = mobilesync_receive(m_conn, &got);
        writer.join();
        PlistPtr owned = makePlistPtr(got);
        QCOMPARE(rc, 0);
        QVERIFY(owned);
        QCOMPARE(plist_dict_get_size(owned.get()), 2u);
    }

    void hugeLengthIsRefusedAtOnce()
    {
        // A patient connection: only a refusal returns before its time-out.
        int fds[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        ServicePtr patient(zorn_dvpt_ServiceFromSocket(fds[0], 20000));
        QCOMPARE(::write(fds[1], "\x7f\xff\xff\xff", 4), ssize_t(4));
        QElapsedTimer timer;
        timer.start();
        plist_t got = nullptr;
        QCOMPARE(mobilesync_receive(patient.get(), &got), -1);
        ::close(fds[1]);
        QVERIFY(timer.elapsed() < 10000);   // refused before waiting for a body
        QVERIFY(logText().contains("message length beyond bound"));
    }

    void silentPeerTimesOut()
    {
        writePeer(frameBytes("<plist").substr(0, 6));   // header and two bytes, then silence
        QElapsedTimer timer;
        timer.start();
        plist_t got = nullptr;
        QCOMPARE(mobilesync_receive(m_conn, &got), -1);
        QVERIFY(timer.elapsed() >= 250);
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(logText().contains("mobilesync_receive"));
    }

    void findAppByBundleId()
    {
        PlistPtr apps = makePlistPtr(plist_new_array());
        plist_array_append_item(apps.get(), plist_new_string("not a dict"));
        plist_t wrongType = plist_new_dict();
        plist_dict_set_item(wrongType, "CFBundleIdentifier", plist_new_uint(5));
        plist_array_append_item(apps.get(), wrongType);
        for (const char *id : {"com.example.Notes", "com.example.notes", "com.example.notes"}) {
            plist_t app = plist_new_dict();
            plist_dict_set_item(app, "CFBundleIdentifier", plist_new_string(id));
            plist_array_append_item(apps.get(), app);
        }
        QCOMPARE(FindAppByBundleId(apps.get(), "com.example.notes"), plist_array_get_item(apps.get(), 3));
        QCOMPARE(FindAppByBundleId(apps.get(), "com.example.Notes"), plist_array_get_item(apps.get(), 2));
        QVERIFY(!FindAppByBundleId(apps.get(), "com.example"));
        QVERIFY(!FindAppByBundleId(nullptr, "x"));
    }

    void statusModesScale_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("reported");
        QTest::newRow("whole-40") << 0 << 40 << 40;
        QTest::newRow("first-half-40") << 1 << 40 << 20;
        QTest::newRow("first-half-41") << 1 << 41 << 20;
        QTest::newRow("second-half-40") << 2 << 40 << 70;
        QTest::newRow("second-half-99") << 2 << 99 << 99;
        QTest::newRow("unknown-mode-40") << 7 << 40 << 40;
        QTest::newRow("device-percent-beyond-100") << 2 << 250 << 100;
    }
    void statusModesScale()
    {
        QFETCH(int, mode);
        QFETCH(int, percent);
        QFETCH(int, reported);
        sendFromPeer(statusMessage("Installing", percent).get());
        sendFromPeer(statusMessage("Complete").get());
        RecordingSink sink;
        QCOMPARE(RecvStatus(m_conn, &sink, mode), 0);
        QCOMPARE(sink.progress, std::vector<int>{reported});
        QCOMPARE(sink.infos.size(), size_t(1));
        QCOMPARE(sink.infos[0].percent, reported);
        QCOMPARE(sink.infos[0].status, std::string("Installing"));
    }

    void statusStreamKeepsPercentAndSkipsEmpty()
    {
        sendFromPeer(statusMessage("CreatingStagingDirectory", 5).get());
        writePeer(frameBytes(""));                 // empty message
        writePeer(frameBytes("not a plist"));      // unparsable message
        sendFromPeer(statusMessage("StagingPackage").get());   // no percent: keeps 5
        sendFromPeer(statusMessage("InstallingEmbeddedProfile", 60).get());
        sendFromPeer(statusMessage("Complete", 100).get());
        RecordingSink sink;
        QCOMPARE(RecvStatus(m_conn, &sink, 0), 0);
        QCOMPARE(sink.progress, (std::vector<int>{5, 5, 60}));
        QCOMPARE(sink.infos[1].status, std::string("StagingPackage"));
    }

    void statusErrors_data()
    {
        QTest::addColumn<QByteArray>("error");
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("internal") << QByteArray("APIInternalError") << QByteArray() << -1008 << QByteArray("APIInternalError");
        QTest::newRow("epic") << QByteArray("APIEpicFail") << QByteArray() << -1008 << QByteArray("APIEpicFail");
        // Device text reaches terminals and the log: no line breaks, no escapes.
        QTest::newRow("described-with-detail")
            << QByteArray("PackageExtractionFailed") << QByteArray("Could not\nextract \x1b[2Jit") << -1
            << QByteArray("Could not extract  [2Jit (PackageExtractionFailed, code 0x00001234)");
        QTest::newRow("endless-description") << QByteArray("PackageInspectionFailed")
                                             << QString(5000, QChar(0x00e9)).toUtf8() << -1 << QByteArray();
    }
    void statusErrors()
    {
        QFETCH(QByteArray, error);
        QFETCH(QByteArray, description);
        QFETCH(int, result);
        QFETCH(QByteArray, reason);
        sendFromPeer(statusMessage("Installing", 20).get());
        PlistPtr refusal = errorMessage(error.constData());
        if (!description.isEmpty())
            plist_dict_set_item(refusal.get(), "ErrorDescription", plist_new_string(description.constData()));
        if (QByteArray(QTest::currentDataTag()) == "described-with-detail")
            plist_dict_set_item(refusal.get(), "ErrorDetail", plist_new_uint(0x700001234ull));
        sendFromPeer(refusal.get());
        RecordingSink sink;
        QCOMPARE(RecvStatus(m_conn, &sink, 2), result);
        QCOMPARE(sink.progress, (std::vector<int>{60, 60}));
        QCOMPARE(sink.infos.back().status, std::string(kDeviceErrorStatus));
        const QByteArray said = QByteArray::fromStdString(sink.infos.back().error);
        if (!reason.isEmpty()) {
            QCOMPARE(said, reason);
        } else {
            // Cut to its bound, on a character boundary, the error's name kept.
            QVERIFY(said.size() <= int(kDeviceReasonMaxBytes) && said.size() > 300);
            QCOMPARE(QString::fromUtf8(said).toUtf8(), said);
            QVERIFY(said.endsWith("(" + error + ")"));
        }
        QVERIFY(logText().contains("the device refused: " + said));
    }

    void statusErrorWithoutTextAndTransportLoss()
    {
        PlistPtr odd = makePlistPtr(plist_new_dict());
        plist_dict_set_item(odd.get(), "Error", plist_new_uint(3));
        sendFromPeer(odd.get());
        QCOMPARE(RecvStatus(m_conn, nullptr, 0), -1);

        sendFromPeer(statusMessage("Installing", 10).get());
        ::shutdown(m_peer, SHUT_WR);
        RecordingSink sink;
        QCOMPARE(RecvStatus(m_conn, &sink, 0), -1);
        QCOMPARE(sink.progress, std::vector<int>{10});
    }

    void invalidHandlesAndClosedPeersFail()
    {
        writePeer(std::string("\0\0", 2));   // a header cut short by the peer's end
        ::shutdown(m_peer, SHUT_WR);
        plist_t got = nullptr;
        QCOMPARE(mobilesync_receive(m_conn, &got), -1);
        QVERIFY(!got);

        char buffer[4];
        QCOMPARE(zorn_dvpt_recv(987654, buffer, 4), -1);
        QCOMPARE(zorn_dvpt_send(987654, buffer, 4), -1);
        ServiceConnection bogus;
        bogus.service = 987654;
        QCOMPARE(mobilesync_receive(&bogus, &got), -1);

        ::close(m_peer);   // a peer that is gone
        m_peer = -1;
        PlistPtr msg = statusMessage("x");
        QCOMPARE(mobilesync_send(m_conn, msg.get()), -1);
    }
};

QTEST_GUILESS_MAIN(TestChannel)
#include "tst_channel.moc"
