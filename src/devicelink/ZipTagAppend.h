#pragma once

#include <cstdint>
#include <string>

// Adds one small stored entry to a zip archive in place: the entry is
// written over the old central directory, followed by that directory with
// the new entry's record and the end records (zip64 ones when the archive
// had them or now needs them). Nothing else of the archive is read or
// written, so a tag costs neither a second pass over a large package nor
// its size in free disk space. Single-disk archives only.
class ZipTagAppend
{
public:
    enum Result {
        Appended = 0,
        AlreadyThere = 1,   // an entry of that name exists (nothing written)
        Failed = -1         // unreadable, not a zip, multi-disk, or a write failed
    };

    static Result append(const char *archivePath, const std::string &name, const std::string &content);

    // Bound of the central directory read into memory.
    static constexpr uint64_t kMaxDirectoryBytes = 64ull * 1024 * 1024;
};
