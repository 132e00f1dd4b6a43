#pragma once

// com.apple.mobile.notification_proxy of a virtual device, for the app
// notifications that clients wait for after an install or a removal
// (ideviceinstaller -w). Client requests: {Command: "ObserveNotification",
// Name}, {Command: "PostNotification", Name} (relayed to the device's other
// observers), {Command: "Shutdown"} (answered with {Command: "ProxyDeath"}).
// Observed notifications go out as {Command: "RelayNotification", Name}.

#include "PlistFrame.h"

#include <QSet>
#include <QString>

class VConnection;

class VAppNotificationProxy
{
public:
    static constexpr int kPollMs = 50;
    static constexpr int kMaxObserved = 256;

    explicit VAppNotificationProxy(VConnection &conn);
    void serve();

private:
    bool handle(plist_t request);   // false: the connection ends
    bool send(const char *command, const QString &name = QString());

    VConnection &m_conn;
    QString m_appsDir;
    QSet<QString> m_observed;
};
