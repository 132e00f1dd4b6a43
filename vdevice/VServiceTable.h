#pragma once

// The services a virtual device offers through lockdown's StartService, by
// name. Each service registers itself from its own .cpp file:
//
//   static const VServiceRegistration registration(
//       "com.apple.mobile.installation_proxy",
//       [](VConnection &conn) { VInstallationProxy(conn).serve(); });
//
// The handler runs on the connection's own thread and returns when the
// client is done or misbehaves; the connection is closed after it returns.
// The vdevice library is linked whole-archive, so such static registrations
// are always kept. Registering a name twice replaces the earlier handler.

#include <functional>
#include <string>
#include <vector>

class VConnection;

class VServiceTable
{
public:
    using Handler = std::function<void(VConnection &)>;

    static void add(const std::string &name, Handler serve);
    static Handler find(const std::string &name);   // empty when unknown
    static std::vector<std::string> names();
};

struct VServiceRegistration
{
    VServiceRegistration(const char *name, VServiceTable::Handler serve)
    {
        VServiceTable::add(name, std::move(serve));
    }
};
