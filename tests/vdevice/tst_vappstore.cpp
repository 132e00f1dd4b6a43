// The virtual device's app store on disk: installs from packages (fresh,
// over an installed app, broken and hostile packages), archives, removal
// and the home-screen layout.

#include "VAppArchiver.h"
#include "VAppError.h"
#include "VAppInstaller.h"
#include "VAppLayout.h"
#include "VAppPlist.h"
#include "VAppStore.h"
#include "VPackageBuilder.h"
#include "VPackageReader.h"
#include "TestData.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <thread>
#include <vector>

namespace {

// Every path below root, relative, so tests can see what appeared.
QStringList tree(const QString &root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

} // namespace

class TestVAppStore : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir().mkpath(appsDir()));
        QVERIFY(QDir().mkpath(mediaDir()));
        m_store = std::make_unique<VAppStore>(appsDir());
    }

    void cleanup()
    {
        m_store.reset();
        m_dir.reset();
    }

    void sinfFromOptionsLandsInBundle()
    {
        VPackageBuilder builder(QStringLiteral("com.example.signed"));
        VAppInstaller::Options options;
        options.sinf = QByteArray("signature-bytes");
        QCOMPARE(install(builder, options), int(VAppError::None));
        QCOMPARE(m_store->sinf(QStringLiteral("com.example.signed")), QByteArray("signature-bytes"));
        QVERIFY(m_store->isStoreApp(QStringLiteral("com.example.signed")));
    }

    void mainBundleIsNotANestedOne()
    {
        // Bundles inside the main one (plug-ins, watch apps) are never the main one.
        VPackageBuilder builder(QStringLiteral("com.example.host"));
        builder.setName(QStringLiteral("Host"));
        const QString raw = QStringLiteral("Payload/Host.app/PlugIns/Share.appex/Info.plist");
        builder.addRawEntry(QStringLiteral("Payload/Host.app/Watch/Face.app/Info.plist"), QByteArray("<plist/>"))
            .addRawEntry(raw, QByteArray("<plist/>"));
        QString path = m_dir->filePath(QStringLiteral("nested.ipa"));
        QVERIFY(builder.write(path));
        VPackageReader reader(path);
        QCOMPARE(reader.open(), int(VAppError::None));
        QString bundle;
        QCOMPARE(reader.findMainBundle(&bundle), int(VAppError::None));
        QCOMPARE(bundle, QStringLiteral("Host.app"));
        QCOMPARE(install(builder), int(VAppError::None));
        QVERIFY(QFileInfo::exists(m_store->appDir(QStringLiteral("com.example.host")) + QStringLiteral("/Host.app/") + raw.mid(17)));
    }

    void overInstallKeepsData()
    {
        const QString id = QStringLiteral("com.example.keeper");
        VPackageBuilder first(id);
        first.setName(QStringLiteral("Keeper")).setVersion(QStringLiteral("1.0"))
            .setMetadata({{QStringLiteral("genre"), QStringLiteral("Old")}});
        QCOMPARE(install(first), int(VAppError::None));
        const QString document = m_store->appDir(id) + QStringLiteral("/Documents/diary.txt");
        QVERIFY(TestData::writeFile(document, "dear diary"));
        QVERIFY(TestData::writeFile(m_store->appDir(id) + QStringLiteral("/Library/Preferences/p.plist"), "<plist/>"));

        // The new version renames its bundle and brings no metadata.
        VPackageBuilder second(id);
        second.setName(QStringLiteral("Keeper2")).setVersion(QStringLiteral("2.0"));
        QCOMPARE(install(second), int(VAppError::None));
        QCOMPARE(TestData::readFile(document), QByteArray("dear diary"));
        QVERIFY(QFileInfo::exists(m_store->appDir(id) + QStringLiteral("/Library/Preferences/p.plist")));
        QCOMPARE(m_store->bundleFolder(id), QStringLiteral("Keeper2.app"));
        QVERIFY(!QFileInfo::exists(m_store->appDir(id) + QStringLiteral("/Keeper.app")));
        PlistPtr info = m_store->infoPlist(id);
        QCOMPARE(VAppPlist::string(info.get(), "CFBundleShortVersionString"), QStringLiteral("2.0"));
        PlistPtr metadata = VAppPlist::parse(m_store->metadata(id));
        QCOMPARE(VAppPlist::string(metadata.get(), "genre"), QStringLiteral("Old"));
        QCOMPARE(m_store->identifiers(), QStringList{id});
        QVERIFY(m_store->dynamicDiskUsage(id) >= 10);

        // A broken upgrade changes nothing.
        VPackageBuilder broken(id);
        broken.setName(QStringLiteral("Keeper3")).addRawEntry(QStringLiteral("Payload/Keeper3.app/../../x"), "x");
        QCOMPARE(install(broken), int(VAppError::PackageInspection));
        QCOMPARE(m_store->bundleFolder(id), QStringLiteral("Keeper2.app"));
        QCOMPARE(TestData::readFile(document), QByteArray("dear diary"));
    }

    void brokenPackagesLeaveNothing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("expected");
        QTest::newRow("not-a-zip") << "not-a-zip" << int(VAppError::PackageExtraction);
        QTest::newRow("missing-file") << "missing" << int(VAppError::PackageExtraction);
        QTest::newRow("no-payload") << "no-payload" << int(VAppError::PackageInspection);
        QTest::newRow("info-plist-garbage") << "garbage-info" << int(VAppError::PackageInspection);
        QTest::newRow("no-bundle-identifier") << "no-id" << int(VAppError::MissingBundleIdentifier);
        QTest::newRow("identifier-escapes") << "bad-id" << int(VAppError::MissingBundleIdentifier);
    }

    void brokenPackagesLeaveNothing()
    {
        QFETCH(QString, kind);
        QFETCH(int, expected);
        const QString path = m_dir->filePath(QStringLiteral("broken.ipa"));
        VPackageBuilder builder(QStringLiteral("com.example.broken"));
        if (kind == QLatin1String("not-a-zip"))
            QVERIFY(TestData::writeFile(path, QByteArray(5000, 'z')));
        else if (kind == QLatin1String("garbage-info"))
            builder.setRawInfoPlist("this is { not a plist");
        else if (kind == QLatin1String("no-id"))
            builder.setInfo(QStringLiteral("CFBundleIdentifier"), QVariant());
        else if (kind == QLatin1String("bad-id"))
            builder.setInfo(QStringLiteral("CFBundleIdentifier"), QStringLiteral("../../evil"));
        if (kind == QLatin1String("no-payload")) {
            // A package whose only Info.plist is not in a bundle.
            VPackageBuilder flat(QStringLiteral("com.example.broken"));
            flat.addRawEntry(QStringLiteral("Info.plist"), "<plist/>");
            QVERIFY(flat.write(path));
            int error = 0;
            zip_t *zip = zip_open(QFile::encodeName(path).constData(), 0, &error);
            QVERIFY(zip);
            for (zip_int64_t i = zip_get_num_entries(zip, 0) - 1; i >= 0; --i) {
                if (QByteArray(zip_get_name(zip, zip_uint64_t(i), 0)).startsWith("Payload/"))
                    zip_delete(zip, zip_uint64_t(i));
            }
            QCOMPARE(zip_close(zip), 0);
        } else if (kind != QLatin1String("not-a-zip") && kind != QLatin1String("missing")) {
            QVERIFY(builder.write(path));
        }
        VAppInstaller installer(*m_store, iPhone());
        QCOMPARE(installer.install(kind == QLatin1String("missing") ? path + QStringLiteral(".nope") : path, {}, {}),
                 expected);
        QCOMPARE(tree(appsDir()), QStringList());
    }

    // Large stored entries are copied straight from the package: whole, and
    // a changed byte is caught by the CRC with the installed app kept.
    void storedEntriesAreCheckedAndCopiedWhole()
    {
        const QString path = m_dir->filePath(QStringLiteral("stored.ipa"));
        VPackageBuilder builder(QStringLiteral("com.example.stored"));
        builder.setExecutableSize(300000, true);
        QVERIFY(builder.write(path));
        VAppInstaller installer(*m_store, iPhone());
        QCOMPARE(installer.install(path, {}, {}), int(VAppError::None));
        const QString executable = m_store->bundleDir(QStringLiteral("com.example.stored")) + QLatin1Char('/') + builder.executable();
        QByteArray expected;
        {
            VPackageReader reader(path);
            QCOMPARE(reader.open(), int(VAppError::None));
            QCOMPARE(reader.readEntry(QStringLiteral("Payload/") + builder.bundleFolder() + QLatin1Char('/') + builder.executable(),
                                      1 << 20, &expected),
                     int(VAppError::None));
        }
        QCOMPARE(expected.size(), 300000);
        QCOMPARE(TestData::readFile(executable), expected);

        QByteArray package = TestData::readFile(path);
        const qsizetype at = package.indexOf(expected.mid(150000, 64));
        QVERIFY(at > 0);
        package[at] = char(package[at] ^ 0x5a);
        QVERIFY(TestData::writeFile(path, package));
        QCOMPARE(installer.install(path, {}, {}), int(VAppError::PackageExtraction));
        QCOMPARE(TestData::readFile(executable), expected);
    }

    void hostileEntriesAreRefused_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("link");   // empty: a plain file entry
        QTest::newRow("dot-dot") << "Payload/Evil.app/../../../outside.txt" << QString();
        QTest::newRow("backslash-dot-dot") << "Payload/Evil.app/..\\..\\..\\outside.txt" << QString();
        QTest::newRow("link-out") << "Payload/Evil.app/out" << "../../../..";
        QTest::newRow("absolute-link") << "Payload/Evil.app/etc" << "/etc";
        QTest::newRow("write-through-link") << "Payload/Evil.app/dir" << ".";
        // x/y/s -> ../c is harmless alone; read through it, u climbs out.
        QTest::newRow("link-through-link") << "Payload/Evil.app/u" << "x/y/s/../../../..";
    }

    void hostileEntriesAreRefused()
    {
        QFETCH(QString, entry);
        QFETCH(QString, link);
        VPackageBuilder builder(QStringLiteral("com.example.evil"));
        builder.setName(QStringLiteral("Evil"));
        if (link.isEmpty()) {
            builder.addRawEntry(entry, "owned");
        } else {
            builder.addSymlink(entry, link);
            if (link == QLatin1String("."))
                builder.addRawEntry(entry + QStringLiteral("/through.txt"), "owned");
            if (link.startsWith(QLatin1String("x/y/s")))
                builder.addSymlink(QStringLiteral("Payload/Evil.app/x/y/s"), QStringLiteral("../c"));
        }
        const QStringList before = tree(m_dir->path());
        QCOMPARE(install(builder), int(VAppError::PackageInspection));
        QStringList after = tree(m_dir->path());
        after.removeAll(QStringLiteral("package.ipa"));
        QCOMPARE(after, before);
    }

    void linksInsideTheBundleAreKept()
    {
        VPackageBuilder builder(QStringLiteral("com.example.links"));
        builder.setName(QStringLiteral("Links")).addBundleFile(QStringLiteral("Versions/A/Res.txt"), "res")
            .addSymlink(QStringLiteral("Payload/Links.app/Current"), QStringLiteral("Versions/A"))
            .addSymlink(QStringLiteral("Payload/Links.app/Versions/Latest"), QStringLiteral("./A/Res.txt"));
        QCOMPARE(install(builder), int(VAppError::None));
        const QString bundle = m_store->bundleDir(QStringLiteral("com.example.links"));
        QCOMPARE(QFileInfo(bundle + QStringLiteral("/Current")).symLinkTarget(), bundle + QStringLiteral("/Versions/A"));
        QCOMPARE(TestData::readFile(bundle + QStringLiteral("/Versions/Latest")), QByteArray("res"));

        // Archives keep the link as a link.
        VAppArchiver archiver(*m_store, mediaDir());
        QCOMPARE(archiver.archive(QStringLiteral("com.example.links"), QString(), {}), int(VAppError::None));
        int error = 0;
        zip_t *zip = zip_open(QFile::encodeName(archiver.archivePath(QStringLiteral("com.example.links"))).constData(),
                              ZIP_RDONLY, &error);
        QVERIFY(zip);
        const zip_int64_t index = zip_name_locate(zip, "Payload/Links.app/Current", 0);
        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        QVERIFY(index >= 0);
        QCOMPARE(zip_file_get_external_attributes(zip, zip_uint64_t(index), 0, &opsys, &attributes), 0);
        zip_discard(zip);
        QCOMPARE(int((attributes >> 16) & S_IFMT), int(S_IFLNK));
    }

    void bundleFolderInstalls()
    {
        // A developer's .app folder as ideviceinstaller stages it.
        const QString staged = m_dir->filePath(QStringLiteral("staged/Dev.app"));
        QVERIFY(TestData::writeFile(staged + QStringLiteral("/Info.plist"),
                          "<plist><dict><key>CFBundleIdentifier</key><string>com.example.dev</string></dict></plist>"));
        QVERIFY(TestData::writeFile(staged + QStringLiteral("/Resources/a.txt"), "res"));
        QVERIFY(QFile::link(QStringLiteral("Resources"), staged + QStringLiteral("/Current")));
        VAppInstaller installer(*m_store, iPhone());
        QCOMPARE(installer.install(staged, {}, {}), int(VAppError::None));
        const QString bundle = m_store->bundleDir(QStringLiteral("com.example.dev"));
        QCOMPARE(TestData::readFile(bundle + QStringLiteral("/Current/a.txt")), QByteArray("res"));
        QVERIFY(QFileInfo(bundle + QStringLiteral("/Current")).isSymLink());

        // A link out of the folder refuses the whole install.
        QVERIFY(QFile::link(QStringLiteral("../../.."), staged + QStringLiteral("/Resources/up")));
        QCOMPARE(m_store->uninstall(QStringLiteral("com.example.dev")), int(VAppError::None));
        QCOMPARE(installer.install(staged, {}, {}), int(VAppError::PackageInspection));
        QVERIFY(!m_store->contains(QStringLiteral("com.example.dev")));
    }

    void uninstallAndSystemApps()
    {
        const QString id = QStringLiteral("com.example.gone");
        QCOMPARE(install(VPackageBuilder(id)), int(VAppError::None));
        QCOMPARE(m_store->uninstall(id), int(VAppError::None));
        QCOMPARE(tree(appsDir()), QStringList{QLatin1String(VAppStore::kLayoutFile)});   // nothing of it left
        QCOMPARE(m_store->uninstall(id), int(VAppError::UnknownApp));

        // A system app cannot be removed nor replaced.
        const QString system = QStringLiteral("com.apple.mobilesafari");
        QVERIFY(TestData::writeFile(m_store->appDir(system) + QStringLiteral("/Safari.app/Info.plist"),
                          "<plist><dict><key>CFBundleIdentifier</key><string>com.apple.mobilesafari</string></dict></plist>"));
        QVERIFY(VAppStore::writeRecord(m_store->appDir(system), QStringLiteral("System"), QStringLiteral("Safari.app")));
        QCOMPARE(m_store->applicationType(system), QStringLiteral("System"));
        QCOMPARE(m_store->uninstall(system), int(VAppError::UninstallProhibited));
        QCOMPARE(install(VPackageBuilder(system)), int(VAppError::InstallProhibited));
    }

    void concurrentInstallsShareTheStore()
    {
        // Connections install in parallel; each app and the layout must survive.
        constexpr int kApps = 6;
        QStringList packages;
        for (int i = 0; i < kApps; ++i) {
            const QString path = m_dir->filePath(QStringLiteral("p%1.ipa").arg(i));
            QVERIFY(VPackageBuilder(QStringLiteral("com.example.par%1").arg(i)).setExecutableSize(200000).write(path));
            packages << path;
        }
        std::vector<std::thread> threads;
        std::vector<int> results(kApps, -1000);
        for (int i = 0; i < kApps; ++i) {
            threads.emplace_back([&, i] {
                VAppStore store(appsDir());   // one store object per connection, as the services do
                VAppInstaller installer(store, iPhone());
                results[size_t(i)] = installer.install(packages[i], {}, {});
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(results, std::vector<int>(kApps, int(VAppError::None)));
        QCOMPARE(m_store->identifiers().size(), kApps);
        VAppLayout layout(*m_store);
        layout.load();
        QCOMPARE(layout.placed().size(), kApps);
        QCOMPARE(tree(appsDir()).filter(QStringLiteral(".staging")), QStringList());
    }

    void layoutReconcilesWithInstalledApps()
    {
        for (const char *id : {"com.example.a", "com.example.b", "com.example.c"})
            QCOMPARE(install(VPackageBuilder(QString::fromLatin1(id))), int(VAppError::None));
        VAppLayout layout(*m_store);
        layout.dock = {QStringLiteral("com.example.gone"), QStringLiteral("com.example.a")};
        VAppLayout::Item folder;
        folder.folderName = QStringLiteral("Work");
        folder.folderPages << QStringList{QStringLiteral("com.example.b"), QStringLiteral("com.example.a")};
        layout.pages = {{folder}};
        QVERIFY(layout.save());

        layout.load();
        QCOMPARE(layout.dock, QStringList{QStringLiteral("com.example.a")});
        QCOMPARE(layout.pages.first().first().folderPages.first(), QStringList{QStringLiteral("com.example.b")});
        QCOMPARE(layout.placed(), (QStringList{QStringLiteral("com.example.a"), QStringLiteral("com.example.b"),
                                              QStringLiteral("com.example.c")}));
        layout.remove(QStringLiteral("com.example.b"));
        QCOMPARE(layout.pages.size(), 1);   // the emptied folder is gone, c stays
        QCOMPARE(layout.pages.first().size(), 1);
    }

private:
    QString appsDir() const { return m_dir->filePath(QStringLiteral("device/apps")); }
    QString mediaDir() const { return m_dir->filePath(QStringLiteral("device/media")); }
    static VAppDeviceTraits iPhone() { return VAppDeviceTraits{QStringLiteral("8.2"), {1}}; }

    int install(const VPackageBuilder &builder, const VAppInstaller::Options &options = {},
                QStringList *statuses = nullptr, QString *id = nullptr)
    {
        const QString path = m_dir->filePath(QStringLiteral("package.ipa"));
        if (!builder.write(path))
            return -1000;
        VAppInstaller installer(*m_store, iPhone());
        return installer.install(path, options, [statuses](const char *status, int percent) {
            if (statuses)
                *statuses << QStringLiteral("%1:%2").arg(QLatin1String(status)).arg(percent);
        }, id);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<VAppStore> m_store;
};

QTEST_GUILESS_MAIN(TestVAppStore)
#include "tst_vappstore.moc"
