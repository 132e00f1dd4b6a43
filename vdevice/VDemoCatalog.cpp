#include "VDemoCatalog.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QTimeZone>

namespace {
constexpr qint64 kMiB = 1024 * 1024;

qint64 day(int year, int month, int dayOfMonth)
{
    return QDateTime(QDate(year, month, dayOfMonth), QTime(7, 0), QTimeZone::utc()).toSecsSinceEpoch();
}

QString iso(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()).toString(Qt::ISODate);
}

VDemoApp storeApp(const char *id, const char *name, const char *version, const char *genre, int genreId,
                  const char *artist, qint64 megabytes, qint64 released, qint64 purchased,
                  const char *account)
{
    VDemoApp app;
    app.identifier = QString::fromLatin1(id);
    app.name = QString::fromUtf8(name);
    app.shortVersion = QString::fromLatin1(version);
    app.bundleVersion = app.shortVersion + QStringLiteral(".0");
    app.genre = QString::fromUtf8(genre);
    app.genreId = genreId;
    app.artist = QString::fromUtf8(artist);
    app.executableBytes = megabytes * kMiB;
    app.releaseDate = released;
    app.purchaseDate = purchased;
    app.account = QString::fromLatin1(account);
    app.itemId = 284000000u + quint32(qHash(app.identifier) % 600000000u);
    return app;
}

QByteArray textFile(const char *text)
{
    return QByteArray(text);
}
} // namespace

QList<VDemoApp> VDemoCatalog::demoApps(const QList<int> &families)
{
    QList<VDemoApp> apps;
    VDemoApp notes = storeApp("com.northwind.pocketnotes", "Pocket Notes", "4.2.1", "Productivity", 6007,
                              "Northwind Software", 23, day(2014, 11, 3), day(2015, 1, 12), "anna.berg@example.com");
    notes.fileSharing = true;
    notes.documents = {{QStringLiteral("Meeting notes.txt"), textFile("Agenda\n1. Budget\n2. Launch date\n")},
                       {QStringLiteral("Shopping list.txt"), textFile("Milk\nBread\nCoffee\n")},
                       {QStringLiteral("Ideas.md"), textFile("# Ideas\n- travel journal\n- garden plan\n")}};
    apps << notes;

    VDemoApp maps = storeApp("com.hikeware.trailmaps", "Trail Maps", "2.8", "Navigation", 6010, "Hikeware GmbH",
                             48, day(2013, 6, 20), day(2014, 8, 2), "anna.berg@example.com");
    maps.datesAsStrings = true;
    apps << maps;

    VDemoApp paint = storeApp("com.brightside.pixelpaint", "Pixel Paint", "3.0.2", "Graphics & Design", 6027,
                              "Brightside Labs", 35, day(2014, 2, 14), day(2014, 3, 1), "jonas.k@example.net");
    paint.fileSharing = true;
    paint.accountNested = true;
    paint.documents = {{QStringLiteral("palette.json"), textFile("{\"colors\": [\"#ff6600\", \"#0066ff\"]}\n")},
                       {QStringLiteral("sketch.pxp"), QByteArray(180 * 1024, '\x5a')}};
    apps << paint;

    apps << storeApp("com.orbitlabs.starchart", "StarChart", "5.1", "Education", 6017, "Orbit Labs", 61,
                     day(2012, 9, 19), day(2013, 12, 24), "anna.berg@example.com");

    VDemoApp words = storeApp("com.puzzlebox.wordhunt", "Word Hunt", "1.9.4", "Games", 6014, "Puzzlebox Inc.", 88,
                              day(2014, 7, 7), day(2014, 7, 9), "jonas.k@example.net");
    words.datesAsStrings = true;
    words.accountNested = true;
    apps << words;

    VDemoApp budget = storeApp("com.ledgerly.budgetbook", "Budget Book", "2.3", "Finance", 6015, "Ledgerly Ltd",
                               12, day(2013, 1, 28), day(2014, 1, 2), "anna.berg@example.com");
    budget.fileSharing = true;
    budget.documents = {{QStringLiteral("2014.csv"), textFile("date,amount,category\n2014-01-03,-42.10,food\n")},
                        {QStringLiteral("2015.csv"), textFile("date,amount,category\n2015-01-05,1200.00,salary\n")}};
    apps << budget;

    VDemoApp reader = storeApp("com.docuread.readerpro", "Reader Pro", "6.0.1", "Books", 6018, "DocuRead",
                               41, day(2014, 9, 17), day(2014, 10, 30), "jonas.k@example.net");
    reader.fileSharing = true;
    reader.datesAsStrings = true;
    reader.documents = {{QStringLiteral("User Guide.pdf"),
                         QByteArray("%PDF-1.4\n% demo document\n") + QByteArray(64 * 1024, ' ') + "\n%%EOF\n"}};
    apps << reader;

    apps << storeApp("com.cloudcast.weathernow", "Weather Now", "3.4", "Weather", 6001, "Cloudcast", 18,
                     day(2011, 10, 12), day(2012, 5, 5), "anna.berg@example.com");
    apps << storeApp("com.kitchenapps.recipebox", "Recipe Box", "1.2", "Food & Drink", 6023, "Kitchen Apps",
                     27, day(2014, 4, 1), day(2014, 12, 20), "anna.berg@example.com");
    VDemoApp fit = storeApp("com.moveon.fittrack", "Fit Track", "7.12", "Health & Fitness", 6013, "MoveOn",
                            54, day(2014, 12, 1), day(2015, 2, 1), "jonas.k@example.net");
    fit.accountNested = true;
    apps << fit;
    apps << storeApp("com.knightmove.chess", "Chess Master", "2.0", "Games", 6014, "Knightmove", 73,
                     day(2010, 8, 30), day(2011, 2, 14), "anna.berg@example.com");
    VDemoApp memos = storeApp("com.soundbite.voicememos", "Voice Memos Plus", "1.5.2", "Utilities", 6002,
                              "Soundbite", 9, day(2013, 11, 11), day(2014, 6, 6), "anna.berg@example.com");
    memos.fileSharing = true;
    memos.documents = {{QStringLiteral("memo-001.m4a"), QByteArray(300 * 1024, '\x11')},
                       {QStringLiteral("memo-002.m4a"), QByteArray(120 * 1024, '\x22')}};
    apps << memos;
    apps << storeApp("com.citygo.metro", "Metro Transit", "4.0", "Travel", 6003, "CityGo", 31,
                     day(2014, 3, 3), day(2014, 9, 9), "jonas.k@example.net");
    VDemoApp draw = storeApp("com.littlehands.kidsdraw", "Kids Draw", "1.1", "Games", 6014, "Little Hands",
                             22, day(2014, 5, 5), day(2014, 5, 6), "anna.berg@example.com");
    draw.families = {2};
    draw.minimumOs = QStringLiteral("7.1");
    apps << draw;

    for (const auto &sys : {std::pair{"com.apple.mobilesafari", "Safari"}, {"com.apple.mobilemail", "Mail"},
                            {"com.apple.Preferences", "Settings"}, {"com.apple.mobileslideshow", "Photos"}}) {
        VDemoApp app;
        app.identifier = QString::fromLatin1(sys.first);
        app.name = QString::fromLatin1(sys.second);
        app.shortVersion = QStringLiteral("8.0");
        app.bundleVersion = QStringLiteral("600.1.4");
        app.system = true;
        app.executableBytes = 6 * kMiB;
        apps << app;
    }

    QList<VDemoApp> out;
    for (const VDemoApp &app : apps) {
        for (int family : app.families) {
            if (families.contains(family)) {
                out << app;
                break;
            }
        }
    }
    return out;
}

