#include "VServiceTable.h"

#include <map>
#include <mutex>

namespace {

// Function-local statics: registrations run during static initialisation,
// in no particular order across files.
std::mutex &tableMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, VServiceTable::Handler> &table()
{
    static std::map<std::string, VServiceTable::Handler> handlers;
    return handlers;
}

} // namespace

void VServiceTable::add(const std::string &name, Handler serve)
{
    std::lock_guard<std::mutex> lock(tableMutex());
    table()[name] = std::move(serve);
}

VServiceTable::Handler VServiceTable::find(const std::string &name)
{
    std::lock_guard<std::mutex> lock(tableMutex());
    const auto it = table().find(name);
    return it == table().end() ? Handler() : it->second;
}

std::vector<std::string> VServiceTable::names()
{
    std::lock_guard<std::mutex> lock(tableMutex());
    std::vector<std::string> out;
    for (const auto &entry : table())
        out.push_back(entry.first);
    return out;
}
