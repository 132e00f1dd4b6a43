#include "DiagLog.h"
#include "TestData.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <vector>

namespace {

struct Probe
{
    void report() { DIAG_LOG("probe detail"); }
};

QList<QByteArray> linesOf(const QString &path)
{
    QList<QByteArray> lines = TestData::readFile(path).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestDiagLog : public QObject
{
    Q_OBJECT
    QTemporaryDir *m_dir = nullptr;

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        qputenv("TMPDIR", m_dir->path().toLocal8Bit());
    }
    void cleanup()
    {
        delete m_dir;
        m_dir = nullptr;
    }

    void entryHasHeaderAndDetail()
    {
        QCOMPARE(DiagLog::logPath(), m_dir->path() + QLatin1String("/tst_diaglog.1.log"));
        QCOMPARE(DiagLog::twinPath(), m_dir->path() + QLatin1String("/tst_diaglog.2.log"));
        errno = 0x2a;
        Probe().report();
        const auto lines = linesOf(DiagLog::logPath());
        QCOMPARE(lines.size(), 2);
        const QRegularExpression header(QStringLiteral(
            "^tst_diaglog\\(\\d+\\): in \\{anonymous\\}::Probe::report : "
            "\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d 0000002a$"));
        QVERIFY2(header.match(QString::fromLocal8Bit(lines[0])).hasMatch(), lines[0].constData());
        QCOMPARE(lines[1], QByteArray("probe detail"));
        QVERIFY(!QFile::exists(DiagLog::twinPath()));
    }

    void qualifiedNames_data()
    {
        QTest::addColumn<QByteArray>("pretty");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("method") << QByteArray("int AppHandler::Load(AppTask*)") << QByteArray("AppHandler::Load");
        QTest::newRow("virtual-const") << QByteArray("virtual bool Foo::bar(int) const") << QByteArray("Foo::bar");
        QTest::newRow("pointer-return") << QByteArray("char* Foo::name()") << QByteArray("Foo::name");
        QTest::newRow("free") << QByteArray("int mobilesync_receive(ServiceConnection*, void**)") << QByteArray("mobilesync_receive");
        QTest::newRow("template-arg") << QByteArray("void Map<int, int>::insert(int)") << QByteArray("Map<int, int>::insert");
    }
    void qualifiedNames()
    {
        QFETCH(QByteArray, pretty);
        QFETCH(QByteArray, name);
        QCOMPARE(DiagLog::qualifiedName(pretty.constData()), name);
    }

    void longLineIsCutAndEnded()
    {
        const QByteArray longText(3000, 'x');
        DiagLog::write("%s", longText.constData());
        DiagLog::write("after");
        const auto lines = linesOf(DiagLog::logPath());
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].size(), 1023);
        QCOMPARE(lines[1], QByteArray("after"));
    }

    void rotatesAtThreshold()
    {
        const QByteArray chunk(99, 'a');   // 100 bytes a line
        int written = 0;
        while (!QFile::exists(DiagLog::twinPath())) {
            QVERIFY(written < 200);
            DiagLog::write("%s", chunk.constData());
            ++written;
        }
        QCOMPARE(written, 82);   // the 82nd line brings the file to 8200 >= 8192
        QCOMPARE(QFileInfo(DiagLog::twinPath()).size(), qint64(8200));
        QVERIFY(!QFile::exists(DiagLog::logPath()));

        DiagLog::write("fresh");
        QCOMPARE(linesOf(DiagLog::logPath()), QList<QByteArray>{"fresh"});
        QCOMPARE(QFileInfo(DiagLog::twinPath()).size(), qint64(8200));
    }

    void concurrentWritersLeaveWholeEntries()
    {
        constexpr int kThreads = 8;
        constexpr int kEntries = 400;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([t] {
                const QByteArray detail = "thread-" + QByteArray::number(t) + "-" + QByteArray(40, char('a' + t));
                for (int i = 0; i < kEntries; ++i)
                    DIAG_LOG(detail.constData());
            });
        }
        for (auto &th : threads)
            th.join();

        const QRegularExpression header(QStringLiteral("^tst_diaglog\\(\\d+\\): in .+ : \\S+ \\S+ [0-9a-f]{8}$"));
        const QRegularExpression detail(QStringLiteral("^thread-(\\d)-([a-h])\\2{39}$"));
        int checked = 0;
        for (const QString &path : {DiagLog::twinPath(), DiagLog::logPath()}) {
            const auto lines = linesOf(path);
            QVERIFY(lines.size() % 2 == 0);
            for (int i = 0; i < lines.size(); i += 2) {
                QVERIFY2(header.match(QString::fromLatin1(lines[i])).hasMatch(), lines[i].constData());
                const auto m = detail.match(QString::fromLatin1(lines[i + 1]));
                QVERIFY2(m.hasMatch(), lines[i + 1].constData());
                QCOMPARE(m.captured(2).at(0).toLatin1() - 'a', m.captured(1).toInt());
                ++checked;
            }
        }
        QVERIFY(checked > 0);
        QVERIFY(QFileInfo(DiagLog::logPath()).size() < DiagLog::kRotateSize + 2048);
    }
};

QTEST_GUILESS_MAIN(TestDiagLog)
#include "tst_diaglog.moc"
