// appshuttle-cli against the virtual device: every command, its JSON, and
// the failures with their messages and exit codes.

#include "DeviceFixture.h"
#include "DiagLogText.h"
#include "TestData.h"
#include "VAppPlist.h"
#include "VPackageBuilder.h"
#include "VDemo.h"
#include "VServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

struct Result
{
    int code = -1;
    QString out;
    QString err;
};

QSet<QString> keysOf(const QJsonObject &object)
{
    const QStringList keys = object.keys();
    return QSet<QString>(keys.begin(), keys.end());
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeviceFixture> m_fixture;
    VDeviceProfile m_phone;
    QString m_packages;
    std::string m_ctlOutput;
    QString m_socket;   // another usbmuxd socket than the server's

    QString state() const { return m_fixture->stateDir(); }
    QString appDir(const QString &appId) const
    {
        return state() + QLatin1Char('/') + m_phone.udid + QStringLiteral("/apps/") + appId;
    }
    QString package(const char *name) const { return m_packages + QLatin1Char('/') + QString::fromUtf8(name); }

    void startCli(QProcess &process, const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("USBMUXD_SOCKET_ADDRESS"),
                   QStringLiteral("UNIX:") + (m_socket.isEmpty() ? m_fixture->socketPath() : m_socket));
        env.insert(QStringLiteral("TMPDIR"), m_fixture->root());
        env.insert(QStringLiteral("WINEPREFIX"), m_fixture->root() + QStringLiteral("/no-wine"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_fixture->root());
        process.start(qEnvironmentVariable("APPSHUTTLE_BIN_DIR") + QStringLiteral("/appshuttle-cli"), args);
    }
    static QString arg(const char *text) { return QString::fromUtf8(text); }
    static QString arg(const QString &text) { return text; }
    // cli("docs", app, "ls"): the arguments one by one.
    template <typename... Args>
    Result cli(const Args &...args) { return cli(QStringList {arg(args)...}); }
    Result cli(const QStringList &args)
    {
        QProcess process;
        startCli(process, args);
        Result r;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            r.err = QStringLiteral("timed out");
            return r;
        }
        r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        r.err = QString::fromLocal8Bit(process.readAllStandardError());
        return r;
    }
    // The iPad on iOS 17; without a serial number in its values when asked.
    bool addPad(QString *error, bool withoutSerial = false)
    {
        const VDeviceProfile pad = VDeviceFolder::defaultProfile(1);
        if (!VDeviceFolder::create(state(), pad, error))
            return false;
        if (withoutSerial) {
            const QString values = state() + QLatin1Char('/') + pad.udid + QStringLiteral("/values.plist");
            PlistPtr dict = VAppPlist::readFile(values);
            if (!dict)
                return false;
            plist_dict_remove_item(dict.get(), "SerialNumber");
            if (!VAppPlist::writeFile(values, dict.get()))
                return false;
        }
        return m_fixture->server().attach(pad.udid, error);
    }
    QStringList staged() const
    {
        return QDir(m_fixture->mediaDir(m_phone.udid) + QStringLiteral("/PublicStaging")).entryList(QDir::Files);
    }

