#include "VAppNotificationProxy.h"

#include "VAppNotifications.h"
#include "VAppPlist.h"
#include "VConnection.h"
#include "VDevice.h"
#include "VServiceTable.h"

#include "DiagLog.h"

#include <poll.h>

#include <cerrno>

namespace {
const VServiceRegistration registration("com.apple.mobile.notification_proxy",
                                        [](VConnection &conn) { VAppNotificationProxy(conn).serve(); });
}

VAppNotificationProxy::VAppNotificationProxy(VConnection &conn)
    : m_conn(conn)
    , m_appsDir(conn.device() ? conn.device()->appsDir() : QString())
{
}

void VAppNotificationProxy::serve()
{
    if (!m_conn.device())
        return;
    VAppNotifications::Subscription subscription(m_appsDir);
    for (;;) {
        // Requests and notifications both wake this loop: the socket is
        // polled briefly and the notification queue drained in between.
        pollfd fd{m_conn.fd(), POLLIN, 0};
        const int ready = ::poll(&fd, 1, kPollMs);
        if (ready < 0 && errno != EINTR)
            return;
        if (ready > 0) {
            if (fd.revents & (POLLERR | POLLNVAL))
                return;
            plist_t raw = nullptr;
            if (!m_conn.recvPlist(&raw))
                return;
            PlistPtr request = makePlistPtr(raw);
            if (!handle(request.get()))
                return;
        }
        for (const QString &name : subscription.take()) {
            if (m_observed.contains(name) && !send("RelayNotification", name))
                return;
        }
    }
}

bool VAppNotificationProxy::handle(plist_t request)
{
    const QString command = VAppPlist::string(request, "Command");
    const QString name = VAppPlist::string(request, "Name");
    if (command == QLatin1String("ObserveNotification") && !name.isEmpty()) {
        if (m_observed.size() < kMaxObserved)
            m_observed.insert(name);
        return true;
    }
    if (command == QLatin1String("PostNotification") && !name.isEmpty()) {
        VAppNotifications::post(m_appsDir, name);
        return true;
    }
    if (command == QLatin1String("Shutdown")) {
        send("ProxyDeath");
        return false;
    }
    DIAG_LOG("unknown notification_proxy request");
    return false;
}

bool VAppNotificationProxy::send(const char *command, const QString &name)
{
    PlistPtr message = makePlistPtr(plist_new_dict());
    VAppPlist::setString(message.get(), "Command", QString::fromLatin1(command));
    if (!name.isEmpty())
        VAppPlist::setString(message.get(), "Name", name);
    if (m_conn.sendPlist(message.get()))
        return true;
    DIAG_LOG("notification_proxy client gone");
    return false;
}
