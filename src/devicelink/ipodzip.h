#pragma once

// Reading entries of app packages (zip archives) and tagging them.
//
// Entry names are resolved as app packages hold them:
//  - "Info.plist"           the main bundle's Payload/<name>.app/Info.plist
//  - "iTunesMetadata.plist" the root entry
//  - "<CFBundleName>.sinf"  Payload/<name>.app/SC_Info/<CFBundleName>.sinf
//  - any other name         a root entry of that name (such as a device tag)

#include <cstdint>

// Upper bound for an entry read whole into memory.
constexpr uint64_t kZipEntryMaxBytes = 32ull * 1024 * 1024;
// Block size in which ipod_get_zip_Folder hands file contents out.
constexpr int kZipFolderBlockBytes = 65536;

// Receives one block of a file, or one directory, under the streamed folder.
// name is relative to that folder ("Documents/a.txt", directories end in "/").
// Return 0 to go on; any other value stops the walk and is passed back.
typedef int (*ZipFolderCallback)(const char *name, const char *data, int length,
                                 uint64_t offset, int isDirectory, void *context);

// 0 with a malloc'ed copy of the entry (free with free()), non-zero when the
// package cannot be read or holds no such entry, or the entry is too large.
int ipod_get_zip_file(const char *package, const char *entryName, char **data, uint64_t *length);
// Streams every entry under "<folder>/". 0 when done (also when there are
// none), -1 when the package cannot be read, else the callback's stop value.
int ipod_get_zip_Folder(const char *package, const char *folder, ZipFolderCallback callback,
                        void *context);
// The sum of the declared unpacked sizes of the entries under "<folder>/"
// (folder null: of every entry). 0 when read, -1 when the package cannot be.
int ipod_zip_unpacked_size(const char *package, const char *folder, uint64_t *total);
// Adds a root entry named deviceId in place, after the other entries (an
// entry of that name already there is kept). 0 on success. Exported
// packages are tagged with the device's UDID.
int ipod_zip_append(const char *archive, const char *deviceId);
// Whether the package carries the tag of the device with that UDID: a root
// entry named the UDID, or "<digits>-<UDID>" (the form of older exports,
// named after the device identifier with its usbmux number). 0 when it
// does, 1 when it does not, -1 when the package cannot be read.
int ipod_zip_has_device_tag(const char *package, const char *udid);
