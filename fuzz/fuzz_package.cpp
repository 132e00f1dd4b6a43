// The package reader: an app package (zip) with its Info.plist, store
// metadata, signature, device tag and the Container entries an export
// with documents carries.

#include "AppPackage.h"
#include "FuzzInput.h"
#include "ipodzip.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// One file per fuzzing process, rewritten for every input.
const std::string &packagePath()
{
    static const std::string path = [] {
        const char *folder = std::getenv("TMPDIR");
        return std::string(folder && *folder ? folder : "/tmp") + "/fuzz_package."
            + std::to_string(getpid()) + ".ipa";
    }();
    return path;
}

int countEntry(const char *name, const char *, int length, uint64_t offset, int isDirectory, void *context)
{
    FUZZ_CHECK(name && length >= 0 && length <= kZipFolderBlockBytes);
    FUZZ_CHECK(!isDirectory || length == 0);
    // Names stay under the folder: nothing climbs out of it or is absolute.
    const std::string relative(name);
    FUZZ_CHECK(!relative.empty() && relative.front() != '/');
    size_t start = 0;
    while (start < relative.size()) {
        const size_t end = std::min(relative.find('/', start), relative.size());
        FUZZ_CHECK(relative.compare(start, end - start, "..") != 0);
        start = end + 1;
    }
    *static_cast<uint64_t *>(context) += uint64_t(length);
    (void)offset;
    return 0;
}

} // namespace

void fuzzCheckContext() {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *file = std::fopen(packagePath().c_str(), "wb");
    if (!file)
        return 0;
    const bool written = std::fwrite(data, 1, size, file) == size;
    std::fclose(file);
    if (!written)
        return 0;
    const char *path = packagePath().c_str();

    AppPackage package;
    if (package.read(QByteArray(path)) == 0) {
        FUZZ_CHECK(package.info() && !package.bundleId().empty());
        const int supported = package.isSupported("1,2", "12.5.7");
        FUZZ_CHECK(supported == 0 || supported == -1001 || supported == -1002);
    }
    for (const char *entry : {"Info.plist", "iTunesMetadata.plist", "Payload/"}) {
        char *bytes = nullptr;
        uint64_t length = 0;
        if (ipod_get_zip_file(path, entry, &bytes, &length) == 0) {
            FUZZ_CHECK(length <= kZipEntryMaxBytes);
            std::free(bytes);
        }
    }
    uint64_t total = 0;
    ipod_get_zip_Folder(path, "Container", countEntry, &total);
    ipod_zip_has_device_tag(path, "5d2b6578e8dfddbe15d8955db907d477eb7425df");
    return 0;
}
