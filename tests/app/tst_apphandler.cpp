// The app service against the virtual device: loading, install, replace,
// uninstall, with the device's faults.

#include "AppContext.h"
#include "AppHandler.h"
#include "AppLoader.h"
#include "AppTable.h"
#include "DeviceFixture.h"
#include "DiagLogText.h"
#include "RecordingTask.h"
#include "TestData.h"
#include "VDemo.h"
#include "VDemoCatalog.h"
#include "VInstallationProxy.h"
#include "VPackageBuilder.h"
#include "communication.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

class TestAppHandler : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeviceFixture> m_device;
    std::unique_ptr<AppHandler> m_handler;

    void start(std::vector<int> profiles = {0}, bool demo = true)
    {
        m_device = std::make_unique<DeviceFixture>(profiles, demo);
        QVERIFY2(m_device->ok(), qPrintable(m_device->error()));
        QVERIFY(m_device->startScanning());
        m_handler = std::make_unique<AppHandler>(QByteArray::fromStdString(m_device->id(0)));
    }
    QString package(const QString &name, VPackageBuilder builder)
    {
        const QString path = m_device->root() + QLatin1Char('/') + name;
        QString error;
        if (!builder.write(path, &error))
            qWarning("package: %s", qPrintable(error));
        return path;
    }
    bool installedOnDevice(const QString &appId) const
    {
        return QFileInfo(m_device->appsDir(0) + QLatin1Char('/') + appId).isDir();
    }
    QStringList staged() const
    {
        return QDir(m_device->mediaDir(0) + QStringLiteral("/PublicStaging")).entryList(QDir::Files);
    }

