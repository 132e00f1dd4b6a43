// The virtual device's app services against Debian's real clients:
// ideviceinstaller for installation_proxy (and notification_proxy with -w),
// libimobiledevice's C API for house_arrest, springboardservices and paged
// Browse. Devices carry the demo apps: an iPhone on iOS 8.2 and an iPad on
// iOS 17. Lockdown sessions speak TLS; the "tls-services" rows put the
// services themselves in TLS (the "ssl" fault).

#include "TestData.h"
#include "VDemo.h"
#include "AfcClient.h"
#include "VPackageBuilder.h"

#include <libimobiledevice/house_arrest.h>
#include <libimobiledevice/installation_proxy.h>
#include <libimobiledevice/sbservices.h>
#include <plist/plist.h>

#include <QDir>
#include <QFile>
#include <QMutex>

#include <atomic>

namespace {

const QString kNotes = QStringLiteral("com.northwind.pocketnotes");   // store app, file sharing
const QString kMaps = QStringLiteral("com.hikeware.trailmaps");      // store app, no file sharing

QString stringOf(plist_t dict, const char *key)
{
    plist_t node = dict ? plist_dict_get_item(dict, key) : nullptr;
    char *value = nullptr;
    if (node && plist_get_node_type(node) == PLIST_STRING)
        plist_get_string_val(node, &value);
    const QString out = value ? QString::fromUtf8(value) : QString();
    free(value);
    return out;
}

// A house_arrest connection vended for one app; afc() is set after success.
class Vended
{
public:
    Vended(const QString &udid, const char *command, const QString &app)
    {
        if (idevice_new_with_options(&m_device, udid.toUtf8().constData(), IDEVICE_LOOKUP_USBMUX) != IDEVICE_E_SUCCESS
            || house_arrest_client_start_service(m_device, &m_client, "tst_vappservices") != HOUSE_ARREST_E_SUCCESS
            || house_arrest_send_command(m_client, command, app.toUtf8().constData()) != HOUSE_ARREST_E_SUCCESS)
            return;
        plist_t result = nullptr;
        if (house_arrest_get_result(m_client, &result) != HOUSE_ARREST_E_SUCCESS)
            return;
        error = stringOf(result, "Error");
        status = stringOf(result, "Status");
        plist_free(result);
        if (status == QLatin1String("Complete"))
            afc_client_new_from_house_arrest_client(m_client, &m_afc);
    }
    ~Vended()
    {
        if (m_afc)
            afc_client_free(m_afc);
        if (m_client)
            house_arrest_client_free(m_client);
        if (m_device)
            idevice_free(m_device);
    }
    afc_client_t afc() const { return m_afc; }
    house_arrest_client_t client() const { return m_client; }

    QByteArray read(const char *path, afc_error_t *rc)
    {
        QByteArray out;
        *rc = afcReadFile(m_afc, path, &out);
        return out;
    }

    QString error;
    QString status;

private:
    idevice_t m_device = nullptr;
    house_arrest_client_t m_client = nullptr;
    afc_client_t m_afc = nullptr;
};

struct BrowseLog
{
    QMutex mutex;
    QList<quint64> amounts;
    QStringList statuses;
    std::atomic<bool> done{false};
};

void onBrowseStatus(plist_t, plist_t status, void *context)
{
    auto *log = static_cast<BrowseLog *>(context);
    QMutexLocker locker(&log->mutex);
    plist_t amount = plist_dict_get_item(status, "CurrentAmount");
    uint64_t value = 0;
    if (amount)
        plist_get_uint_val(amount, &value);
    log->amounts << value;
    log->statuses << stringOf(status, "Status");
    if (log->statuses.last() == QLatin1String("Complete") || plist_dict_get_item(status, "Error"))
        log->done = true;
}

} // namespace

