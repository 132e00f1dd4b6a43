#include "VDemo.h"

#include "VAppIcon.h"
#include "VAppLayout.h"
#include "VAppPlist.h"
#include "VAppStore.h"
#include "VDemoCatalog.h"
#include "VDeviceFolder.h"
#include "VPackageBuilder.h"

#include <QDir>
#include <QFile>

namespace {
// The daemon finds demo content through this hook.
const bool registered = [] {
    VDeviceFolder::setPopulator(&VDemo::populate);
    return true;
}();

bool writePlist(const QString &path, const QVariantMap &map)
{
    PlistPtr node = makePlistPtr(VAppPlist::fromVariant(map));
    return VAppPlist::writeFile(path, node.get());
}
} // namespace

bool VDemo::writeApp(const QString &appsDir, const VDemoApp &app, QString *error)
{
    const QString dir = appsDir + QLatin1Char('/') + app.identifier;
    const QVariantMap info = VDemoCatalog::infoPlist(app);
    const QString executable = info.value(QStringLiteral("CFBundleExecutable")).toString();
    const QString bundleName = executable + QStringLiteral(".app");
    const QString bundle = dir + QLatin1Char('/') + bundleName;
    QDir root;
    bool ok = root.mkpath(bundle) && writePlist(bundle + QStringLiteral("/Info.plist"), info);
    const quint32 seed = quint32(qHash(app.identifier));
    ok = ok && VAppPlist::writeBytes(bundle + QStringLiteral("/Icon.png"), VAppIcon::render(seed, 57))
        && VAppPlist::writeBytes(bundle + QStringLiteral("/Icon@2x.png"), VAppIcon::render(seed, 114));
    // A sparse file: the app has its size without taking the disk space.
    QFile binary(bundle + QLatin1Char('/') + executable);
    ok = ok && binary.open(QIODevice::WriteOnly) && binary.write("\xcf\xfa\xed\xfe", 4) == 4
        && binary.resize(std::max<qint64>(app.executableBytes, 4));
    binary.close();
    ok = ok && VAppStore::writeRecord(dir, app.system ? QStringLiteral("System") : QStringLiteral("User"), bundleName);
    if (!app.system) {
        ok = ok && root.mkpath(bundle + QStringLiteral("/SC_Info"))
            && VAppPlist::writeBytes(bundle + QStringLiteral("/SC_Info/") + executable + QStringLiteral(".sinf"),
                          VDemoCatalog::sinf(app))
            && writePlist(dir + QLatin1Char('/') + QLatin1String(VAppStore::kMetadataFile),
                          VDemoCatalog::metadata(app))
            && root.mkpath(dir + QStringLiteral("/Documents")) && root.mkpath(dir + QStringLiteral("/Library/Preferences"))
            && root.mkpath(dir + QStringLiteral("/Library/Caches")) && root.mkpath(dir + QStringLiteral("/tmp"));
        const QVariantMap prefs{{QStringLiteral("launchCount"), 12}, {QStringLiteral("onboardingDone"), true}};
        ok = ok && writePlist(dir + QStringLiteral("/Library/Preferences/") + app.identifier + QStringLiteral(".plist"), prefs);
    }
    for (const auto &document : app.documents)
        ok = ok && VAppPlist::writeBytes(dir + QStringLiteral("/Documents/") + document.first, document.second);
    if (!ok && error)
        *error = QStringLiteral("cannot write the demo app %1").arg(app.identifier);
    return ok;
}

bool VDemo::populateApps(const QString &appsDir, const QList<int> &families, int apps, QString *error)
{
    const QList<VDemoApp> list = apps < 0 ? VDemoCatalog::demoApps(families) : VDemoCatalog::generatedApps(apps);
    for (const VDemoApp &app : list) {
        if (!writeApp(appsDir, app, error))
            return false;
    }
    VAppStore store(appsDir);
    VAppLayout layout(store);
    if (apps < 0) {
        layout.dock = VDemoCatalog::dock();
        VAppLayout::Item folder;
        folder.folderName = VDemoCatalog::gamesFolderName();
        folder.folderPages << VDemoCatalog::gamesFolder();
        layout.pages << QList<VAppLayout::Item>{folder};
        layout.save();
    }
    layout.load();   // drops what this device lacks, places the rest
    if (!layout.save()) {
        if (error)
            *error = QStringLiteral("cannot write the home screen of %1").arg(appsDir);
        return false;
    }
    return true;
}