private slots:
    void init() { registerAppRecordMetaTypes(); AppTask::registerMetaTypes(); }
    void cleanup()
    {
        m_handler.reset();
        m_device.reset();
    }

    void loadReadsEveryField()
    {
        start();
        QCOMPARE(m_handler->deviceInfo().name(), m_device->profile(0).name.toUtf8());
        QSignalSpy loaded(m_handler.get(), &AppHandler::data_loadcompleted);
        // Browse pages without CurrentAmount: the lists themselves count.
        VInstallationProxy::setBrowseAmounts(false);
        const int rc = m_handler->Load();
        VInstallationProxy::setBrowseAmounts(true);
        QCOMPARE(rc, 0);
        QCOMPARE(loaded.count(), 1);
        // The list goes out first; icons and documents follow as changes
        // and are all in the table when the load returns.
        QCOMPARE(loaded.at(0).at(0).value<AppInfoItemMap>().keys(), m_handler->items().keys());
        const AppInfoItemMap map = m_handler->items();

        int checked = 0;
        for (const VDemoApp &app : VDemoCatalog::demoApps({1})) {
            if (app.system) {
                QVERIFY2(!map.contains(app.identifier), qPrintable(app.identifier));
                continue;
            }
            QVERIFY2(map.contains(app.identifier), qPrintable(app.identifier));
            const AppInfoItem item = map.value(app.identifier);
            QCOMPARE(item.name, app.name);
            QCOMPARE(item.version, app.shortVersion.isEmpty() ? app.bundleVersion : app.shortVersion);
            QCOMPARE(item.genre, app.genre);
            QCOMPARE(item.purchaseAccount, app.account);
            QCOMPARE(item.releaseDate, app.releaseDate);
            QCOMPARE(item.purchaseDate, app.purchaseDate);
            QVERIFY(item.appSize > 0);
            QVERIFY(QImage::fromData(item.iconPng).width() > 0);
            QCOMPARE(item.fileSharingEnabled, app.fileSharing);
            QCOMPARE(item.documents.size(), app.fileSharing ? app.documents.size() : 0);
            for (int i = 1; i < item.documents.size(); ++i)
                QVERIFY(item.documents[i - 1].name.toUtf8() < item.documents[i].name.toUtf8());
            for (const DocItemInfo &doc : item.documents) {
                QVERIFY(doc.path.startsWith(QString::fromStdString(m_device->id(0)) + QStringLiteral("/Documents/")));
                QVERIFY(doc.isFile);
                QVERIFY(doc.modifiedTime.isValid());
            }
            ++checked;
        }
        QVERIFY(checked >= 5);
    }

    void namesFallBackSoNoAppIsNameless()
    {
        start({0}, false);
        VPackageBuilder plain(QStringLiteral("com.test.plain"));
        plain.setName(QStringLiteral("Plain")).setInfo(QStringLiteral("CFBundleDisplayName"), QVariant())
            .setInfo(QStringLiteral("CFBundleShortVersionString"), QVariant())
            .setInfo(QStringLiteral("CFBundleVersion"), QStringLiteral("77"))
            .setInfo(QStringLiteral("UIFileSharingEnabled"), QStringLiteral("true"));
        VPackageBuilder nameless(QStringLiteral("com.test.nameless"));
        nameless.setInfo(QStringLiteral("CFBundleDisplayName"), QVariant()).setInfo(QStringLiteral("CFBundleName"), QVariant());
        // A name a hostile package gives: far too long, with control characters.
        VPackageBuilder hostile(QStringLiteral("com.test.hostile"));
        hostile.setInfo(QStringLiteral("CFBundleDisplayName"), QStringLiteral("Evil\x1b[2J\a\t\nApp") + QString(300, QLatin1Char('x')));
        RecordingTask task;
        QCOMPARE(m_handler->AppInstall(package(QStringLiteral("plain.ipa"), plain).toUtf8(), &task), -1003);
        QCOMPARE(m_handler->AppInstall(package(QStringLiteral("nameless.ipa"), nameless).toUtf8(), &task), -1003);
        QCOMPARE(m_handler->AppInstall(package(QStringLiteral("hostile.ipa"), hostile).toUtf8(), &task), -1003);

        // Without the home screen's names, the list's own names must do.
        QVERIFY(m_device->fault(0, "com.apple.springboardservices", "garbage"));
        QSignalSpy loaded(m_handler.get(), &AppHandler::data_loadcompleted);
        QCOMPARE(m_handler->Load(), -1);
        QCOMPARE(loaded.count(), 1);
        const AppInfoItemMap map = loaded.at(0).at(0).value<AppInfoItemMap>();
        const AppInfoItem item = map.value(QStringLiteral("com.test.plain"));
        QCOMPARE(item.name, QStringLiteral("Plain"));   // CFBundleName
        QCOMPARE(item.version, QStringLiteral("77"));
        QVERIFY(item.fileSharingEnabled);               // the string "true"
        QCOMPARE(map.value(QStringLiteral("com.test.nameless")).name, QStringLiteral("com.test.nameless"));
        QCOMPARE(m_handler->exportFileName("com.test.nameless", true), QStringLiteral("com.test.nameless 1.0.ipa"));
        // Control characters dropped, the length bounded, version, "(including documents)" and extension kept.
        const QString hostileName = m_handler->exportFileName("com.test.hostile", false);
        QVERIFY2(hostileName.startsWith(QStringLiteral("Evil[2JAppxxx")), qPrintable(hostileName));
        QVERIFY(hostileName.endsWith(QStringLiteral("x 1.0(including documents).ipa")));
        QCOMPARE(hostileName.toUtf8().size(), 255);
    }

    void homeScreenNamesFromEveryFolderPage()
    {
        // A socket stands for the springboard connection and answers with
        // an icon state whose folder spans two pages.
        int fds[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        ServicePtr springboard(zorn_dvpt_ServiceFromSocket(fds[0], 2000));
        const auto entry = [](const char *id, const char *name) {
            plist_t e = plist_new_dict();
            plist_dict_set_item(e, "bundleIdentifier", plist_new_string(id));
            plist_dict_set_item(e, "displayName", plist_new_string(name));
            return e;
        };
        PlistPtr state = makePlistPtr(plist_new_array());
        plist_t dock = plist_new_array();
        plist_array_append_item(dock, entry("a.dock", "Dock"));
        plist_t folder = plist_new_dict();
        plist_dict_set_item(folder, "displayName", plist_new_string("Games"));
        plist_dict_set_item(folder, "listType", plist_new_string("folder"));
        plist_t lists = plist_new_array();
        for (const char *id : {"a.first", "a.second"}) {
            plist_t folderPage = plist_new_array();
            plist_array_append_item(folderPage, entry(id, id + 2));
            plist_array_append_item(lists, folderPage);
        }
        plist_dict_set_item(folder, "iconLists", lists);
        plist_t page = plist_new_array();
        plist_array_append_item(page, folder);
        plist_array_append_item(page, entry("a.unnamed", ""));
        plist_array_append_item(state.get(), dock);
        plist_array_append_item(state.get(), page);
        std::string packet;
        QVERIFY(PlistFrame::frame(state.get(), false, &packet));
        QCOMPARE(::write(fds[1], packet.data(), packet.size()), ssize_t(packet.size()));

        AppTable table;
        const IPodDeviceInfo info;
        const std::atomic<int> parts{AppContext::LoadEverything};
        const AppContext context("no-device", &info, &table, nullptr, &parts);
        for (const char *id : {"a.dock", "a.first", "a.second", "a.unnamed"}) {
            AppRecord record;
            record.appId = id;
            record.name = "listed";
            table.put(record);
        }
        QCOMPARE(AppLoader(context).applyHomeScreenNames(springboard.get()), 0);
        ::close(fds[1]);
        const AppInfoItemMap items = table.items();
        QCOMPARE(items.value(QStringLiteral("a.dock")).name, QStringLiteral("Dock"));
        QCOMPARE(items.value(QStringLiteral("a.first")).name, QStringLiteral("first"));
        QCOMPARE(items.value(QStringLiteral("a.second")).name, QStringLiteral("second"));
        QCOMPARE(items.value(QStringLiteral("a.unnamed")).name, QStringLiteral("listed"));
    }

    void brokenRepliesFailTheLoad_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("kind");
        QTest::newRow("list-garbage") << QStringLiteral("com.apple.mobile.installation_proxy") << QStringLiteral("garbage");
        QTest::newRow("list-dropped") << QStringLiteral("com.apple.mobile.installation_proxy") << QStringLiteral("drop");
        // Gone before the request could be sent.
        QTest::newRow("list-dropped-at-once") << QStringLiteral("com.apple.mobile.installation_proxy") << QStringLiteral("drop-0");
        // Gone after the first pages, while containers of listed apps are being read.
        QTest::newRow("list-dropped-later") << QStringLiteral("com.apple.mobile.installation_proxy") << QStringLiteral("drop-late");
        QTest::newRow("springboard-garbage") << QStringLiteral("com.apple.springboardservices") << QStringLiteral("garbage");
        QTest::newRow("springboard-dropped") << QStringLiteral("com.apple.springboardservices") << QStringLiteral("drop");
    }
    void brokenRepliesFailTheLoad()
    {
        QFETCH(QString, service);
        QFETCH(QString, kind);
        start();
        QString error;
        if (kind == QLatin1String("drop-late"))
            QVERIFY2(VDemo::populateApps(m_device->appsDir(0), {1}, 100, &error), qPrintable(error));
        const std::string arg = kind == QLatin1String("drop") ? "3000" : kind == QLatin1String("drop-0") ? "0"
                                : kind == QLatin1String("drop-late") ? "120000" : "";
        QVERIFY(m_device->fault(0, service.toStdString(), kind.section(QLatin1Char('-'), 0, 0).toStdString(), arg));
        QSignalSpy loaded(m_handler.get(), &AppHandler::data_loadcompleted);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(m_handler->Load(), -1);
        QVERIFY(timer.elapsed() < 5000);
        if (service.contains(QLatin1String("installation"))) {
            QCOMPARE(loaded.count(), 0);   // never an empty list for a device that did not answer
            QVERIFY(m_handler->items().isEmpty());   // nor half of one
            return;
        }
        // Without names and icons every app is still listed.
        int apps = 0;
        for (const VDemoApp &app : VDemoCatalog::demoApps({1}))
            apps += app.system ? 0 : 1;
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(loaded.at(0).at(0).value<AppInfoItemMap>().size(), apps);
        QCOMPARE(m_handler->items().size(), apps);
    }

    void installReportsBothHalves()
    {
        start({0}, false);
        VPackageBuilder builder(QStringLiteral("com.test.big"));
        builder.setExecutableSize(3 * 1024 * 1024, true);
        QSignalSpy added(m_handler.get(), &AppHandler::data_itemadded);
        RecordingTask task;
        QCOMPARE(m_handler->AppInstall(package(QStringLiteral("big.ipa"), builder).toUtf8(), &task), -1003);
        QVERIFY(task.progressRises(0, 100));
        QVERIFY(task.sawStatus("DownLoadOK", 50));
        QVERIFY(task.progressValues.size() > 10);
        bool sawSecondHalf = false;
        for (const auto &info : task.infos)
            sawSecondHalf = sawSecondHalf || (info.percent > 50 && info.status != "DownLoad");
        QVERIFY(sawSecondHalf);
        QCOMPARE(added.count(), 1);
        QCOMPARE(added.at(0).at(0).value<AppInfoItem>().appId, QStringLiteral("com.test.big"));
        QCOMPARE(added.at(0).at(1).value<AppTask *>(), static_cast<AppTask *>(&task));
        QVERIFY(installedOnDevice(QStringLiteral("com.test.big")));
        QVERIFY(m_handler->items().contains(QStringLiteral("com.test.big")));
        QVERIFY(staged().isEmpty());   // the device keeps the upload; the install removes it
    }

    // What the device's family and system allow, and files that are no
    // package: a refusal reaches nothing on the device and is logged.
    void installRefusals_data()
    {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("result");
        const QString family = QStringLiteral("UIDeviceFamily");
        const QString minimum = QStringLiteral("MinimumOSVersion");
        QTest::newRow("ipad-only-on-iphone") << 0 << family << QVariant(QVariantList{QStringLiteral("2")}) << -1001;
        QTest::newRow("empty-family-list") << 0 << family << QVariant(QVariantList{}) << -1001;
        QTest::newRow("newer-system-needed") << 0 << minimum << QVariant(QStringLiteral("8.2.1")) << -1002;
        QTest::newRow("unparsable-info-plist") << 0 << QStringLiteral("badinfo") << QVariant() << -1;
        QTest::newRow("not-a-zip") << 0 << QStringLiteral("text") << QVariant() << -1;
        QTest::newRow("missing-file") << 0 << QStringLiteral("missing") << QVariant() << -1;
        // Accepted: installed, and the install's own result.
        QTest::newRow("strings-and-numbers-on-ipad") << 1 << family << QVariant(QVariantList{QStringLiteral("x"), 2}) << -1003;
        QTest::newRow("no-family-is-an-iphone-app") << 0 << family << QVariant() << -1003;
        QTest::newRow("minimum-8.2.0-on-8.2") << 0 << minimum << QVariant(QStringLiteral("8.2.0")) << -1003;
    }
    void installRefusals()
    {
        QFETCH(int, profile);
        QFETCH(QString, kind);
        QFETCH(QVariant, value);
        QFETCH(int, result);
        start({profile}, false);
        VPackageBuilder builder(QStringLiteral("com.test.refused"));
        QString path = m_device->root() + QStringLiteral("/refused.ipa");
        if (kind == QLatin1String("badinfo"))
            builder.setRawInfoPlist("<?xml version=\"1.0\"?><plist><dict><key>broken");
        else if (kind.startsWith(QLatin1String("UI")) || kind.startsWith(QLatin1String("Minimum")))
            builder.setInfo(kind, value);   // an Info.plist key
        if (kind == QLatin1String("text"))
            QVERIFY(TestData::writeFile(path, "not a package"));
        else if (kind != QLatin1String("missing"))
            package(QStringLiteral("refused.ipa"), builder);
        TestData::clearDiagLog();
        RecordingTask task;
        QCOMPARE(m_handler->AppInstall(path.toUtf8(), &task), result);
        QCOMPARE(installedOnDevice(QStringLiteral("com.test.refused")), result == -1003);
        if (result == -1003)
            return;
        QVERIFY(staged().isEmpty());   // nothing reached the device
        QVERIFY(!TestData::diagLog().isEmpty());
    }

    void replaceKeepsTheInstalledAppUntilTheNewOneInstalls()
    {
        start({0}, false);
        VPackageBuilder v1(QStringLiteral("com.test.keep"));
        v1.setVersion(QStringLiteral("1.0")).setInfo(QStringLiteral("UIFileSharingEnabled"), true);
        RecordingTask first;
        QCOMPARE(m_handler->AppInstall(package(QStringLiteral("v1.ipa"), v1).toUtf8(), &first), -1003);
        const QString document = m_device->appsDir(0) + QStringLiteral("/com.test.keep/Documents/notes.txt");
        QVERIFY(TestData::writeFile(document, "precious"));

        VPackageBuilder v2(QStringLiteral("com.test.keep"));
        v2.setVersion(QStringLiteral("2.0")).setInfo(QStringLiteral("UIFileSharingEnabled"), true);
        const QByteArray v2path = package(QStringLiteral("v2.ipa"), v2).toUtf8();

        QSignalSpy removed(m_handler.get(), &AppHandler::data_itemremoved);
        QSignalSpy added(m_handler.get(), &AppHandler::data_itemadded);
        RecordingTask declined;
        declined.overwriteAnswer = false;
        QCOMPARE(m_handler->AppInstall(v2path, &declined), -1005);
        QCOMPARE(declined.overwriteAsked, 1);
        QCOMPARE(removed.count(), 0);
        QVERIFY(staged().isEmpty());

        // A broken upgrade leaves the installed app and its data alone.
        QVERIFY(m_device->fault(0, "com.apple.mobile.installation_proxy", "error", "APIInternalError"));
        TestData::clearDiagLog();
        RecordingTask failing;
        failing.overwriteAnswer = true;
        QCOMPARE(m_handler->AppInstall(v2path, &failing), -1008);
        QCOMPARE(failing.statusInfo().status, std::string(kDeviceErrorStatus));
        QCOMPARE(failing.statusInfo().error, std::string("Injected fault of the virtual device (APIInternalError)"));
        QVERIFY(TestData::diagLog().contains("the device refused: Injected fault"));
        QVERIFY(staged().isEmpty());
        QCOMPARE(removed.count(), 0);
        QVERIFY(QFile::exists(document));
        QCOMPARE(m_handler->items().value(QStringLiteral("com.test.keep")).version, QStringLiteral("1.0"));
        QVERIFY(m_device->ctl({"clear-faults", m_device->profile(0).udid.toStdString()}));

        RecordingTask accepted;
        accepted.overwriteAnswer = true;
        QCOMPARE(m_handler->AppInstall(v2path, &accepted), -1003);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(added.count(), 1);
        QCOMPARE(added.at(0).at(0).value<AppInfoItem>().version, QStringLiteral("2.0"));
        QCOMPARE(TestData::readFile(document), QByteArray("precious"));
    }

    void uninstall()
    {
        start();
        QCOMPARE(m_handler->Load(), 0);
        const QString victim = m_handler->items().firstKey();
        QSignalSpy removed(m_handler.get(), &AppHandler::data_itemremoved);
        RecordingTask task(AppTask::UninstallAppTask);
        QCOMPARE(m_handler->AppUninstall(victim.toUtf8(), &task), 0);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(QString::fromStdString(removed.at(0).at(0).value<std::string>()), victim);
        QVERIFY(!installedOnDevice(victim));
        QVERIFY(!m_handler->items().contains(victim));

        // A refused uninstall leaves the app listed and says nothing.
        const QString other = m_handler->items().firstKey();
        QVERIFY(m_device->fault(0, "com.apple.mobile.installation_proxy", "error", "APIInternalError"));
        QCOMPARE(m_handler->AppUninstall(other.toUtf8(), nullptr), -1008);
        QVERIFY(m_device->ctl({"clear-faults", m_device->profile(0).udid.toStdString()}));
        QCOMPARE(removed.count(), 1);
        QVERIFY(m_handler->items().contains(other));
        QVERIFY(installedOnDevice(other));
    }

    void droppedUploadLeavesNothing()
    {
        start({0}, false);
        QVERIFY(m_device->fault(0, "com.apple.afc", "drop", "1000000"));
        VPackageBuilder builder(QStringLiteral("com.test.dropped"));
        builder.setExecutableSize(4 * 1024 * 1024, true);
        RecordingTask task;
        const int rc = m_handler->AppInstall(package(QStringLiteral("dropped.ipa"), builder).toUtf8(), &task);
        QVERIFY(rc < 0 && rc != -1003);
        QVERIFY(task.sawStatus("Error", task.infos.empty() ? 0 : task.infos.back().percent));
        QVERIFY(!installedOnDevice(QStringLiteral("com.test.dropped")));
    }

    void smallPackagesThatUnpackBeyondTheFreeSpace()
    {
        // 48 MiB of saved data packs into a few hundred KB; the device has 20 MB.
        start({0}, false);
        QVERIFY(m_device->fault(0, "*", "freespace", QString::number(20 * 1000 * 1000).toStdString()));
        VPackageBuilder builder(QStringLiteral("com.test.bomb"));
        builder.setInfo(QStringLiteral("UIFileSharingEnabled"), true)
            .addContainerFile(QStringLiteral("Documents/big.bin"), QByteArray(48 * 1024 * 1024, '\0'));
        const QString pkg = package(QStringLiteral("bomb.ipa"), builder);
        QVERIFY(QFileInfo(pkg).size() < 1024 * 1024);
        RecordingTask task;
        QCOMPARE(m_handler->AppInstall(pkg.toUtf8(), &task), -1009);
        QVERIFY(!installedOnDevice(QStringLiteral("com.test.bomb")));
        QVERIFY(staged().isEmpty());

        // A store date that does not read is no date, not the year 2106.
        QVERIFY(m_device->deviceCtl(0, "clear-faults"));
        VPackageBuilder dated(QStringLiteral("com.test.dated"));
        dated.setMetadata({{QStringLiteral("itemName"), QStringLiteral("Dated")},
                           {QStringLiteral("purchaseDate"), QStringLiteral("not a date")},
                           {QStringLiteral("releaseDate"), QStringLiteral("2014-13-45T99:00:00Z")}});
        QCOMPARE(m_handler->AppInstall(package(QStringLiteral("dated.ipa"), dated).toUtf8(), nullptr), -1003);
        AppInfoItem item;
        QVERIFY(m_handler->item(QStringLiteral("com.test.dated"), &item));
        QCOMPARE(item.purchaseDate, qint64(0));
        QCOMPARE(item.releaseDate, qint64(0));
    }

    void tableIsSafeToReadWhileTheWorkerChangesIt()
    {
        start();
        std::atomic<bool> stop{false};
        std::atomic<int> reads{0};
        std::thread reader([&] {
            while (!stop) {
                const AppInfoItemMap map = m_handler->items();
                for (const AppInfoItem &item : map)
                    QVERIFY(!item.appId.isEmpty());
                AppInfoItem one;
                m_handler->item(QStringLiteral("com.test.stress"), &one);
                ++reads;
            }
        });
        VPackageBuilder builder(QStringLiteral("com.test.stress"));
        const QByteArray path = package(QStringLiteral("stress.ipa"), builder).toUtf8();
        for (int round = 0; round < 3; ++round) {
            QCOMPARE(m_handler->Load(), 0);
            RecordingTask install;
            install.overwriteAnswer = true;
            QCOMPARE(m_handler->AppInstall(path, &install), -1003);
            QCOMPARE(m_handler->AppUninstall("com.test.stress", nullptr), 0);
        }
        stop = true;
        reader.join();
        QVERIFY(reads > 10);
    }
};

QTEST_GUILESS_MAIN(TestAppHandler)
#include "tst_apphandler.moc"