QList<VDemoApp> VDemoCatalog::generatedApps(int count)
{
    static const char *const genres[] = {"Games", "Productivity", "Utilities", "Education", "Entertainment",
                                         "Lifestyle", "Music", "Social Networking"};
    QList<VDemoApp> out;
    for (int i = 1; i <= count; ++i) {
        const QString number = QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'));
        VDemoApp app = storeApp("", "", "", genres[i % 8], 6000 + i % 20, "Bench Works",
                                0, day(2012, 1, 1) + qint64(i) * 86400, day(2014, 1, 1) + qint64(i) * 3600,
                                i % 2 ? "bench.one@example.com" : "bench.two@example.com");
        app.identifier = QStringLiteral("com.appshuttle.bench.app") + number;
        app.name = QStringLiteral("Bench App ") + number;
        app.shortVersion = QStringLiteral("1.%1").arg(i % 10);
        app.bundleVersion = QStringLiteral("%1").arg(100 + i);
        app.executableBytes = (64 + (i * 37) % 4000) * 1024;
        app.datesAsStrings = i % 3 == 0;
        app.accountNested = i % 4 == 0;
        app.itemId = 900000000u + quint32(i);
        if (i % 5 == 0) {
            app.fileSharing = true;
            app.documents = {{QStringLiteral("document-%1.txt").arg(number), QByteArray("bench document\n")}};
        }
        out << app;
    }
    return out;
}

