// App package access over libzip. Packages come from anywhere: every size is
// bounded before it is allocated and every read is checked.

#include "ipodzip.h"

#include "DiagLog.h"
#include "ZipTagAppend.h"

#include <zip.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using ZipPtr = std::unique_ptr<zip_t, decltype(&zip_discard)>;
using ZipFilePtr = std::unique_ptr<zip_file_t, decltype(&zip_fclose)>;

// The package, or null after a log entry.
ZipPtr openPackage(const char *package, int flags)
{
    int error = 0;
    zip_t *archive = package ? zip_open(package, flags, &error) : nullptr;
    if (!archive)
        DIAG_LOG("package does not open as a zip archive");
    return ZipPtr(archive, &zip_discard);
}

bool startsWith(const std::string &s, const std::string &prefix)
{
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string &s, const std::string &suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// "Payload/<name>.app/" of the main bundle: the first .app folder directly
// under Payload (frameworks, plug-ins and watch apps sit deeper).
std::string mainBundlePrefix(zip_t *archive)
{
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!raw)
            continue;
        const std::string name(raw);
        if (!startsWith(name, "Payload/"))
            continue;
        const size_t end = name.find('/', 8);
        if (end == std::string::npos)
            continue;
        const std::string bundle = name.substr(0, end + 1);
        if (endsWith(bundle, ".app/") && bundle.size() > 13)
            return bundle;
    }
    return std::string();
}

std::string resolveEntry(zip_t *archive, const std::string &entryName)
{
    if (entryName == "Info.plist") {
        const std::string bundle = mainBundlePrefix(archive);
        return bundle.empty() ? std::string() : bundle + "Info.plist";
    }
    if (endsWith(entryName, ".sinf") && entryName.find('/') == std::string::npos) {
        const std::string bundle = mainBundlePrefix(archive);
        return bundle.empty() ? std::string() : bundle + "SC_Info/" + entryName;
    }
    return entryName;
}

// A name that may become a local or device path: relative, no "..".
bool safeRelativeName(const std::string &name)
{
    if (name.empty() || name[0] == '/' || name.find('\\') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        if (name.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

int ipod_get_zip_file(const char *package, const char *entryName, char **data, uint64_t *length)
{
    if (data)
        *data = nullptr;
    if (length)
        *length = 0;
    if (!package || !entryName || !data || !length) {
        DIAG_LOG("invalid argument");
        return -1;
    }
    ZipPtr archive = openPackage(package, ZIP_RDONLY);
    if (!archive)
        return -1;
    const std::string name = resolveEntry(archive.get(), entryName);
    if (name.empty())
        return 1;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(archive.get(), name.c_str(), 0, &st) != 0)
        return 1;   // absent: not an error worth a log entry
    if (!(st.valid & ZIP_STAT_SIZE) || st.size > kZipEntryMaxBytes) {
        DIAG_LOG("package entry too large");
        return -1;
    }
    ZipFilePtr file(zip_fopen(archive.get(), name.c_str(), 0), &zip_fclose);
    if (!file) {
        DIAG_LOG("package entry does not open");
        return -1;
    }
    // One spare byte so that callers may treat text entries as C strings.
    char *buffer = static_cast<char *>(std::malloc(size_t(st.size) + 1));
    if (!buffer) {
        DIAG_LOG("out of memory");
        return -1;
    }
    const zip_int64_t got = st.size ? zip_fread(file.get(), buffer, st.size) : 0;
    char probe;
    if (got < 0 || zip_uint64_t(got) != st.size || zip_fread(file.get(), &probe, 1) != 0) {
        std::free(buffer);
        DIAG_LOG("package entry damaged or truncated");
        return -1;
    }
    buffer[st.size] = '\0';
    *data = buffer;
    *length = st.size;
    return 0;
}

int ipod_zip_unpacked_size(const char *package, const char *folder, uint64_t *total)
{
    if (!package || !total) {
        DIAG_LOG("invalid argument");
        return -1;
    }
    ZipPtr archive = openPackage(package, ZIP_RDONLY);
    if (!archive)
        return -1;
    const std::string prefix = folder ? std::string(folder) + "/" : std::string();
    uint64_t sum = 0;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive.get(), zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)
            || !(st.valid & ZIP_STAT_NAME) || !startsWith(st.name, prefix)) {
            continue;
        }
        // Saturates: a package claiming more than can be stored asks too much anyway.
        sum = st.size > UINT64_MAX - sum ? UINT64_MAX : sum + st.size;
    }
    *total = sum;
    return 0;
}

