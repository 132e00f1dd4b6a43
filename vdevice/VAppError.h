#pragma once

// Result codes of the virtual device's app store and the names under which
// installation_proxy reports them ("Error" of a status message), as real
// devices spell them. 0 is success; every failure is negative.

namespace VAppError {

enum Code : int {
    None = 0,
    UnknownApp = -1,              // no installed app of that identifier
    MissingApplicationIdentifier = -2,
    MissingPackagePath = -3,
    PackageExtraction = -4,       // the staged package is missing or not a zip
    PackageInspection = -5,       // no main bundle, no readable Info.plist, unsafe entries
    MissingBundleIdentifier = -6,
    DeviceFamilyNotSupported = -7,
    DeviceOSVersionTooLow = -8,
    InstallProhibited = -9,       // would replace a system app
    UninstallProhibited = -10,    // a system app
    ContainerCreation = -11,      // local file system failure while installing
    ArchiveFailed = -12,          // the archive could not be written
    ArchiveDestruction = -13,     // an archive could not be removed
    UnknownCommand = -14,
    MissingCommand = -15,
    TooLarge = -16,               // the package exceeds the store's bounds
};

// The device's error name for a code ("PackageInspectionFailed", ...).
const char *name(int code);
// A short English description sent as "ErrorDescription".
const char *description(int code);

} // namespace VAppError
