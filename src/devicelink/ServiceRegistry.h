#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

class ServiceTransport;

// Process-wide table of open service transports, keyed by the small integer
// handles that the device access functions hand out. Handles are never
// reused within a run, so a stale handle finds nothing instead of a stranger.
// Thread-safe; a transport stays alive while a caller holds its pointer.
class ServiceRegistry
{
public:
    static ServiceRegistry &instance();

    int add(std::shared_ptr<ServiceTransport> transport);
    std::shared_ptr<ServiceTransport> find(int handle) const;
    // Removes the handle and closes its transport.
    void remove(int handle);

private:
    mutable std::mutex m_mutex;
    std::unordered_map<int, std::shared_ptr<ServiceTransport>> m_transports;
    int m_next = 1;
};