int ipod_get_zip_Folder(const char *package, const char *folder, ZipFolderCallback callback,
                        void *context)
{
    if (!package || !folder || !callback) {
        DIAG_LOG("invalid argument");
        return -1;
    }
    ZipPtr archive = openPackage(package, ZIP_RDONLY);
    if (!archive)
        return -1;
    const std::string prefix = std::string(folder) + "/";
    std::set<std::string> announced;   // directories handed out so far
    std::vector<char> block(kZipFolderBlockBytes);

    // Hands out every missing parent folder of a name first, so that a
    // package without explicit folder entries still unpacks.
    auto announceParents = [&](const std::string &relative, bool includeSelf) -> int {
        size_t pos = 0;
        while ((pos = relative.find('/', pos)) != std::string::npos) {
            ++pos;
            if (!includeSelf && pos == relative.size())
                break;
            const std::string dir = relative.substr(0, pos);
            if (announced.insert(dir).second) {
                if (const int stop = callback(dir.c_str(), nullptr, 0, 0, 1, context))
                    return stop;
            }
        }
        return 0;
    };

    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(archive.get(), zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!raw)
            continue;
        const std::string name(raw);
        if (!startsWith(name, prefix) || name.size() == prefix.size())
            continue;
        const std::string relative = name.substr(prefix.size());
        if (!safeRelativeName(relative)) {
            DIAG_LOG("unsafe entry name skipped");
            continue;
        }
        if (endsWith(relative, "/")) {
            if (const int stop = announceParents(relative, true))
                return stop;
            continue;
        }
        if (const int stop = announceParents(relative, false))
            return stop;

        ZipFilePtr file(zip_fopen_index(archive.get(), zip_uint64_t(i), 0), &zip_fclose);
        if (!file) {
            DIAG_LOG("package entry does not open");
            return -1;
        }
        uint64_t offset = 0;
        for (;;) {
            const zip_int64_t got = zip_fread(file.get(), block.data(), block.size());
            if (got < 0) {
                DIAG_LOG("package entry damaged or truncated");
                return -1;
            }
            // An empty file still reaches the callback once, at offset 0.
            if (got == 0 && offset > 0)
                break;
            if (const int stop = callback(relative.c_str(), block.data(), int(got), offset, 0, context))
                return stop;
            if (got == 0)
                break;
            offset += uint64_t(got);
        }
    }
    return 0;
}

int ipod_zip_append(const char *archivePath, const char *deviceId)
{
    if (!archivePath || !deviceId || !*deviceId || std::strchr(deviceId, '/')) {
        DIAG_LOG("invalid argument");
        return -1;
    }
    // The tag's presence is what counts; its content names the device again.
    // Appended in place: no second copy of a large package.
    switch (ZipTagAppend::append(archivePath, deviceId, deviceId)) {
    case ZipTagAppend::Appended:
    case ZipTagAppend::AlreadyThere:
        return 0;
    case ZipTagAppend::Failed:
        break;
    }
    // What the in-place append refuses (an archive over several disks, a
    // directory that does not add up) libzip may still repair by rewriting.
    DIAG_LOG("tag not appended in place; rewriting the archive");
    ZipPtr archive = openPackage(archivePath, 0);
    if (!archive)
        return -1;
    const size_t length = std::strlen(deviceId);
    void *content = std::malloc(length);
    if (!content) {
        DIAG_LOG("out of memory");
        return -1;
    }
    std::memcpy(content, deviceId, length);
    zip_source_t *source = zip_source_buffer(archive.get(), content, length, 1);
    if (!source) {
        std::free(content);
        DIAG_LOG("zip source not created");
        return -1;
    }
    if (zip_file_add(archive.get(), deviceId, source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(source);
        DIAG_LOG("tag entry not added");
        return -1;
    }
    // zip_close writes a new file beside the old one and renames it over, so
    // a failure leaves the archive as it was.
    if (zip_close(archive.get()) != 0) {
        DIAG_LOG("archive not written");
        return -1;
    }
    archive.release();
    return 0;
}

int ipod_zip_has_device_tag(const char *package, const char *udid)
{
    if (!package || !udid || !*udid) {
        DIAG_LOG("invalid argument");
        return -1;
    }
    ZipPtr archive = openPackage(package, ZIP_RDONLY);
    if (!archive)
        return -1;
    const std::string tag(udid);
    const std::string dashTag = "-" + tag;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(archive.get(), zip_uint64_t(i), ZIP_FL_ENC_RAW);
        if (!raw)
            continue;
        const std::string name(raw);
        if (name == tag)
            return 0;
        if (name.size() > dashTag.size() && endsWith(name, dashTag)) {
            const size_t digits = name.size() - dashTag.size();
            if (name.find_first_not_of("0123456789") == digits)
                return 0;
        }
    }
    return 1;
}
