#pragma once

// Demo and benchmark content of the virtual device. The daemon's --demo,
// --devices N and --apps N reach populate() through VDeviceFolder::populate
// (registered when the library is linked):
//
//   <state>/<udid>/...      devices from VDeviceFolder::defaultProfile(i):
//                           0 an older iPhone (iOS 8.2: every feature),
//                           1 a current iPad (iOS 17: no archives, no
//                           VendContainer for store apps), alternating
//   <state>/packages/       sample .ipa files to install (writeSamplePackages)
//
// With apps = -1 each device gets the demo mix (VDemoCatalog), with N >= 0
// N numbered apps. Content is deterministic.

#include <QString>
#include <QStringList>

struct VDemoApp;
struct VPopulateOptions;

class VDemo
{
public:
    static bool populate(const QString &stateDir, const VPopulateOptions &options, QString *error);

    // Fills <deviceDir>/apps for a device running families (1 iPhone, 2 iPad):
    // apps = -1 the demo mix with its home screen, else N generated apps.
    static bool populateApps(const QString &appsDir, const QList<int> &families, int apps, QString *error);

    // Writes one app folder the way an install leaves it.
    static bool writeApp(const QString &appsDir, const VDemoApp &app, QString *error);

    // The sample packages, returning their file names:
    //   Sample iPhone App.ipa        iPhone only, iOS 6.0
    //   Sample iPad App.ipa          iPad only (UIDeviceFamily [2])
    //   Sample Future App.ipa        needs iOS 99.0
    //   Sample Documents App.ipa     file sharing, with Container/Documents
    static QStringList writeSamplePackages(const QString &dir, QString *error);
};
