#include "ServiceRegistry.h"

#include "ServiceTransport.h"

ServiceRegistry &ServiceRegistry::instance()
{
    static ServiceRegistry registry;
    return registry;
}

int ServiceRegistry::add(std::shared_ptr<ServiceTransport> transport)
{
    if (!transport)
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    const int handle = m_next++;
    m_transports.emplace(handle, std::move(transport));
    return handle;
}

std::shared_ptr<ServiceTransport> ServiceRegistry::find(int handle) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_transports.find(handle);
    return it == m_transports.end() ? nullptr : it->second;
}

void ServiceRegistry::remove(int handle)
{
    std::shared_ptr<ServiceTransport> transport;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_transports.find(handle);
        if (it == m_transports.end())
            return;
        transport = std::move(it->second);
        m_transports.erase(it);
    }
    transport->close();
}
