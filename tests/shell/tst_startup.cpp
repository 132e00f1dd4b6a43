// The program as a user starts it: the demo devices, the splash line, one
// instance per world, and the command line.

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void secondInstanceExitsBeforeAnyWindow();
    void commandLine();

private:
    QProcess *start(const QStringList &args);

    std::unique_ptr<QTemporaryDir> home;
    QList<QProcess *> processes;
};

void TestStartup::init()
{
    home = std::make_unique<QTemporaryDir>();
    QVERIFY(home->isValid());
}

void TestStartup::cleanup()
{
    for (QProcess *process : qAsConst(processes)) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(10000))
                process->kill();
            process->waitForFinished(5000);
        }
        delete process;
    }
    processes.clear();
}

QProcess *TestStartup::start(const QStringList &args)
{
    auto *process = new QProcess;
    processes << process;
    // A home of its own: preferences, temporary folder and instance lock.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home->path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("TMPDIR"), home->path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("USBMUXD_SOCKET_ADDRESS"));
    process->setProcessEnvironment(env);
    process->start(qEnvironmentVariable("APPSHUTTLE_BIN_DIR") + QStringLiteral("/appshuttle"), args);
    return process;
}

void TestStartup::secondInstanceExitsBeforeAnyWindow()
{
    QProcess *first = start({QStringLiteral("--demo")});
    QVERIFY(first->waitForStarted());
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += first->readAllStandardOutput()).contains("command:close splash screen"), 30000);
    QCOMPARE(out, QByteArray("command:close splash screen"));

    // The same world again: it hands over to the running one and ends at once.
    QProcess *second = start({QStringLiteral("--demo")});
    QVERIFY(second->waitForFinished(15000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(second->readAllStandardOutput().isEmpty());
    QCOMPARE(first->state(), QProcess::Running);
}

void TestStartup::commandLine()
{
    QProcess *help = start({QStringLiteral("--help")});
    QVERIFY(help->waitForFinished(15000));
    QCOMPARE(help->exitCode(), 0);
    const QByteArray usage = help->readAllStandardOutput();
    QVERIFY(usage.contains("--demo"));
    QVERIFY(usage.contains("--usbmuxd-socket"));

    QProcess *wrong = start({QStringLiteral("--no-such-option")});
    QVERIFY(wrong->waitForFinished(15000));
    QCOMPARE(wrong->exitCode(), 0);
    QVERIFY(wrong->readAllStandardError().contains("no-such-option"));
    QVERIFY(wrong->readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