QStringList VDemo::writeSamplePackages(const QString &dir, QString *error)
{
    QStringList written;
    if (!QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(dir);
        return written;
    }
    const QVariantMap meta{{QStringLiteral("itemName"), QStringLiteral("Sample")},
                           {QStringLiteral("genre"), QStringLiteral("Utilities")},
                           {QStringLiteral("appleId"), QStringLiteral("sample@example.com")},
                           {QStringLiteral("releaseDate"), QStringLiteral("2014-06-02T07:00:00Z")},
                           {QStringLiteral("purchaseDate"), QStringLiteral("2014-06-03T10:30:00Z")}};
    struct Sample
    {
        QString file;
        VPackageBuilder builder;
    };
    QList<Sample> samples;
    samples << Sample{QStringLiteral("Sample iPhone App.ipa"),
                      VPackageBuilder(QStringLiteral("com.appshuttle.sample.iphone"))};
    samples.last().builder.setName(QStringLiteral("Sample Phone")).setVersion(QStringLiteral("1.2"))
        .setMetadata(meta).setSinf(QByteArray("sinf-sample-iphone")).setExecutableSize(512 * 1024);
    samples << Sample{QStringLiteral("Sample iPad App.ipa"), VPackageBuilder(QStringLiteral("com.appshuttle.sample.ipad"))};
    samples.last().builder.setName(QStringLiteral("Sample Tablet")).setVersion(QStringLiteral("2.0"))
        .setInfo(QStringLiteral("UIDeviceFamily"), QVariantList{2}).setMetadata(meta);
    samples << Sample{QStringLiteral("Sample Future App.ipa"), VPackageBuilder(QStringLiteral("com.appshuttle.sample.future"))};
    samples.last().builder.setName(QStringLiteral("Sample Future")).setVersion(QStringLiteral("3.0"))
        .setInfo(QStringLiteral("MinimumOSVersion"), QStringLiteral("99.0"))
        .setInfo(QStringLiteral("UIDeviceFamily"), QVariantList{1, 2});
    samples << Sample{QStringLiteral("Sample Documents App.ipa"), VPackageBuilder(QStringLiteral("com.appshuttle.sample.documents"))};
    samples.last().builder.setName(QStringLiteral("Sample Docs")).setVersion(QStringLiteral("1.0.3"))
        .setInfo(QStringLiteral("UIDeviceFamily"), QVariantList{1, 2})
        .setInfo(QStringLiteral("UIFileSharingEnabled"), true).setMetadata(meta).setBinaryInfoPlist(true)
        .addContainerFile(QStringLiteral("Documents/Welcome.txt"), QByteArray("Welcome to the sample documents app.\n"))
        .addContainerFile(QStringLiteral("Documents/Reports/2014.csv"), QByteArray("month,total\n1,10\n2,12\n"))
        .addContainerFile(QStringLiteral("Library/Preferences/com.appshuttle.sample.documents.plist"),
                          VAppPlist::toXml(makePlistPtr(plist_new_dict()).get()));
    for (const Sample &sample : samples) {
        if (!sample.builder.write(dir + QLatin1Char('/') + sample.file, error))
            return QStringList();
        written << sample.file;
    }
    return written;
}

bool VDemo::populate(const QString &stateDir, const VPopulateOptions &options, QString *error)
{
    QString ignored;
    QString *why = error ? error : &ignored;
    for (int i = 0; i < options.devices; ++i) {
        const VDeviceProfile profile = VDeviceFolder::defaultProfile(i);
        if (!VDeviceFolder::create(stateDir, profile, why))
            return false;
        const QList<int> families = profile.deviceClass == QLatin1String("iPad") ? QList<int>{1, 2} : QList<int>{1};
        if (!populateApps(stateDir + QLatin1Char('/') + profile.udid + QStringLiteral("/apps"), families,
                          options.apps, why))
            return false;
    }
    return !writeSamplePackages(stateDir + QStringLiteral("/packages"), why).isEmpty();
}
