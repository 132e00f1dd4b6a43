// Demo and benchmark content of the virtual device, reached the way the
// daemon reaches it (VDeviceFolder::populate): devices, apps, home screen,
// sample packages, and the same bytes on every run.

#include "VAppPlist.h"
#include "VAppStore.h"
#include "VDemoCatalog.h"
#include "VDeviceFolder.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Path, size and a hash of the first 64 KiB of every file (executables are
// large sparse files).
QMap<QString, QByteArray> fingerprint(const QString &root)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray head = QCryptographicHash::hash(file.read(64 * 1024), QCryptographicHash::Sha1);
        out.insert(QDir(root).relativeFilePath(path), head + QByteArray::number(file.size()));
    }
    return out;
}

} // namespace

class TestVDemo : public QObject
{
    Q_OBJECT

private slots:
    void demoDevicesAppsAndPackages()
    {
        QTemporaryDir dir;
        VPopulateOptions options;
        options.demo = true;
        QString error;
        QVERIFY2(VDeviceFolder::populate(dir.path(), options, &error), qPrintable(error));
        QCOMPARE(VDeviceFolder::deviceDirs(dir.path()).size(), 2);

        // Which apps each device has, their icons, sizes and documents, the dock and
        // the folder are read through the real clients in tst_vappservices and by
        // the app service in tst_apphandler. Here: the mix the app's date and
        // account readers must handle is really there.
        VAppStore iPhone(dir.path() + QLatin1Char('/') + VDeviceFolder::defaultProfile(0).udid + QStringLiteral("/apps"));
        int dateNodes = 0, dateStrings = 0, topAccounts = 0, nestedOnly = 0, sharing = 0;
        for (const QString &id : iPhone.identifiers()) {
            if (iPhone.applicationType(id) == QLatin1String("System"))
                continue;
            PlistPtr meta = VAppPlist::parse(iPhone.metadata(id));
            QVERIFY2(meta, qPrintable(id));
            plist_t release = plist_dict_get_item(meta.get(), "releaseDate");
            (plist_get_node_type(release) == PLIST_DATE ? dateNodes : dateStrings)++;
            plist_t info = plist_dict_get_item(meta.get(), "com.apple.iTunesStore.downloadInfo");
            QVERIFY(!VAppPlist::string(plist_dict_get_item(info, "accountInfo"), "AppleID").isEmpty());
            (plist_dict_get_item(meta.get(), "appleId") ? topAccounts : nestedOnly)++;
            sharing += iPhone.isFileSharingEnabled(id) ? 1 : 0;
        }
        QVERIFY(dateNodes > 0 && dateStrings > 0 && topAccounts > 0 && nestedOnly > 0 && sharing >= 3);
        QCOMPARE(QDir(dir.path() + QStringLiteral("/packages")).entryList(QDir::Files).size(), 4);
    }

    void contentIsDeterministic_data()
    {
        QTest::addColumn<int>("apps");
        QTest::newRow("demo-mix") << -1;
        QTest::newRow("generated-apps") << 12;
    }

    void contentIsDeterministic()
    {
        QFETCH(int, apps);
        QTemporaryDir first;
        QTemporaryDir second;
        VPopulateOptions options;
        options.devices = 3;
        options.apps = apps;
        QString error;
        QVERIFY2(VDeviceFolder::populate(first.path(), options, &error), qPrintable(error));
        QVERIFY2(VDeviceFolder::populate(second.path(), options, &error), qPrintable(error));
        const auto a = fingerprint(first.path());
        QVERIFY(a.size() > 50);
        QCOMPARE(a, fingerprint(second.path()));
        QCOMPARE(VDeviceFolder::deviceDirs(first.path()).size(), 3);
        if (apps > 0) {
            VAppStore store(VDeviceFolder::deviceDirs(first.path()).first() + QStringLiteral("/apps"));
            QCOMPARE(store.identifiers().size(), apps);
        }
    }
};

QTEST_GUILESS_MAIN(TestVDemo)
#include "tst_vdemo.moc"
