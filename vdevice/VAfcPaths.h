#pragma once

// Confinement of AFC paths to a root folder on the host. Paths are taken
// relative to the root whether or not they start with "/"; "." and ".." are
// resolved by name, and ".." above the root is refused. Symlinks are
// followed only where they stay inside the root (and inside the confined
// subfolder, when one is set).

#include <cstdint>
#include <string>
#include <vector>

class VAfcPaths
{
public:
    // False when the root does not exist.
    bool setRoot(const std::string &root, const std::string &confineTo = std::string());
    const std::string &root() const { return m_root; }

    // Resolves an AFC path. followLast: whether a symlink as the last
    // component is followed (open, read dir) or is the object itself
    // (file info, remove, rename). Returns 0 with the host path, or the AFC
    // status to answer (PermDenied for escapes, ObjectNotFound for a missing
    // parent).
    uint64_t resolve(const std::string &afcPath, bool followLast, std::string *host) const;

    // Whether a directory entry is shown: at the root of a confined tree only
    // the confined subfolder is.
    bool listable(const std::string &hostDir, const std::string &name) const;

    // The components of a path with "." and ".." applied; false when ".."
    // climbs above the root.
    static bool normalize(const std::string &afcPath, std::vector<std::string> *components);
    static std::vector<std::string> components(const std::string &afcPath);

private:
    bool inside(const std::string &hostPath) const;

    std::string m_root;          // real path, no trailing "/"
    std::string m_confine;       // top-level entry name, or empty
    std::string m_confineRoot;   // m_root + "/" + m_confine
};