private slots:
    void init()
    {
        // The iPhone with the demo apps, and the sample packages beside it.
        m_fixture.reset(new DeviceFixture({0}, true));
        QVERIFY2(m_fixture->ok(), qPrintable(m_fixture->error()));
        m_phone = m_fixture->profile(0);
        m_packages = m_fixture->root() + QStringLiteral("/packages");
        QDir().mkpath(m_packages);
        QString error;
        QVERIFY2(!VDemo::writeSamplePackages(m_packages, &error).isEmpty(), qPrintable(error));
    }
    void cleanup() { m_fixture.reset(); }

    void devicesInfoAndChoosingOne()
    {
        Result r = cli("devices");
        QCOMPARE(r.code, 0);
        const QString id = QStringLiteral("1-") + m_phone.udid;
        QCOMPARE(r.out, QStringList({id, m_phone.name, QStringLiteral("iPhone 5S"), m_phone.productVersion, m_phone.serialNumber})
                            .join(QLatin1Char('\t')) + QLatin1Char('\n'));

        r = cli("devices", "--json");
        QCOMPARE(r.code, 0);
        const QJsonArray devices = QJsonDocument::fromJson(r.out.toUtf8()).array();
        QCOMPARE(devices.size(), 1);
        const QJsonObject device = devices.at(0).toObject();
        QCOMPARE(keysOf(device), (QSet<QString>{QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("serialNumber"),
                                                QStringLiteral("firmwareVersion"), QStringLiteral("typeName"),
                                                QStringLiteral("familyCode")}));
        QCOMPARE(device.value(QStringLiteral("id")).toString(), id);
        QCOMPARE(device.value(QStringLiteral("serialNumber")).toString(), m_phone.serialNumber);

        r = cli("info", "--json");
        QCOMPARE(r.code, 0);
        const QJsonObject info = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(info.value(QStringLiteral("name")).toString(), m_phone.name);
        QCOMPARE(info.value(QStringLiteral("firmwareVersion")).toString(), m_phone.productVersion);
        const auto phone = m_fixture->server().device(m_phone.udid);
        QCOMPARE(info.value(QStringLiteral("freeBytes")).toDouble(), double(phone->freeBytes()));
        QCOMPARE(info.value(QStringLiteral("totalBytes")).toDouble(), double(phone->totalBytes()));
        r = cli("-d", m_phone.udid, "info");
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QStringLiteral("Serial number:    ") + m_phone.serialNumber));

        // Choosing one of several devices, and none.
        QString error;
        QVERIFY2(addPad(&error), qPrintable(error));
        r = cli("list");
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.startsWith(QStringLiteral("Several devices are connected; choose one with -d ID:")));
        r = cli("-d", "7-nothing", "list");
        QCOMPARE(r.code, 3);
        QCOMPARE(r.err, QStringLiteral("No connected device has the identifier \"7-nothing\".\n"));
        r = cli("devices");
        QCOMPARE(r.out.count(QLatin1Char('\n')), 2);

        QVERIFY(m_fixture->server().detach(m_phone.udid, &error));
        QVERIFY(m_fixture->server().detach(VDeviceFolder::defaultProfile(1).udid, &error));
        r = cli("info");
        QCOMPARE(r.code, 3);
        QCOMPARE(r.err, QStringLiteral("No device is connected.\n"));
        m_socket = m_fixture->root() + QStringLiteral("/nobody.sock");
        r = cli("list");
        m_socket.clear();
        QCOMPARE(r.code, 3);
        QCOMPARE(r.err, QStringLiteral("Cannot reach usbmuxd.\n"));

        for (const QStringList &bad : {QStringList{}, QStringList{QStringLiteral("frobnicate")},
                                       QStringList{QStringLiteral("export"), QStringLiteral("com.x")},
                                       QStringList{QStringLiteral("list"), QStringLiteral("--replace")},
                                       QStringList{QStringLiteral("--wait"), QStringLiteral("soon"), QStringLiteral("list")},
                                       QStringList{QStringLiteral("install")}}) {
            r = cli(bad);
            QCOMPARE(r.code, 2);
            QVERIFY(r.err.contains(QStringLiteral("usage: appshuttle-cli")));
        }
    }

    void listGivesEveryColumn()
    {
        // An app whose name holds a line end, a tab and an escape sequence.
        VPackageBuilder hostile(QStringLiteral("com.example.hostile"));
        hostile.setInfo(QStringLiteral("CFBundleDisplayName"), QStringLiteral("Two\nLines\tand \x1b[31mred"));
        QVERIFY(hostile.write(package("hostile.ipa")));
        QCOMPARE(cli("install", package("hostile.ipa")).code, 0);

        Result r = cli("list", "--json");
        QCOMPARE(r.code, 0);
        const QJsonArray apps = QJsonDocument::fromJson(r.out.toUtf8()).array();
        const QStringList installed = QDir(state() + QLatin1Char('/') + m_phone.udid + QStringLiteral("/apps"))
                                          .entryList({QStringLiteral("com.*")}, QDir::Dirs);
        QVERIFY(apps.size() > 3);
        QVERIFY(apps.size() <= installed.size());   // system apps are not listed
        QJsonObject memos;
        for (const QJsonValue &value : apps) {
            const QJsonObject app = value.toObject();
            QCOMPARE(keysOf(app), (QSet<QString>{QStringLiteral("appId"), QStringLiteral("name"), QStringLiteral("version"),
                                                 QStringLiteral("genre"), QStringLiteral("purchaseAccount"),
                                                 QStringLiteral("purchaseDate"), QStringLiteral("releaseDate"),
                                                 QStringLiteral("appSize"), QStringLiteral("documentSize"),
                                                 QStringLiteral("fileSharingEnabled"), QStringLiteral("documents")}));
            QVERIFY(installed.contains(app.value(QStringLiteral("appId")).toString()));
            if (app.value(QStringLiteral("appId")).toString() == QLatin1String("com.soundbite.voicememos"))
                memos = app;
        }
        QCOMPARE(memos.value(QStringLiteral("name")).toString(), QStringLiteral("Voice Memos Plus"));
        QVERIFY(memos.value(QStringLiteral("fileSharingEnabled")).toBool());
        QVERIFY(memos.value(QStringLiteral("purchaseDate")).toDouble() > 1e9);
        const QJsonArray docs = memos.value(QStringLiteral("documents")).toArray();
        QVERIFY(!docs.isEmpty());
        QCOMPARE(keysOf(docs.at(0).toObject()),
                 (QSet<QString>{QStringLiteral("name"), QStringLiteral("size"), QStringLiteral("modifiedTime")}));

        r = cli("list");
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), apps.size() + 1);
        for (const QString &line : lines)
            QCOMPARE(line.split(QLatin1Char('\t')).size(), 9);
        QVERIFY(!r.out.contains(QChar(0x1b)));
        QVERIFY(r.out.contains(QStringLiteral("com.example.hostile\tTwo\\nLines\\tand \\e[31mred\t")));
        QVERIFY(lines.first().startsWith(QStringLiteral("Bundle ID\tName\tPurchase Account\tPurchase Date\tGenre\tApp Size")));
    }

    void installAndItsFailures()
    {
        Result r = cli("install", package("Sample iPhone App.ipa"));
        // Packages made elsewhere carry no tag of this device: a warning only.
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.contains(QStringLiteral("warning: The app \"Sample iPhone App.ipa\" may not be normally opened.")));
        QVERIFY2(r.err.contains(QStringLiteral("Installing Sample iPhone App.ipa: 50%\n")), qPrintable(r.err));
        QVERIFY(QFileInfo::exists(appDir(QStringLiteral("com.appshuttle.sample.iphone"))));
        r = cli("list");
        QVERIFY(r.out.contains(QStringLiteral("com.appshuttle.sample.iphone\tSample Phone\t")));

        r = cli("install", package("Sample iPhone App.ipa"));
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QStringLiteral("The app file \"Sample iPhone App.ipa\" was not installed: the app is already on "
                                       "your device (--replace replaces it).\n"));
        r = cli("install", "--replace", package("Sample iPhone App.ipa"));
        QCOMPARE(r.code, 0);

        r = cli("install", package("Sample iPad App.ipa"), package("Sample Future App.ipa"));
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QStringLiteral(
                            "The app file \"Sample iPad App.ipa\" cannot be installed on your device because its kind "
                            "does not match with your device.\n"
                            "The app file \"Sample Future App.ipa\" cannot be installed on your device because it does "
                            "not support your iOS version.\n"));

        r = cli("install", m_fixture->root() + QStringLiteral("/missing.ipa"));
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.startsWith(QStringLiteral("Cannot read the file")));

        // The device refuses the upload of the package.
        QVERIFY(m_fixture->ctl({"fault", m_phone.udid.toStdString(), "com.apple.afc", "error", "23"}, &m_ctlOutput));
        r = cli("install", package("Sample Documents App.ipa"));
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.endsWith(QStringLiteral("Fail to install the app file \"Sample Documents App.ipa\" on your device.\n")),
                 qPrintable(r.err));

        // The device refuses the install itself (a system app is not
        // replaced), and says why.
        QVERIFY(m_fixture->ctl({"clear-faults", m_phone.udid.toStdString()}, &m_ctlOutput));
        const QString safari = m_fixture->root() + QStringLiteral("/safari.ipa");
        QVERIFY(VPackageBuilder(QStringLiteral("com.apple.mobilesafari")).write(safari));
        r = cli("install", safari);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.endsWith(QStringLiteral("Fail to install the app file \"safari.ipa\" on your device.\n"
                                               "  The device said: A system application cannot be replaced. (InstallProhibited)\n")),
                 qPrintable(r.err));
        QVERIFY(staged().isEmpty());
    }

    void uninstallAndExport()
    {
        const QString out = m_fixture->root() + QStringLiteral("/out");
        Result r = cli("export", "com.soundbite.voicememos", "com.citygo.metro", "--to", out);
        QCOMPARE(r.code, 0);
        QVERIFY(QFileInfo(out + QStringLiteral("/Voice Memos Plus 1.5.2.ipa")).size() > 0);
        QVERIFY(QFileInfo(out + QStringLiteral("/Metro Transit 4.0.ipa")).size() > 0);
        // Not a terminal: at most one line per 10 % step, rising to 100 %.
        QVERIFY(!r.err.contains(QLatin1Char('\r')));
        QList<int> steps;
        const QRegularExpression line(QStringLiteral("^Copying Voice Memos Plus: (\\d+)%$"));
        for (const QString &text : r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch m = line.match(text);
            if (m.hasMatch())
                steps << m.captured(1).toInt();
        }
        QVERIFY(!steps.isEmpty());
        QCOMPARE(steps.last(), 100);
        for (int i = 0; i < steps.size(); ++i) {
            QCOMPARE(steps.at(i) % 10, 0);
            if (i > 0)
                QVERIFY(steps.at(i) > steps.at(i - 1));
        }
        r = cli("export", "com.soundbite.voicememos", "--to", out, "--with-documents");
        QCOMPARE(r.code, 0);
        QVERIFY(QFileInfo::exists(out + QStringLiteral("/Voice Memos Plus 1.5.2(including documents).ipa")));

        r = cli("export-itunes", "com.citygo.metro");
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.endsWith(QStringLiteral("Fail to copy the app \"Metro Transit\" to iTunes.\n")));

        // Too little room on the device to archive the app.
        QVERIFY(m_fixture->ctl({"fault", m_phone.udid.toStdString(), "*", "freespace", "1000"}, &m_ctlOutput));
        r = cli("export", "com.citygo.metro", "--to", out);
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.endsWith(QStringLiteral(
            "Fail to copy the app \"Metro Transit\" to your computer. It may be caused by the following factors: 1) Your "
            "device is locked by passcode; 2) Your device doesn't have a free space bigger than the size of the app that is "
            "going to be exported.\n")));
        r = cli("install", package("Sample iPhone App.ipa"));
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QStringLiteral("Cannot add files. Insufficient space on your device.\n"));
        QVERIFY(m_fixture->ctl({"clear-faults", m_phone.udid.toStdString()}, &m_ctlOutput));

        r = cli("uninstall", "com.citygo.metro", "com.nope");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QStringLiteral("No app with the identifier \"com.nope\" is on the device.\n"));
        QVERIFY(QFileInfo::exists(appDir(QStringLiteral("com.citygo.metro"))));
        r = cli("uninstall", "com.citygo.metro");
        QCOMPARE(r.code, 0);
        QVERIFY(!QFileInfo::exists(appDir(QStringLiteral("com.citygo.metro"))));
        QVERIFY(!cli("list").out.contains(QStringLiteral("com.citygo.metro")));
    }

    void documents()
    {
        const QString app = QStringLiteral("com.soundbite.voicememos");
        const QString docsDir = appDir(app) + QStringLiteral("/Documents");
        Result r = cli("docs", app, "ls", "--json");
        QCOMPARE(r.code, 0);
        const QJsonArray before = QJsonDocument::fromJson(r.out.toUtf8()).array();
        QStringList onDevice = QDir(docsDir).entryList(QDir::Files);
        QCOMPARE(before.size(), onDevice.size());

        const QString local = m_fixture->root() + QStringLiteral("/note.txt");
        QVERIFY(TestData::writeFile(local, QByteArray(200000, 'n')));
        r = cli("docs", app, "add", local);
        QCOMPARE(r.code, 0);
        QCOMPARE(QFileInfo(docsDir + QStringLiteral("/note.txt")).size(), qint64(200000));
        r = cli("docs", app, "add", local);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QStringLiteral("The file \"note.txt\" was not added: a document of that name is already on your "
                                       "device (--replace replaces it).\n"));
        r = cli("docs", app, "add", "--replace", local);
        QCOMPARE(r.code, 0);
        r = cli("docs", app);
        QVERIFY(r.out.contains(QStringLiteral("note.txt\t195.31 KB\t")));

        const QString out = m_fixture->root() + QStringLiteral("/docs-out");
        r = cli("docs", app, "get", "note.txt", "--to", out);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(TestData::readFile(out + QStringLiteral("/note.txt")), QByteArray(200000, 'n'));
        r = cli("docs", app, "get", "nothing.txt", "--to", out);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QStringLiteral("No document named \"nothing.txt\" in the app.\n"));

        r = cli("docs", app, "rm", "note.txt");
        QCOMPARE(r.code, 0);
        QVERIFY(!QFileInfo::exists(docsDir + QStringLiteral("/note.txt")));
        r = cli("docs", app, "ls", "--json");
        QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).array(), before);

        // "--" ends the options, so a file or document may be called "-x".
        const QString dashed = QStringLiteral("-x");
        QVERIFY(TestData::writeFile(m_fixture->root() + QStringLiteral("/-x"), "dash"));
        QCOMPARE(cli("docs", app, "rm", dashed).code, 2);
        r = cli("docs", app, "add", "--", dashed);
        QCOMPARE(r.code, 0);
        QCOMPARE(TestData::readFile(docsDir + QStringLiteral("/-x")), QByteArray("dash"));
        r = cli("docs", app, "get", "--to", out, "--", dashed);
        QCOMPARE(r.code, 0);
        QCOMPARE(TestData::readFile(out + QStringLiteral("/-x")), QByteArray("dash"));
        r = cli("docs", app, "rm", "--", dashed);
        QCOMPARE(r.code, 0);
        QVERIFY(!QFileInfo::exists(docsDir + QStringLiteral("/-x")));

        r = cli("docs", "com.citygo.metro");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QStringLiteral("The app \"Metro Transit\" does not share documents.\n"));

        // A device that will not list the documents is no empty folder.
        QVERIFY(m_fixture->fault(0, "com.apple.mobile.house_arrest", "error", "InstallationLookupFailed"));
        const QString unreadable = QStringLiteral("The documents of the app \"Voice Memos Plus\" could not be read from your device.\n");
        r = cli("docs", app, "ls", "--json");
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.err, unreadable);
        r = cli("list", "--json");
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(unreadable));
        for (const QJsonValue &entry : QJsonDocument::fromJson(r.out.toUtf8()).array()) {
            const QJsonObject object = entry.toObject();
            QCOMPARE(object.value(QStringLiteral("documents")).isNull(), object.value(QStringLiteral("fileSharingEnabled")).toBool());
        }
    }

    // Every operation under every fault: a bounded end, no crash, the failure
    // said or the work done (as the device's state folder shows), nothing
    // partial left on either side, earlier files untouched, and the list
    // matching the device afterwards. A new fault kind is one row.
    void faultMatrix_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("arg");
        const char *proxy = "com.apple.mobile.installation_proxy", *afc = "com.apple.afc",
                   *arrest = "com.apple.mobile.house_arrest";
        const QList<QPair<const char *, const char *>> operations = {
            {"list", proxy}, {"install-upload", afc}, {"install-status", proxy}, {"replace", proxy},
            {"uninstall", proxy}, {"archive", proxy}, {"export-copy", afc}, {"export-documents", afc},
            {"doc-add", arrest}, {"doc-copy", arrest}, {"doc-delete", arrest}};
        const QList<QStringList> faults = {
            {QStringLiteral("drop-start"), QStringLiteral("drop"), QStringLiteral("0")},
            {QStringLiteral("drop-middle"), QStringLiteral("drop"), QStringLiteral("700")},
            {QStringLiteral("drop-end"), QStringLiteral("drop"), QStringLiteral("300000")},
            {QStringLiteral("error"), QStringLiteral("error"), QStringLiteral("APIInternalError")},
            {QStringLiteral("garbage"), QStringLiteral("garbage"), QString()},
            {QStringLiteral("hugelength"), QStringLiteral("hugelength"), QString()},
            {QStringLiteral("lowspace"), QStringLiteral("freespace"), QStringLiteral("100000")}};
        for (const auto &op : operations) {
            for (const QStringList &fault : faults) {
                QTest::newRow(qPrintable(QString::fromLatin1(op.first) + QLatin1Char('/') + fault[0]))
                    << QString::fromLatin1(op.first) << QString::fromLatin1(op.second) << fault[1] << fault[2];
            }
        }
    }
    void faultMatrix()
    {
        QFETCH(QString, operation);
        QFETCH(QString, service);
        QFETCH(QString, kind);
        QFETCH(QString, arg);
        const QString memos = QStringLiteral("com.soundbite.voicememos");
        const QString sample = QStringLiteral("com.appshuttle.sample.documents");
        const QString docs = appDir(memos) + QStringLiteral("/Documents");
        const QString out = m_fixture->root() + QStringLiteral("/out");
        QDir().mkpath(out);
        // What was there before: an earlier export and an earlier copy of a
        // document on the computer, and a document on the device.
        const QString exported = out + (operation == QLatin1String("export-documents")
                                            ? QStringLiteral("/Voice Memos Plus 1.5.2(including documents).ipa")
                                            : QStringLiteral("/Voice Memos Plus 1.5.2.ipa"));
        QVERIFY(TestData::writeFile(exported, "an earlier export"));
        QVERIFY(TestData::writeFile(out + QStringLiteral("/memo-001.m4a"), "an earlier copy"));
        const QString local = m_fixture->root() + QStringLiteral("/memo-001.m4a");
        QVERIFY(TestData::writeFile(local, QByteArray(400000, 'L')));
        const QByteArray deviceDoc = TestData::readFile(docs + QStringLiteral("/memo-001.m4a"));
        if (operation == QLatin1String("replace"))
            QCOMPARE(cli("install", package("Sample Documents App.ipa")).code, 0);
        const Result before = cli("list");
        QCOMPARE(before.code, 0);
        const int apps = before.out.count(QLatin1Char('\n')) - 1;

        QStringList args;
        if (operation == QLatin1String("list"))
            args = {QStringLiteral("list")};
        else if (operation.startsWith(QLatin1String("install")) || operation == QLatin1String("replace"))
            args = {QStringLiteral("install"), QStringLiteral("--replace"), package("Sample Documents App.ipa")};
        else if (operation == QLatin1String("uninstall"))
            args = {QStringLiteral("uninstall"), memos};
        else if (operation.startsWith(QLatin1String("export")) || operation == QLatin1String("archive"))
            args = {QStringLiteral("export"), memos, QStringLiteral("--to"), out};
        else if (operation == QLatin1String("doc-add"))
            args = {QStringLiteral("docs"), memos, QStringLiteral("add"), QStringLiteral("--replace"), local};
        else if (operation == QLatin1String("doc-copy"))
            args = {QStringLiteral("docs"), memos, QStringLiteral("get"), QStringLiteral("memo-001.m4a"), QStringLiteral("--to"), out};
        else
            args = {QStringLiteral("docs"), memos, QStringLiteral("rm"), QStringLiteral("memo-001.m4a")};
        if (operation == QLatin1String("export-documents"))
            args << QStringLiteral("--with-documents");
        QVERIFY(m_fixture->fault(0, service.toStdString(), kind.toStdString(), arg.toStdString()));

        QElapsedTimer clock;
        clock.start();
        const Result r = cli(args + QStringList{QStringLiteral("--wait"), QStringLiteral("0")});
        QVERIFY2(r.code == 0 || r.code == 1 || r.code == 3, qPrintable(QStringLiteral("exit %1: %2").arg(r.code).arg(r.err)));
        QVERIFY(clock.elapsed() < 45000);
        QVERIFY(m_fixture->deviceCtl(0, "clear-faults"));
        const bool done = r.code == 0;
        if (!done)
            QVERIFY2(!r.err.trimmed().isEmpty(), "a failure without a message");

        // Done, as the device shows it; or failed, with everything as it was.
        const bool memosThere = QFileInfo(appDir(memos)).isDir();
        if (operation == QLatin1String("list") && done)
            QCOMPARE(r.out, before.out);
        // A device that installed and then answered garbage leaves the app
        // installed and the install reported failed: the list says which.
        if (operation.startsWith(QLatin1String("install")) && done)
            QVERIFY(QFileInfo(appDir(sample)).isDir());
        if (operation == QLatin1String("replace"))
            QVERIFY(QFileInfo(appDir(sample)).isDir());
        if (operation == QLatin1String("uninstall"))
            QCOMPARE(memosThere, !done);
        else
            QVERIFY(memosThere);
        const bool exporting = operation.startsWith(QLatin1String("export")) || operation == QLatin1String("archive");
        if (!(exporting && done))
            QCOMPARE(TestData::readFile(exported), QByteArray("an earlier export"));
        else
            QVERIFY(TestData::zipEntries(exported).contains(m_phone.udid));
        if (!(operation == QLatin1String("doc-copy") && done))
            QCOMPARE(TestData::readFile(out + QStringLiteral("/memo-001.m4a")), QByteArray("an earlier copy"));
        else
            QCOMPARE(TestData::readFile(out + QStringLiteral("/memo-001.m4a")), deviceDoc);
        if (operation == QLatin1String("doc-add"))
            QCOMPARE(TestData::readFile(docs + QStringLiteral("/memo-001.m4a")), done ? QByteArray(400000, 'L') : deviceDoc);
        if (operation == QLatin1String("doc-delete"))
            QCOMPARE(QFileInfo::exists(docs + QStringLiteral("/memo-001.m4a")), !done);
        else if (operation != QLatin1String("doc-add") && memosThere)
            QCOMPARE(TestData::readFile(docs + QStringLiteral("/memo-001.m4a")), deviceDoc);

        // Nothing partial or temporary on either side.
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 2);
        for (const QString &name : QDir(docs).entryList(QDir::Files | QDir::Hidden))
            QVERIFY2(!name.startsWith(QLatin1Char('.')), qPrintable(name));
        QVERIFY(staged().isEmpty());
        QVERIFY(QDir(m_fixture->mediaDir(m_phone.udid) + QStringLiteral("/ApplicationArchives")).entryList(QDir::Files).isEmpty());

        // The list matches the device.
        const Result after = cli("list");
        QCOMPARE(after.code, 0);
        const int added = operation.startsWith(QLatin1String("install")) && QFileInfo(appDir(sample)).isDir() ? 1 : 0;
        const int removed = operation == QLatin1String("uninstall") && done ? 1 : 0;
        QCOMPARE(after.out.count(QLatin1Char('\n')) - 1, apps + added - removed);
    }

    void lockdownReplyThatDoesNotParse()
    {
        // The device is named as one that did not answer properly, at once,
        // rather than as missing after the whole wait for devices.
        QVERIFY(m_fixture->ctl({"fault", m_phone.udid.toStdString(), "com.apple.mobile.lockdown", "garbage"}, &m_ctlOutput));
        const QString message = QStringLiteral("The device %1 did not answer properly.\n").arg(m_phone.udid);
        QElapsedTimer clock;
        clock.start();
        Result r = cli("-d", m_phone.udid, "list");
        QCOMPARE(r.code, 3);
        QCOMPARE(r.err, message);
        r = cli("list");
        QCOMPARE(r.code, 3);
        QCOMPARE(r.err, message);
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    }

    void currentDevicesRefuseExportAndJsonStaysClean()
    {
        QString error;
        QVERIFY2(addPad(&error, true), qPrintable(error));
        const VDeviceProfile pad = VDeviceFolder::defaultProfile(1);
        // Whatever the device lacks, standard output holds the JSON alone.
        Result r = cli("devices", "--json");
        QCOMPARE(r.code, 0);
        QJsonParseError parsed;
        QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8(), &parsed).array().size(), 2);
        QCOMPARE(parsed.error, QJsonParseError::NoError);

        const QString refusal = QStringLiteral("Your device's iOS (%1) no longer allows copying apps to the computer. "
                                               "Apps can be copied only from devices with iOS 8 or earlier.\n")
                                    .arg(pad.productVersion);
        for (const QStringList &args : {QStringList{QStringLiteral("export"), QStringLiteral("com.any"), QStringLiteral("--to"),
                                                    m_fixture->root() + QStringLiteral("/out")},
                                        QStringList{QStringLiteral("export-itunes"), QStringLiteral("com.any")}}) {
            r = cli(QStringList{QStringLiteral("-d"), pad.udid} + args);
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.endsWith(refusal) && r.err.count(QStringLiteral("no longer allows")) == 1, qPrintable(r.err));
            QVERIFY(!r.err.contains(QStringLiteral("Copying")));
        }
        // The device, in this process, was asked to archive nothing.
        QVERIFY(!TestData::diagLog().contains("answering with"));
    }

    void sessionsEndingMidWorkEndClearly()
    {
        // A slow upload outlasts the device's idle limit on its lockdown
        // session: the install goes on over a fresh session.
        const std::string udid = m_phone.udid.toStdString();
        const QString big = m_fixture->root() + QStringLiteral("/big.ipa");
        QVERIFY(VPackageBuilder(QStringLiteral("com.test.big")).setExecutableSize(6 * 1024 * 1024, true).write(big));
        QVERIFY(m_fixture->ctl({"idle", udid, "0.3"}, &m_ctlOutput));
        QVERIFY(m_fixture->ctl({"fault", udid, "com.apple.afc", "delay", "120"}, &m_ctlOutput));
        Result r = cli("install", big);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(QFileInfo::exists(appDir(QStringLiteral("com.test.big"))));

        // Unplugged during the upload: a failure with its message, no signal.
        QProcess process;
        QSignalSpy said(&process, &QProcess::readyReadStandardError);
        startCli(process, {QStringLiteral("install"), QStringLiteral("--replace"), big});
        QByteArray err;
        while (!err.contains("%") && said.wait(20000))
            err += process.readAllStandardError();
        QVERIFY2(err.contains("%"), err.constData());
        QVERIFY(m_fixture->ctl({"detach", udid}, &m_ctlOutput));
        QVERIFY(process.waitForFinished(30000));
        err += process.readAllStandardError();
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(err.contains("Fail to install the app file \"big.ipa\" on your device."), err.constData());

        // Every service connection in TLS as well.
        QString error;
        QVERIFY2(m_fixture->server().attach(m_phone.udid, &error), qPrintable(error));
        QVERIFY(m_fixture->ctl({"clear-faults", udid}, &m_ctlOutput));
        QVERIFY(m_fixture->ctl({"fault", udid, "*", "ssl"}, &m_ctlOutput));
        r = cli("install", package("Sample Documents App.ipa"));
        QCOMPARE(r.code, 0);
        r = cli("docs", "com.appshuttle.sample.documents", "ls");
        QCOMPARE(r.code, 0);
        r = cli("uninstall", "com.test.big");
        QCOMPARE(r.code, 0);
        r = cli("list", "--json");
        QCOMPARE(r.code, 0);
        QVERIFY(QJsonDocument::fromJson(r.out.toUtf8()).array().size() > 3);
        QVERIFY(!r.out.contains(QStringLiteral("com.test.big")));
    }

    void waitsForTheUserToTrust()
    {
        const std::string udid = m_phone.udid.toStdString();
        QVERIFY(m_fixture->ctl({"untrust", udid}, &m_ctlOutput));
        Result r = cli("--wait", "0", "list");
        QCOMPARE(r.code, 3);
        QCOMPARE(r.err, QStringLiteral("Unlock the device and tap Trust on it\n"
                                       "The device %1 is locked or does not trust this computer.\n").arg(m_phone.udid));

        // Trusted while the command waits: the command goes on.
        QProcess process;
        QSignalSpy said(&process, &QProcess::readyReadStandardError);
        startCli(process, {QStringLiteral("--wait"), QStringLiteral("60"), QStringLiteral("list"), QStringLiteral("--json")});
        QByteArray err;
        while (!err.contains("tap Trust") && said.wait(20000))
            err += process.readAllStandardError();
        QVERIFY2(err.contains("Unlock the device and tap Trust on it\n"), err.constData());
        QVERIFY(m_fixture->ctl({"trust", udid}, &m_ctlOutput));
        QVERIFY(process.waitForFinished(90000));
        err += process.readAllStandardError();
        QVERIFY2(process.exitCode() == 0, err.constData());
        QCOMPARE(err.count("tap Trust"), 1);
        QVERIFY(QJsonDocument::fromJson(process.readAllStandardOutput()).array().size() > 3);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
