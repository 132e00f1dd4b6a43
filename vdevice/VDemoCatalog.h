#pragma once

// The apps of the demo devices: a fixed, realistic mix (store apps of many
// genres, file-sharing apps with documents, system apps, an iPad-only app)
// and a generator of N numbered apps for benchmarks. Everything is derived
// from fixed data and indexes, so two runs give the same content.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariantMap>

struct VDemoApp
{
    QString identifier;
    QString name;
    QString shortVersion;
    QString bundleVersion;
    QString genre;
    int genreId = 6000;
    QString artist;
    qint64 executableBytes = 0;     // written as a sparse file
    QList<int> families{1, 2};
    QString minimumOs = QStringLiteral("7.0");
    bool system = false;
    bool fileSharing = false;
    QList<QPair<QString, QByteArray>> documents;   // Documents/<name>
    qint64 releaseDate = 0;         // seconds since 1970
    qint64 purchaseDate = 0;
    QString account;                // Apple ID that bought it
    bool datesAsStrings = false;    // ISO 8601 strings instead of date nodes
    bool accountNested = false;     // only in com.apple.iTunesStore.downloadInfo
    quint32 itemId = 0;
};

class VDemoCatalog
{
public:
    // The demo mix for a device whose UIDeviceFamily values are families.
    static QList<VDemoApp> demoApps(const QList<int> &families);
    // count numbered apps for benchmarks (every fifth shares files).
    static QList<VDemoApp> generatedApps(int count);

    // The iTunesMetadata.plist dictionary of a store app (QVariant form:
    // QDateTime values become date nodes).
    static QVariantMap metadata(const VDemoApp &app);
    // The Info.plist dictionary of an app.
    static QVariantMap infoPlist(const VDemoApp &app);
    // Deterministic signature bytes standing for an app's .sinf.
    static QByteArray sinf(const VDemoApp &app);

    // Home screen of the demo: dock identifiers and the games folder.
    static QStringList dock();
    static QString gamesFolderName();
    static QStringList gamesFolder();
};