class TestVAppServices : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<DeviceFixture>(std::vector<int>{0, 1});
        QVERIFY2(m_fixture->ok(), qPrintable(m_fixture->error()));
        m_iPhone = m_fixture->profile(0).udid;
        m_iPad = VDeviceFolder::defaultProfile(1).udid;
        QString error;
        QVERIFY2(VDemo::populateApps(appsDir(m_iPhone), {1}, -1, &error), qPrintable(error));
        QVERIFY2(VDemo::populateApps(appsDir(m_iPad), {1, 2}, -1, &error), qPrintable(error));
        QCOMPARE(VDemo::writeSamplePackages(packagesDir(), &error).size(), 4);
    }

    void cleanup() { m_fixture.reset(); }

    void listsUserAndSystemApps()
    {
        QCOMPARE(installer(m_iPhone, "-l"), 0);
        QVERIFY(m_out.startsWith("CFBundleIdentifier, CFBundleVersion, CFBundleDisplayName\n"));
        QVERIFY(m_out.contains("com.northwind.pocketnotes, \"4.2.1.0\", \"Pocket Notes\"\n"));
        QVERIFY(!m_out.contains("com.apple.mobilesafari"));
        QVERIFY(!m_out.contains("com.littlehands.kidsdraw"));   // iPad only
        const int userApps = m_out.count('\n') - 1;

        QCOMPARE(installer(m_iPhone, "-l", "-o", "list_system"), 0);
        QCOMPARE(m_out.count('\n') - 1, 4);
        QVERIFY(m_out.contains("com.apple.mobilesafari"));

        QCOMPARE(installer(m_iPhone, "-l", "-o", "xml"), 0);
        plist_t apps = nullptr;
        plist_from_xml(m_out.constData(), uint32_t(m_out.size()), &apps);
        QVERIFY(apps && plist_get_node_type(apps) == PLIST_ARRAY);
        QCOMPARE(int(plist_array_get_size(apps)), userApps);
        bool sawMetadata = false;
        for (uint32_t i = 0; i < plist_array_get_size(apps); ++i) {
            plist_t app = plist_array_get_item(apps, i);
            if (stringOf(app, "CFBundleIdentifier") == kNotes)
                sawMetadata = plist_dict_get_item(app, "iTunesMetadata") && plist_dict_get_item(app, "ApplicationSINF");
        }
        plist_free(apps);
        QVERIFY(sawMetadata);
    }

    void browseIsPaged()
    {
        QString error;
        QVERIFY(VDemo::populateApps(appsDir(m_iPad), {1, 2}, 45, &error));
        idevice_t device = nullptr;
        instproxy_client_t client = nullptr;
        QCOMPARE(idevice_new_with_options(&device, m_iPad.toUtf8().constData(), IDEVICE_LOOKUP_USBMUX), IDEVICE_E_SUCCESS);
        QCOMPARE(instproxy_client_start_service(device, &client, "tst_vappservices"), INSTPROXY_E_SUCCESS);
        plist_t options = instproxy_client_options_new();
        instproxy_client_options_add(options, "ApplicationType", "User", nullptr);
        BrowseLog log;
        QCOMPARE(instproxy_browse_with_callback(client, options, onBrowseStatus, &log), INSTPROXY_E_SUCCESS);
        QTRY_VERIFY_WITH_TIMEOUT(log.done.load(), 20000);
        instproxy_client_options_free(options);
        instproxy_client_free(client);
        idevice_free(device);
        QMutexLocker locker(&log.mutex);
        // 45 generated apps plus the 14 demo user apps of an iPad.
        QCOMPARE(log.amounts, (QList<quint64>{20, 20, 19, 0}));
        QCOMPARE(log.statuses, (QStringList{QStringLiteral("BrowsingApplications"), QStringLiteral("BrowsingApplications"),
                                            QStringLiteral("BrowsingApplications"), QStringLiteral("Complete")}));
    }

    void installUpgradeUninstall_data() { servicesTlsRows(); }

    void installUpgradeUninstall()
    {
        QVERIFY(servicesTls());
        const QString id = QStringLiteral("com.appshuttle.sample.iphone");
        // -w also waits for notification_proxy's application_installed.
        QCOMPARE(installer(m_iPhone, "-w", "-i", package("Sample iPhone App.ipa")), 0);
        QVERIFY(m_out.contains("Install: CreatingStagingDirectory (5%)"));
        QVERIFY(m_out.contains("Install: Complete"));
        const QString app = appsDir(m_iPhone) + QLatin1Char('/') + id;
        QVERIFY(QFileInfo::exists(app + QStringLiteral("/Sample Phone.app/Info.plist")));
        QVERIFY(QFileInfo::exists(app + QStringLiteral("/iTunesMetadata.plist")));   // passed as an option
        QVERIFY(QFileInfo(app + QStringLiteral("/Documents")).isDir());
        // ideviceinstaller leaves its upload behind; the device keeps it too.
        QVERIFY(QFileInfo::exists(m_fixture->mediaDir(m_iPhone) + QStringLiteral("/PublicStaging/") + id));
        QCOMPARE(installer(m_iPhone, "-l"), 0);
        QVERIFY(m_out.contains("com.appshuttle.sample.iphone, \"1.2\", \"Sample Phone\""));

        QVERIFY(QFile(app + QStringLiteral("/Documents/keep.txt")).open(QIODevice::WriteOnly));
        QCOMPARE(installer(m_iPhone, "-g", package("Sample iPhone App.ipa")), 0);
        QVERIFY(m_out.contains("Upgrade: Complete"));
        QVERIFY(QFileInfo::exists(app + QStringLiteral("/Documents/keep.txt")));

        QCOMPARE(installer(m_iPhone, "-U", id), 0);
        QVERIFY(m_out.contains("Uninstall: Complete"));
        QVERIFY(!QFileInfo::exists(app));
        QCOMPARE(installer(m_iPhone, "-l"), 0);
        QVERIFY(!m_out.contains(id.toUtf8()));
    }

    void installRefusals_data()
    {
        QTest::addColumn<bool>("onIPad");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("error");   // empty: installs
        QTest::newRow("ipad-only-app-on-iphone") << false << "Sample iPad App.ipa" << "DeviceFamilyNotSupported";
        QTest::newRow("ipad-only-app-on-ipad") << true << "Sample iPad App.ipa" << QString();
        QTest::newRow("needs-newer-ios") << true << "Sample Future App.ipa" << "DeviceOSVersionTooLow";
        QTest::newRow("entry-escaping-the-bundle") << false << "hostile.ipa" << "PackageInspectionFailed";
    }

    void installRefusals()
    {
        QFETCH(bool, onIPad);
        QFETCH(QString, file);
        QFETCH(QString, error);
        if (file == QLatin1String("hostile.ipa")) {
            VPackageBuilder builder(QStringLiteral("com.example.hostile"));
            builder.setName(QStringLiteral("Hostile")).addRawEntry(QStringLiteral("Payload/Hostile.app/../../../../pwned"), "x");
            QVERIFY(builder.write(packagesDir() + QStringLiteral("/hostile.ipa")));
        }
        const QString udid = onIPad ? m_iPad : m_iPhone;
        const QStringList before = QDir(appsDir(udid)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        const int rc = installer(udid, "-i", package(file.toUtf8().constData()));
        if (error.isEmpty()) {
            QCOMPARE(rc, 0);
            return;
        }
        QCOMPARE(rc, 128);
        QVERIFY2(m_err.contains(QStringLiteral("Got error \"%1\"").arg(error).toUtf8()), m_err.constData());
        QCOMPARE(QDir(appsDir(udid)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
        QVERIFY(!QFileInfo::exists(m_fixture->stateDir() + QStringLiteral("/pwned")));
    }

    void archiveCopyListRemove_data() { servicesTlsRows(); }

    void archiveCopyListRemove()
    {
        QVERIFY(servicesTls());
        const QString copies = m_fixture->root() + QStringLiteral("/copies");
        QVERIFY(QDir().mkpath(copies));
        QCOMPARE(installer(m_iPhone, "-a", kNotes, "-o", QStringLiteral("copy=") + copies), 0);
        QVERIFY(m_out.contains("Archive: Complete"));
        const QStringList entries = TestData::zipEntries(copies + QLatin1Char('/') + kNotes + QStringLiteral(".ipa"));
        QVERIFY(entries.contains(QStringLiteral("Payload/PocketNotes.app/Info.plist")));
        QVERIFY(entries.contains(QStringLiteral("iTunesMetadata.plist")));
        QVERIFY(entries.contains(QStringLiteral("Container/Documents/Meeting notes.txt")));
        QVERIFY(QFileInfo::exists(appsDir(m_iPhone) + QLatin1Char('/') + kNotes));   // SkipUninstall

        QCOMPARE(installer(m_iPhone, "-L"), 0);
        QVERIFY(m_out.contains("Total: 1 archived apps\n"));
        QVERIFY(m_out.contains("com.northwind.pocketnotes - Pocket Notes 4.2.1.0"));
        QCOMPARE(installer(m_iPhone, "-R", kNotes), 0);
        QVERIFY(!QFileInfo::exists(m_fixture->mediaDir(m_iPhone) + QStringLiteral("/ApplicationArchives/") + kNotes + QStringLiteral(".zip")));
        QCOMPARE(installer(m_iPhone, "-L"), 0);
        QVERIFY(m_out.contains("Total: 0 archived apps"));

        // Application only.
        QCOMPARE(installer(m_iPhone, "-a", kMaps, "-o", "app_only", "-o", QStringLiteral("copy=") + copies), 0);
        const QString maps = copies + QLatin1Char('/') + kMaps + QStringLiteral(".ipa");
        QVERIFY(TestData::zipEntries(maps).contains(QStringLiteral("Payload/TrailMaps.app/Info.plist")));
        QVERIFY(TestData::zipEntries(maps).filter(QStringLiteral("Container/")).isEmpty());
        QCOMPARE(installer(m_iPhone, "-a", "com.example.none"), 128);
        QVERIFY(m_err.contains("APIInternalError"));
    }

    void archiveCommandsUnknownFromIos9()
    {
        QCOMPARE(installer(m_iPad, "-a", kNotes), 128);
        QVERIFY2(m_err.contains("Got error \"UnknownCommand\""), m_err.constData());
        QCOMPARE(installer(m_iPad, "-R", kNotes), 128);
        QVERIFY2(m_err.contains("Got error \"UnknownCommand\""), m_err.constData());
        // -L reports the library's code of UnknownCommand.
        QVERIFY(installer(m_iPad, "-L") != 0);
        QVERIFY2(m_err.contains("returned -42"), m_err.constData());
        QVERIFY(!QFileInfo::exists(m_fixture->mediaDir(m_iPad) + QStringLiteral("/ApplicationArchives")));
    }

    void houseArrestVendsContainers_data() { servicesTlsRows(); }

    void houseArrestVendsContainers()
    {
        QVERIFY(servicesTls());
        {
            Vended vended(m_iPhone, "VendContainer", kNotes);
            QCOMPARE(vended.status, QStringLiteral("Complete"));
            QVERIFY(vended.afc());
            afc_error_t rc = AFC_E_UNKNOWN_ERROR;
            const QByteArray metadata = vended.read("/iTunesMetadata.plist", &rc);
            QCOMPARE(rc, AFC_E_SUCCESS);
            QVERIFY(metadata.contains("Productivity"));
            QCOMPARE(vended.read("/Documents/Shopping list.txt", &rc), QByteArray("Milk\nBread\nCoffee\n"));
            uint64_t handle = 0;
            QCOMPARE(afc_file_open(vended.afc(), "/Documents/new.txt", AFC_FOPEN_WRONLY, &handle), AFC_E_SUCCESS);
            uint32_t written = 0;
            QCOMPARE(afc_file_write(vended.afc(), handle, "hello", 5, &written), AFC_E_SUCCESS);
            QCOMPARE(afc_file_close(vended.afc(), handle), AFC_E_SUCCESS);
            // After vending the connection speaks AFC only.
            QCOMPARE(house_arrest_send_command(vended.client(), "VendContainer", "x"), HOUSE_ARREST_E_INVALID_MODE);
        }
        QCOMPARE(TestData::readFile(appsDir(m_iPhone) + QLatin1Char('/') + kNotes + QStringLiteral("/Documents/new.txt")),
                 QByteArray("hello"));

        Vended documents(m_iPhone, "VendDocuments", kNotes);
        QCOMPARE(documents.status, QStringLiteral("Complete"));
        afc_error_t rc = AFC_E_SUCCESS;
        QCOMPARE(documents.read("/Documents/new.txt", &rc), QByteArray("hello"));
        documents.read("/iTunesMetadata.plist", &rc);
        QCOMPARE(rc, AFC_E_PERM_DENIED);

        Vended unknown(m_iPhone, "VendContainer", QStringLiteral("com.example.none"));
        QCOMPARE(unknown.error, QStringLiteral("ApplicationLookupFailed"));
        QVERIFY(!unknown.afc());
    }

    void houseArrestFromIos83_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("app");
        QTest::addColumn<QString>("error");
        QTest::newRow("container-of-store-app") << "VendContainer" << kNotes << "InstallationLookupFailed";
        QTest::newRow("documents-of-file-sharing-app") << "VendDocuments" << kNotes << QString();
        QTest::newRow("documents-without-file-sharing") << "VendDocuments" << kMaps << "InstallationLookupFailed";
        QTest::newRow("unknown-app") << "VendDocuments" << "com.example.none" << "ApplicationLookupFailed";
    }

    void houseArrestFromIos83()
    {
        QFETCH(QString, command);
        QFETCH(QString, app);
        QFETCH(QString, error);
        Vended vended(m_iPad, command.toLatin1().constData(), app);
        QCOMPARE(vended.error, error);
        QCOMPARE(vended.afc() != nullptr, error.isEmpty());
        if (vended.afc()) {
            afc_error_t rc = AFC_E_UNKNOWN_ERROR;
            QVERIFY(vended.read("/Documents/Ideas.md", &rc).startsWith("# Ideas"));
        }
    }

    void springboardHomeScreenAndIcons()
    {
        idevice_t device = nullptr;
        sbservices_client_t client = nullptr;
        QCOMPARE(idevice_new_with_options(&device, m_iPhone.toUtf8().constData(), IDEVICE_LOOKUP_USBMUX), IDEVICE_E_SUCCESS);
        QCOMPARE(sbservices_client_start_service(device, &client, "tst_vappservices"), SBSERVICES_E_SUCCESS);

        plist_t state = nullptr;
        QCOMPARE(sbservices_get_icon_state(client, &state, "2"), SBSERVICES_E_SUCCESS);
        QVERIFY(state && plist_get_node_type(state) == PLIST_ARRAY && plist_array_get_size(state) >= 2);
        plist_t dock = plist_array_get_item(state, 0);
        QCOMPARE(plist_array_get_size(dock), 4u);
        QCOMPARE(stringOf(plist_array_get_item(dock, 0), "displayIdentifier"), QStringLiteral("com.apple.mobilesafari"));
        QStringList folderApps;
        QString folderType;
        int placed = int(plist_array_get_size(dock));
        for (uint32_t p = 1; p < plist_array_get_size(state); ++p) {
            plist_t page = plist_array_get_item(state, p);
            for (uint32_t i = 0; i < plist_array_get_size(page); ++i) {
                plist_t item = plist_array_get_item(page, i);
                plist_t lists = plist_dict_get_item(item, "iconLists");
                if (!lists) {
                    ++placed;
                    continue;
                }
                folderType = stringOf(item, "listType");
                plist_t first = plist_array_get_item(lists, 0);
                for (uint32_t k = 0; k < plist_array_get_size(first); ++k, ++placed)
                    folderApps << stringOf(plist_array_get_item(first, k), "displayName");
            }
        }
        plist_free(state);
        QCOMPARE(folderType, QStringLiteral("folder"));
        QCOMPARE(folderApps, (QStringList{QStringLiteral("Word Hunt"), QStringLiteral("Chess Master")}));
        QCOMPARE(placed, 17);   // every app of the iPhone, system apps included

        char *png = nullptr;
        uint64_t size = 0;
        QCOMPARE(sbservices_get_icon_pngdata(client, kNotes.toUtf8().constData(), &png, &size), SBSERVICES_E_SUCCESS);
        QVERIFY(png && size > 8 && QByteArray(png, 8) == QByteArray("\x89PNG\r\n\x1a\n"));
        free(png);
        sbservices_interface_orientation_t orientation = SBSERVICES_INTERFACE_ORIENTATION_UNKNOWN;
        QCOMPARE(sbservices_get_interface_orientation(client, &orientation), SBSERVICES_E_SUCCESS);
        QCOMPARE(orientation, SBSERVICES_INTERFACE_ORIENTATION_PORTRAIT);
        sbservices_client_free(client);
        idevice_free(device);
    }

private:
    static void servicesTlsRows()
    {
        QTest::addColumn<bool>("tls");
        QTest::newRow("plain-services") << false;
        QTest::newRow("tls-services") << true;
    }
    // Puts every service of the iPhone in TLS when the row asks for it.
    bool servicesTls()
    {
        QFETCH(bool, tls);
        return !tls || m_fixture->fault(0, "*", "ssl");
    }

    QString appsDir(const QString &udid) const
    {
        return m_fixture->stateDir() + QLatin1Char('/') + udid + QStringLiteral("/apps");
    }
    QString packagesDir() const { return m_fixture->root() + QStringLiteral("/packages"); }
    QString package(const char *name) const { return packagesDir() + QLatin1Char('/') + QLatin1String(name); }

    static QString arg(const char *text) { return QString::fromUtf8(text); }
    static QString arg(const QString &text) { return text; }
    // ideviceinstaller -u udid args...; its output in m_out and m_err.
    template <typename... Args>
    int installer(const QString &udid, const Args &...args)
    {
        return DeviceFixture::run(QStringLiteral("ideviceinstaller"), {QStringLiteral("-u"), udid, arg(args)...}, &m_out, &m_err);
    }

    std::unique_ptr<DeviceFixture> m_fixture;
    QString m_iPhone;
    QString m_iPad;
    QByteArray m_out;
    QByteArray m_err;
};

QTEST_GUILESS_MAIN(TestVAppServices)
#include "tst_vappservices.moc"
