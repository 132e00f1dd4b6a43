#include "VAfcPaths.h"

#include "afc/AfcCodec.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <sys/stat.h>

namespace {

bool within(const std::string &path, const std::string &base)
{
    return path == base
        || (path.size() > base.size() && path.compare(0, base.size(), base) == 0 && path[base.size()] == '/');
}

std::string realPath(const std::string &path, int *error)
{
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer)) {
        *error = errno;
        return std::string();
    }
    return buffer;
}

} // namespace

bool VAfcPaths::setRoot(const std::string &root, const std::string &confineTo)
{
    int error = 0;
    m_root = realPath(root, &error);
    if (m_root.empty())
        return false;
    std::vector<std::string> parts;
    if (!normalize(confineTo, &parts) || parts.size() > 1)
        return false;
    m_confine = parts.empty() ? std::string() : parts.front();
    m_confineRoot = m_confine.empty() ? m_root : m_root + "/" + m_confine;
    return true;
}

bool VAfcPaths::normalize(const std::string &afcPath, std::vector<std::string> *components)
{
    components->clear();
    size_t start = 0;
    while (start <= afcPath.size()) {
        size_t end = afcPath.find('/', start);
        if (end == std::string::npos)
            end = afcPath.size();
        const std::string part = afcPath.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (components->empty())
                return false;
            components->pop_back();
            continue;
        }
        components->push_back(part);
    }
    return true;
}

std::vector<std::string> VAfcPaths::components(const std::string &afcPath)
{
    std::vector<std::string> out;
    if (!normalize(afcPath, &out))
        out.clear();
    return out;
}

bool VAfcPaths::inside(const std::string &hostPath) const
{
    if (!within(hostPath, m_root))
        return false;
    // Inside a confined tree only the root itself and the subfolder count.
    return m_confine.empty() || hostPath == m_root || within(hostPath, m_confineRoot);
}

uint64_t VAfcPaths::resolve(const std::string &afcPath, bool followLast, std::string *host) const
{
    std::vector<std::string> parts;
    if (afcPath.find('\0') != std::string::npos || !normalize(afcPath, &parts))
        return Afc::PermDenied;
    if (parts.empty()) {
        *host = m_root;
        return Afc::Success;
    }
    if (!m_confine.empty() && parts.front() != m_confine)
        return Afc::PermDenied;
    std::string parent = m_root;
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        parent += "/" + parts[i];
    int error = 0;
    const std::string realParent = realPath(parent, &error);
    if (realParent.empty())
        return error == EACCES ? Afc::PermDenied : Afc::ObjectNotFound;
    if (!inside(realParent))
        return Afc::PermDenied;
    std::string candidate = realParent + "/" + parts.back();
    struct stat st;
    if (followLast && ::lstat(candidate.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        const std::string target = realPath(candidate, &error);
        if (target.empty())
            return Afc::ObjectNotFound;   // dangling: never created through
        candidate = target;
    }
    if (!inside(candidate))
        return Afc::PermDenied;
    *host = candidate;
    return Afc::Success;
}

bool VAfcPaths::listable(const std::string &hostDir, const std::string &name) const
{
    return m_confine.empty() || hostDir != m_root || name == m_confine;
}
