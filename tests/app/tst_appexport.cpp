// Exporting apps from the virtual device: archive, copy, tag, and what is
// left behind when something fails.

#include "AppHandler.h"
#include "DeviceFixture.h"
#include "DiagLogText.h"
#include "FakePrefix.h"
#include "RecordingTask.h"
#include "TestData.h"
#include "VDemoCatalog.h"
#include "ipodzip.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

VDemoApp sharingApp()
{
    for (const VDemoApp &app : VDemoCatalog::demoApps({1})) {
        if (app.fileSharing && !app.system && !app.documents.isEmpty())
            return app;
    }
    return VDemoApp();
}

} // namespace

class TestAppExport : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeviceFixture> m_device;
    std::unique_ptr<AppHandler> m_handler;
    VDemoApp m_app;
    QString m_out;

    // A fault is set before the first connection, so that the media area is faulted too.
    void start(std::vector<int> profiles = {0}, const QStringList &fault = {}, bool load = true)
    {
        m_device = std::make_unique<DeviceFixture>(profiles, true);
        QVERIFY2(m_device->ok(), qPrintable(m_device->error()));
        if (!fault.isEmpty())
            QVERIFY(m_device->fault(0, fault[0].toStdString(), fault[1].toStdString(), fault[2].toStdString()));
        QVERIFY(m_device->startScanning());
        m_handler = std::make_unique<AppHandler>(QByteArray::fromStdString(m_device->id(0)));
        if (load)
            QCOMPARE(m_handler->Load(), 0);
        m_app = sharingApp();
        QVERIFY(!m_app.identifier.isEmpty());
        m_out = m_device->root() + QStringLiteral("/out");
        QDir().mkpath(m_out);
    }
    QStringList leftovers() const
    {
        QStringList all = QDir(m_out).entryList(QDir::Files | QDir::Hidden);
        all += QDir(m_device->mediaDir(0) + QStringLiteral("/ApplicationArchives")).entryList(QDir::Files);
        return all;
    }

