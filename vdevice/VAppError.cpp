#include "VAppError.h"

namespace VAppError {

namespace {
struct Entry {
    int code;
    const char *name;
    const char *description;
};

// Real devices report most failures of the app database (unknown app, file
// system trouble) as APIInternalError; the rest carry their own names.
constexpr Entry kEntries[] = {
    {UnknownApp, "APIInternalError", "The application is not installed."},
    {MissingApplicationIdentifier, "MissingApplicationIdentifier", "No application identifier given."},
    {MissingPackagePath, "MissingPackagePath", "No package path given."},
    {PackageExtraction, "PackageExtractionFailed", "The package could not be extracted."},
    {PackageInspection, "PackageInspectionFailed", "The package holds no valid application bundle."},
    {MissingBundleIdentifier, "MissingBundleIdentifier", "The bundle has no valid CFBundleIdentifier."},
    {DeviceFamilyNotSupported, "DeviceFamilyNotSupported", "The application does not support this device family."},
    {DeviceOSVersionTooLow, "DeviceOSVersionTooLow", "The application needs a newer iOS version."},
    {InstallProhibited, "InstallProhibited", "A system application cannot be replaced."},
    {UninstallProhibited, "UninstallProhibited", "A system application cannot be removed."},
    {ContainerCreation, "ContainerCreationFailed", "The application container could not be created."},
    {ArchiveFailed, "APIInternalError", "The archive could not be created."},
    {ArchiveDestruction, "ArchiveDestructionFailed", "The archive could not be removed."},
    {UnknownCommand, "UnknownCommand", "The command is not supported."},
    {MissingCommand, "MissingCommand", "No command given."},
    {TooLarge, "PackageExtractionFailed", "The package exceeds the allowed size."},
};

const Entry *find(int code)
{
    for (const Entry &entry : kEntries) {
        if (entry.code == code)
            return &entry;
    }
    return nullptr;
}
} // namespace

const char *name(int code)
{
    const Entry *entry = find(code);
    return entry ? entry->name : "APIInternalError";
}

const char *description(int code)
{
    const Entry *entry = find(code);
    return entry ? entry->description : "Internal error.";
}

} // namespace VAppError
