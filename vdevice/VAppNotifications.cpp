#include "VAppNotifications.h"

#include <QDir>
#include <QMultiHash>
#include <QMutex>
#include <QMutexLocker>

namespace {
constexpr int kMaxPending = 1000;   // a subscriber that never reads loses the oldest

QMutex &registryMutex()
{
    static QMutex mutex;
    return mutex;
}

QMultiHash<QString, VAppNotifications::Subscription *> &registry()
{
    static QMultiHash<QString, VAppNotifications::Subscription *> subscriptions;
    return subscriptions;
}
} // namespace

void VAppNotifications::post(const QString &appsDir, const QString &name)
{
    QMutexLocker locker(&registryMutex());
    const auto range = registry().equal_range(QDir::cleanPath(appsDir));
    for (auto it = range.first; it != range.second; ++it) {
        QStringList &pending = it.value()->m_pending;
        if (pending.size() >= kMaxPending)
            pending.removeFirst();
        pending << name;
    }
}

VAppNotifications::Subscription::Subscription(const QString &appsDir)
    : m_appsDir(QDir::cleanPath(appsDir))
{
    QMutexLocker locker(&registryMutex());
    registry().insert(m_appsDir, this);
}

VAppNotifications::Subscription::~Subscription()
{
    QMutexLocker locker(&registryMutex());
    registry().remove(m_appsDir, this);
}

QStringList VAppNotifications::Subscription::take()
{
    QMutexLocker locker(&registryMutex());
    QStringList out;
    out.swap(m_pending);
    return out;
}