QVariantMap VDemoCatalog::metadata(const VDemoApp &app)
{
    const auto date = [&app](qint64 seconds) -> QVariant {
        if (app.datesAsStrings)
            return iso(seconds);
        return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
    };
    QVariantMap accountInfo{{QStringLiteral("AppleID"), app.account},
                            {QStringLiteral("DSPersonID"), qint64(1000000000 + qHash(app.account) % 900000000)},
                            {QStringLiteral("FirstName"), app.account.section(QLatin1Char('.'), 0, 0)},
                            {QStringLiteral("LastName"), QStringLiteral("Example")}};
    QVariantMap downloadInfo{{QStringLiteral("accountInfo"), accountInfo},
                             {QStringLiteral("purchaseDate"), date(app.purchaseDate)}};
    QVariantMap meta{
        {QStringLiteral("artistName"), app.artist},
        {QStringLiteral("bundleShortVersionString"), app.shortVersion},
        {QStringLiteral("bundleVersion"), app.bundleVersion},
        {QStringLiteral("com.apple.iTunesStore.downloadInfo"), downloadInfo},
        {QStringLiteral("copyright"), QStringLiteral("© %1 %2").arg(QDateTime::fromSecsSinceEpoch(app.releaseDate).date().year()).arg(app.artist)},
        {QStringLiteral("fileExtension"), QStringLiteral(".app")},
        {QStringLiteral("genre"), app.genre},
        {QStringLiteral("genreId"), app.genreId},
        {QStringLiteral("itemId"), qint64(app.itemId)},
        {QStringLiteral("itemName"), app.name},
        {QStringLiteral("kind"), QStringLiteral("software")},
        {QStringLiteral("playlistName"), app.artist},
        {QStringLiteral("priceDisplay"), app.itemId % 3 ? QStringLiteral("Free") : QStringLiteral("$2.99")},
        {QStringLiteral("releaseDate"), date(app.releaseDate)},
        {QStringLiteral("s"), 143441},
        {QStringLiteral("softwareSupportedDeviceIds"), QVariantList(app.families.begin(), app.families.end())},
        {QStringLiteral("softwareVersionBundleId"), app.identifier},
        {QStringLiteral("softwareVersionExternalIdentifier"), qint64(800000000 + app.itemId % 100000)},
    };
    if (!app.accountNested) {
        meta.insert(QStringLiteral("appleId"), app.account);
        meta.insert(QStringLiteral("purchaseDate"), date(app.purchaseDate));
    }
    return meta;
}

QVariantMap VDemoCatalog::infoPlist(const VDemoApp &app)
{
    QString executable = app.name;
    executable.remove(QLatin1Char(' '));
    QVariantMap info{
        {QStringLiteral("CFBundleDevelopmentRegion"), QStringLiteral("en")},
        {QStringLiteral("CFBundleDisplayName"), app.name},
        {QStringLiteral("CFBundleExecutable"), executable},
        {QStringLiteral("CFBundleIconFiles"), QStringList{QStringLiteral("Icon.png"), QStringLiteral("Icon@2x.png")}},
        {QStringLiteral("CFBundleIdentifier"), app.identifier},
        {QStringLiteral("CFBundleInfoDictionaryVersion"), QStringLiteral("6.0")},
        {QStringLiteral("CFBundleName"), executable},
        {QStringLiteral("CFBundlePackageType"), QStringLiteral("APPL")},
        {QStringLiteral("CFBundleShortVersionString"), app.shortVersion},
        {QStringLiteral("CFBundleSupportedPlatforms"), QStringList{QStringLiteral("iPhoneOS")}},
        {QStringLiteral("CFBundleVersion"), app.bundleVersion},
        {QStringLiteral("MinimumOSVersion"), app.minimumOs},
        {QStringLiteral("UIDeviceFamily"), QVariantList(app.families.begin(), app.families.end())},
        {QStringLiteral("UIRequiredDeviceCapabilities"), QStringList{QStringLiteral("armv7")}},
    };
    if (app.fileSharing)
        info.insert(QStringLiteral("UIFileSharingEnabled"), true);
    return info;
}

QByteArray VDemoCatalog::sinf(const VDemoApp &app)
{
    // Not a real signature: fixed bytes derived from the app, with the
    // "sinf" atom header real signatures start with.
    QByteArray body = QCryptographicHash::hash(app.identifier.toUtf8(), QCryptographicHash::Sha256);
    body = body.repeated(40);
    QByteArray out(4, '\0');
    const quint32 size = quint32(body.size() + 8);
    out[0] = char(size >> 24);
    out[1] = char(size >> 16);
    out[2] = char(size >> 8);
    out[3] = char(size);
    return out + "sinf" + body;
}

QStringList VDemoCatalog::dock()
{
    return {QStringLiteral("com.apple.mobilesafari"), QStringLiteral("com.apple.mobilemail"),
            QStringLiteral("com.northwind.pocketnotes"), QStringLiteral("com.cloudcast.weathernow")};
}

QString VDemoCatalog::gamesFolderName()
{
    return QStringLiteral("Games");
}

QStringList VDemoCatalog::gamesFolder()
{
    return {QStringLiteral("com.puzzlebox.wordhunt"), QStringLiteral("com.knightmove.chess"),
            QStringLiteral("com.littlehands.kidsdraw")};
}