private slots:
    void cleanup()
    {
        m_handler.reset();
        m_device.reset();
    }

    void exportWithDocumentsIsTaggedAndComplete()
    {
        start();
        const QString target = m_out + QStringLiteral("/app.ipa");
        // Another export of the same app into the same folder is under way:
        // each writes a temporary file of its own.
        const QString others = target + QStringLiteral(".tmp");
        QVERIFY(TestData::writeFile(others, "another export's bytes"));
        RecordingTask task(AppTask::ExportApptoPCTask);
        QCOMPARE(m_handler->AppArchive(m_app.identifier.toUtf8(), false, target.toUtf8(), &task), 0);
        QCOMPARE(TestData::readFile(others), QByteArray("another export's bytes"));
        QFile::remove(others);
        QVERIFY(task.progressRises(0, 100));
        QVERIFY(task.sawStatus("DownLoadOK", 100));
        bool firstHalf = false, secondHalf = false;
        for (const auto &info : task.infos) {
            firstHalf = firstHalf || (info.percent < 50 && info.status != "DownLoad");
            secondHalf = secondHalf || (info.percent >= 50 && info.status == "DownLoad");
        }
        QVERIFY(firstHalf && secondHalf);

        // Tagged with the UDID, which stays when the device is plugged in again.
        const QStringList names = TestData::zipEntries(target);
        QVERIFY(names.contains(m_device->profile(0).udid));
        QVERIFY(!names.contains(QString::fromStdString(m_device->id(0))));
        QVERIFY(std::any_of(names.begin(), names.end(), [](const QString &n) {
            return n.startsWith(QLatin1String("Payload/")) && n.endsWith(QLatin1String(".app/Info.plist"));
        }));
        QVERIFY(names.contains(QStringLiteral("Container/Documents/") + m_app.documents.first().first));
        QCOMPARE(leftovers(), QStringList{QStringLiteral("app.ipa")});

        RecordingTask alone(AppTask::ExportApptoPCTask);
        const QString appOnly = m_out + QStringLiteral("/alone.ipa");
        QCOMPARE(m_handler->AppArchive(m_app.identifier.toUtf8(), true, appOnly.toUtf8(), &alone), 0);
        const QStringList aloneNames = TestData::zipEntries(appOnly);
        QVERIFY(!aloneNames.isEmpty());
        QVERIFY(std::none_of(aloneNames.begin(), aloneNames.end(),
                             [](const QString &n) { return n.startsWith(QLatin1String("Container/")); }));
    }

    void failedExportKeepsTheOldTarget_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("arg");
        QTest::addColumn<int>("result");
        QTest::newRow("dropped-copy") << QStringLiteral("com.apple.afc") << QStringLiteral("drop") << QStringLiteral("6000") << 0;
        QTest::newRow("device-error") << QStringLiteral("com.apple.mobile.installation_proxy") << QStringLiteral("error")
                                      << QStringLiteral("APIInternalError") << -1008;
        QTest::newRow("no-space") << QStringLiteral("*") << QStringLiteral("freespace") << QStringLiteral("10485760") << -1009;
    }
    void failedExportKeepsTheOldTarget()
    {
        QFETCH(QString, service);
        QFETCH(QString, kind);
        QFETCH(QString, arg);
        QFETCH(int, result);
        start({0}, {service, kind, arg}, kind != QLatin1String("error"));

        const QString target = m_out + QStringLiteral("/app.ipa");
        QVERIFY(TestData::writeFile(target, "the previous export"));
        RecordingTask task(AppTask::ExportApptoPCTask);
        const int rc = m_handler->AppArchive(m_app.identifier.toUtf8(), false, target.toUtf8(), &task);
        if (result)
            QCOMPARE(rc, result);
        else
            QVERIFY(rc < 0 && rc != -1009 && rc != -1008);   // failed in the copy
        QCOMPARE(TestData::readFile(target), QByteArray("the previous export"));
        QCOMPARE(QDir(m_out).entryList(QDir::Files), QStringList{QStringLiteral("app.ipa")});
    }

    void currentDevicesRefuseBeforeSendingAnything()
    {
        start({1});
        QVERIFY(!m_handler->canExportApps());
        const QString target = m_out + QStringLiteral("/app.ipa");
        TestData::clearDiagLog();
        RecordingTask task(AppTask::ExportApptoPCTask);
        QCOMPARE(m_handler->AppArchive(m_app.identifier.toUtf8(), true, target.toUtf8(), &task), -1010);
        QCOMPARE(m_handler->exportToiTunes(m_app.identifier.toUtf8(), true, &task), -1010);
        QVERIFY(task.infos.empty());
        QVERIFY(leftovers().isEmpty());
        // The device (in this process, logging here too) answered no archive command.
        const QByteArray log = TestData::diagLog();
        QVERIFY(log.contains("no longer archives apps"));
        QVERIFY(!log.contains("answering with"));
    }

    void exportedPackageReinstallsWithItsDocuments()
    {
        start({0, 1});
        const QString target = m_out + QStringLiteral("/with-docs.ipa");
        QCOMPARE(m_handler->AppArchive(m_app.identifier.toUtf8(), false, target.toUtf8(), nullptr), 0);

        // On the device it came from, the tag matches.
        RecordingTask again;
        again.overwriteAnswer = true;
        QCOMPARE(m_handler->AppInstall(target.toUtf8(), &again), 0);

        // On another device it installs, with the documents, and warns.
        const QString container = m_device->appsDir(1) + QLatin1Char('/') + m_app.identifier;
        QDir(container).removeRecursively();
        AppHandler other(QByteArray::fromStdString(m_device->id(1)));
        QCOMPARE(other.Load(), 0);
        RecordingTask task;
        QCOMPARE(other.AppInstall(target.toUtf8(), &task), -1003);
        for (const auto &doc : m_app.documents)
            QCOMPARE(TestData::readFile(container + QStringLiteral("/Documents/") + doc.first), doc.second);
        AppInfoItem item;
        QVERIFY(other.item(m_app.identifier, &item));
        QCOMPARE(item.documents.size(), m_app.documents.size());

        // Exports of older versions were tagged "<usbmux number>-<UDID>"; the
        // number changes with every replug, the package is still this device's.
        const QString older = m_out + QStringLiteral("/older.ipa");
        QVERIFY(QFile::copy(target, older));
        const QByteArray formerId = "7-" + m_device->profile(1).udid.toUtf8();
        QCOMPARE(ipod_zip_append(older.toUtf8().constData(), formerId.constData()), 0);
        RecordingTask olderTask;
        olderTask.overwriteAnswer = true;
        QCOMPARE(other.AppInstall(older.toUtf8(), &olderTask), 0);
    }

    void exportToiTunesWritesIntoTheImportFolder()
    {
        start();
        // Without iTunes there is no folder to write into.
        qputenv("WINEPREFIX", (m_device->root() + QStringLiteral("/no-prefix")).toLocal8Bit());
        QCOMPARE(m_handler->exportToiTunes(m_app.identifier.toUtf8(), true, nullptr), -1);
        QVERIFY(leftovers().isEmpty());

        FakePrefix prefix;
        prefix.installItunes(QStringLiteral("9.1.1.11"));
        prefix.writeLibrary(QStringLiteral("iTunesPrefs.xml"),
                            QStringLiteral("file://localhost/C:/users/tester/Music/iTunes/iTunes%20Media/"));
        const QString media = prefix.local(QStringLiteral("C:/users/tester/Music/iTunes/iTunes Media"));
        QVERIFY(QDir().mkpath(media));
        qputenv("WINEPREFIX", prefix.path().toLocal8Bit());
        RecordingTask task(AppTask::ExportApptoiTunesTask);
        const int rc = m_handler->exportToiTunes(m_app.identifier.toUtf8(), true, &task);
        qunsetenv("WINEPREFIX");
        QCOMPARE(rc, 0);
        const QString expected = media + QStringLiteral("/Automatically Add to iTunes/") + m_app.name + QLatin1Char(' ')
            + m_app.shortVersion + QStringLiteral(".ipa");
        QVERIFY2(QFile::exists(expected), qPrintable(expected));
        QVERIFY(TestData::zipEntries(expected).contains(m_device->profile(0).udid));
    }
};

QTEST_GUILESS_MAIN(TestAppExport)
#include "tst_appexport.moc"
