#include "TestData.h"
#include "TulApplication.h"
#include "TulPref.h"
#include "TulSingleInstance.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <QWidget>

class TestTulApplication : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(configHome.isValid());
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        QVERIFY2(QFileInfo::exists(helperPath()), qPrintable(helperPath()));
    }

    void cleanup()
    {
        TulPref::openInstance(TulPref::defaultFilePath());
    }

    void secondProcessExitsAndActivatesFirst()
    {
        auto *app = TulApplication::instance();
        const QString id = uniqueId();
        QVERIFY(!app->isRunning(id));
        QVERIFY(!app->isRunning(id));   // asking again does not turn us into a second instance

        QWidget window;
        window.showMinimized();
        app->setActivationWindow(&window, true);
        QSignalSpy messages(app, &TulApplication::messageReceived);

        QElapsedTimer clock;
        clock.start();
        QProcess second;
        second.start(helperPath(), {QStringLiteral("instance"), id});
        // The second process blocks on its connect while we are not serving the
        // event loop, so wait for its exit with the loop running.
        QSignalSpy finished(&second, &QProcess::finished);
        QVERIFY(finished.wait(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardOutput().trimmed(), QByteArray("secondary"));
        QVERIFY2(clock.elapsed() < 5000, "the second instance took too long to end");

        if (messages.isEmpty())
            QVERIFY(messages.wait(5000));
        QCOMPARE(messages.first().first().toString(), QStringLiteral("activate"));
        QVERIFY(window.isVisible());
        QVERIFY(!(window.windowState() & Qt::WindowMinimized));
        app->setActivationWindow(nullptr);
    }

    void crashedHolderIsTakenOver()
    {
        const QString id = uniqueId();
        QProcess first;
        first.start(helperPath(), {QStringLiteral("instance"), id});
        QCOMPARE(readLine(first), QByteArray("primary"));
        first.kill();   // SIGKILL: lock file and socket stay behind
        QVERIFY(first.waitForFinished(5000));

        QProcess successor;
        successor.start(helperPath(), {QStringLiteral("instance"), id});
        QCOMPARE(readLine(successor), QByteArray("primary"));

        QProcess third;
        third.start(helperPath(), {QStringLiteral("instance"), id});
        QVERIFY(third.waitForFinished(10000));
        QCOMPARE(third.exitCode(), 0);
        QCOMPARE(third.readAllStandardOutput().trimmed(), QByteArray("secondary"));
        QCOMPARE(readLine(successor), QByteArray("message:activate"));

        // A holder that ends normally leaves nothing behind for the next one.
        QProcess stopper;
        stopper.start(helperPath(), {QStringLiteral("instance"), id, QStringLiteral("quit")});
        QVERIFY(stopper.waitForFinished(10000));
        QCOMPARE(stopper.exitCode(), 0);
        QVERIFY(successor.waitForFinished(10000));
        QCOMPARE(successor.exitCode(), 0);
        const QString socket = TulSingleInstance::socketPath(id);
        QVERIFY(!QFileInfo::exists(socket));
        QVERIFY(!QFileInfo::exists(socket + QStringLiteral(".lock")));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("outContains");
        QTest::addColumn<QString>("errContains");

        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0
                              << QStringLiteral("--version") << QString();
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                                 << QStringLiteral("AppShuttle " APPSHUTTLE_VERSION) << QString();
        QTest::newRow("unknown-option") << QStringList{QStringLiteral("--frobnicate")} << 0
                                        << QString() << QStringLiteral("frobnicate");
        QTest::newRow("plain-argument") << QStringList{QStringLiteral("some.ipa")} << 3
                                        << QString() << QString();
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, outContains);
        QFETCH(QString, errContains);

        QProcess process;
        process.start(helperPath(), QStringList{QStringLiteral("cmdline")} + args);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), exitCode);
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        if (outContains.isEmpty())
            QVERIFY2(out.isEmpty(), qPrintable(out));
        else
            QVERIFY2(out.contains(outContains), qPrintable(out));
        if (!errContains.isEmpty())
            QVERIFY2(err.contains(errContains), qPrintable(err));
    }

    void configuration()
    {
        auto *app = TulApplication::instance();
        const QString store = configHome.path() + QStringLiteral("/AppShuttle/appshuttle.conf");

        QVERIFY(!app->initCfg(nullptr, false));   // nothing there yet and not asked to create
        QVERIFY(app->initCfg(nullptr, true));
        QVERIFY(QFileInfo::exists(store));
        QCOMPARE(TulPref::instance()->filePath(), store);
        QVERIFY(!TulPref::instance()->value(QStringLiteral("last_skin")).toString().isEmpty());
        QVERIFY(app->initCfg(nullptr, false));     // exists now

        QVERIFY(!app->initCfg("../elsewhere", true));
        QVERIFY(!QFileInfo::exists(configHome.path() + QStringLiteral("/elsewhere.conf")));

        // A config home that is a file cannot hold the store (and root cannot override that).
        const QString blocker = configHome.path() + QStringLiteral("/not-a-folder");
        QVERIFY(TestData::writeFile(blocker, QByteArray()));
        qputenv("XDG_CONFIG_HOME", blocker.toLocal8Bit());
        QVERIFY(!app->initCfg(nullptr, true));
    }

private:
    static QString helperPath()
    {
        QString bin = qEnvironmentVariable("APPSHUTTLE_BIN_DIR");
        if (bin.isEmpty())
            bin = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
        return bin + QStringLiteral("/tul_instance_helper");
    }

    static QString uniqueId()
    {
        return QStringLiteral("tst-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    }

    static QByteArray readLine(QProcess &process, int timeoutMs = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!process.canReadLine() && clock.elapsed() < timeoutMs) {
            if (!process.waitForReadyRead(int(timeoutMs - clock.elapsed())))
                break;
        }
        return process.canReadLine() ? process.readLine().trimmed() : QByteArray();
    }

    QTemporaryDir configHome;
};

int main(int argc, char **argv)
{
    TulApplication app(QString(), argc, argv);
    TestTulApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tulapplication.moc"
