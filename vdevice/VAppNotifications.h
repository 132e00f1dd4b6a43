#pragma once

// Notifications of a virtual device's app store ("com.apple.mobile.
// application_installed", "..._uninstalled"), delivered in-process to every
// subscription of the same apps folder, in the order posted. A subscription
// sees only what is posted while it exists. Thread-safe.

#include <QString>
#include <QStringList>

class VAppNotifications
{
public:
    static constexpr const char *kInstalled = "com.apple.mobile.application_installed";
    static constexpr const char *kUninstalled = "com.apple.mobile.application_uninstalled";

    static void post(const QString &appsDir, const QString &name);

    class Subscription
    {
    public:
        explicit Subscription(const QString &appsDir);
        ~Subscription();
        Subscription(const Subscription &) = delete;
        Subscription &operator=(const Subscription &) = delete;

        QStringList take();   // what arrived since the last call

    private:
        friend class VAppNotifications;
        QString m_appsDir;
        QStringList m_pending;   // guarded by the registry's mutex
    };
};
