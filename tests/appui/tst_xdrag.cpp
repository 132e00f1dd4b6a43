// A real drag under a real X server: xdotool drags an app from AppShuttle's
// icon view (xdrag_source) onto a program standing for a file manager
// (xdrop_target). A drop delivers whole packages; a drag that hovers over a
// target that reads the data, and is then cancelled, writes nothing. Skipped
// only where Xvfb or xdotool is missing or no X server can be started.

#include "TestData.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// A helper program whose standard output is read line by line.
class Helper
{
public:
    QProcess process;
    QStringList lines;

    // The first line starting with prefix, waiting up to timeoutMs for it.
    QString waitFor(const QString &prefix, int timeoutMs = 30000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            while (process.canReadLine())
                lines << QString::fromUtf8(process.readLine()).trimmed();
            for (const QString &line : std::as_const(lines)) {
                if (line.startsWith(prefix))
                    return line;
            }
            if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
                return QString();
            process.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 200)));
        }
    }
    bool saw(const QString &prefix)
    {
        return !waitFor(prefix, 0).isEmpty();
    }
    ~Helper()
    {
        if (process.state() != QProcess::NotRunning) {
            process.write("quit\n");
            if (!process.waitForFinished(5000))
                process.kill();
            process.waitForFinished(2000);
        }
    }
};

QPoint pointOf(const QString &readyLine)
{
    const QStringList parts = readyLine.split(QLatin1Char(' '));
    return QPoint(parts.value(1).toInt(), parts.value(2).toInt());
}

} // namespace

class TestXDrag : public QObject
{
    Q_OBJECT

    QProcess m_xserver;
    QString m_display;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Helper> m_source;
    std::unique_ptr<Helper> m_target;
    QPoint m_tile;
    QPoint m_drop;
    QString m_sourceWindow;
    QString m_sourceTemp;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return env;
    }
    bool xdotool(const QStringList &args)
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral("xdotool"), args);
        return p.waitForFinished(10000) && p.exitCode() == 0;
    }
    // Moves the pointer from a to b in small steps, as a hand does.
    void glide(QPoint a, QPoint b)
    {
        for (int i = 1; i <= 12; ++i) {
            const QPoint p = a + (b - a) * i / 12;
            xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
            QTest::qWait(25);   // pacing of the simulated hand, not a wait for a result
        }
    }
    QStringList dragFiles() const
    {
        QStringList files;
        QDirIterator it(m_sourceTemp, {QStringLiteral("*.ipa")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        return files;
    }

private slots:
    void initTestCase()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("Xvfb or xdotool is not installed (scripts/setup installs both)");
        for (int n = 90; n < 110 && m_display.isEmpty(); ++n) {
            if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))
                || QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                continue;
            m_xserver.start(xvfb, {QStringLiteral(":%1").arg(n), QStringLiteral("-screen"), QStringLiteral("0"),
                                   QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            if (!m_xserver.waitForStarted(5000))
                continue;
            QDeadlineTimer deadline(10000);
            while (!deadline.hasExpired() && m_xserver.state() == QProcess::Running
                   && !QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                m_xserver.waitForFinished(100);
            if (m_xserver.state() == QProcess::Running && QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                m_display = QStringLiteral(":%1").arg(n);
            else if (m_xserver.state() == QProcess::Running)
                m_xserver.kill(), m_xserver.waitForFinished(2000);
        }
        if (m_display.isEmpty())
            QSKIP("no X server could be started (Xvfb failed on displays :90 to :109)");
    }
    void cleanupTestCase()
    {
        if (m_xserver.state() == QProcess::Running) {
            m_xserver.terminate();
            m_xserver.waitForFinished(5000);
        }
    }

    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("received")));
        m_target.reset(new Helper);
        m_target->process.setProcessEnvironment(environment());
        m_target->process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/xdrop_target"),
                                {m_dir->path() + QStringLiteral("/received"), QStringLiteral("--read-on-hover")});
        m_source.reset(new Helper);
        m_source->process.setProcessEnvironment(environment());
        m_source->process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/xdrag_source"));
        const QString sourceReady = m_source->waitFor(QStringLiteral("READY"), 60000);
        const QString targetReady = m_target->waitFor(QStringLiteral("READY"));
        QVERIFY2(!sourceReady.isEmpty(), m_source->process.readAllStandardError().constData());
        QVERIFY2(!targetReady.isEmpty(), m_target->process.readAllStandardError().constData());
        m_tile = pointOf(sourceReady);
        m_sourceWindow = sourceReady.section(QLatin1Char(' '), 3, 3);
        m_sourceTemp = m_source->waitFor(QStringLiteral("TMP")).section(QLatin1Char(' '), 1);
        m_drop = pointOf(targetReady);
        QVERIFY(!m_sourceTemp.isEmpty());
    }
    void cleanup()
    {
        m_source.reset();
        m_target.reset();
        m_dir.reset();
    }

    void dropDeliversWholePackages()
    {
        QVERIFY(xdotool({QStringLiteral("mousemove"), QString::number(m_tile.x()), QString::number(m_tile.y())}));
        QVERIFY(xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}));
        glide(m_tile, m_drop);
        QVERIFY2(!m_target->waitFor(QStringLiteral("HOVER-READ")).isEmpty(), "the target never saw the drag");
        QVERIFY(dragFiles().isEmpty());   // the target read the data while the button was held
        QVERIFY(xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));

        const QString dropped = m_target->waitFor(QStringLiteral("DROPPED"));
        QCOMPARE(dropped, QStringLiteral("DROPPED 1"));
        const QString copied = m_target->waitFor(QStringLiteral("COPIED"));
        const QStringList files = dragFiles();
        QCOMPARE(files.size(), 1);
        const QString name = QFileInfo(files.first()).fileName();
        const QString received = m_dir->path() + QStringLiteral("/received/") + name;
        QCOMPARE(copied, QStringLiteral("COPIED %1 %2").arg(name).arg(QFileInfo(files.first()).size()));
        QCOMPARE(TestData::readFile(received), TestData::readFile(files.first()));
        QVERIFY(TestData::zipEntries(received).join(QLatin1Char(' ')).contains(QLatin1String("Payload/")));
    }

    void hoverThenCancelWritesNothing()
    {
        // Keys go to the focus window; without a window manager, set it.
        QVERIFY(xdotool({QStringLiteral("windowfocus"), m_sourceWindow}));
        QVERIFY(xdotool({QStringLiteral("mousemove"), QString::number(m_tile.x()), QString::number(m_tile.y())}));
        QVERIFY(xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}));
        glide(m_tile, m_drop);
        QVERIFY2(!m_target->waitFor(QStringLiteral("HOVER-READ")).isEmpty(), "the target never saw the drag");
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
        QVERIFY(xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));
        // Give a late drop every chance to show up before looking.
        QVERIFY(m_target->waitFor(QStringLiteral("DROPPED"), 3000).isEmpty());
        QVERIFY(dragFiles().isEmpty());
        QVERIFY(QDir(m_dir->path() + QStringLiteral("/received")).isEmpty());
    }
};

QTEST_MAIN(TestXDrag)
#include "tst_xdrag.moc"
