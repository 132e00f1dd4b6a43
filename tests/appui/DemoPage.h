#pragma once

// The models of one apps page over a virtual device of the demo: the
// device runs in this process, the device link finds it as it finds a real
// one, and a load task fills the app model. For the view tests, the real
// drag helper and the screenshots.

#include "AppHandler.h"
#include "AppModel.h"
#include "AppProxyModel.h"
#include "DeviceFixture.h"

#include <memory>
#include <vector>

class DemoPage
{
public:
    // profile 0: an older iPhone (apps can be copied out), 1: a current iPad.
    explicit DemoPage(int profile = 0);
    ~DemoPage();

    // Starts the device link and loads the app list; false with error() set.
    bool load(int timeoutMs = 30000);
    const QString &error() const { return m_error; }

    DeviceFixture &device() { return *m_device; }
    AppHandler *handler() const { return m_handler.get(); }
    AppModel *apps() const { return m_apps.get(); }
    AppProxyModel *proxy() const { return m_proxy.get(); }
    // The proxy row of the app with this name, or -1.
    int proxyRow(const QString &name) const;

private:
    std::unique_ptr<DeviceFixture> m_device;
    std::unique_ptr<AppHandler> m_handler;
    std::unique_ptr<AppModel> m_apps;
    std::unique_ptr<AppProxyModel> m_proxy;
    QString m_error;
};
