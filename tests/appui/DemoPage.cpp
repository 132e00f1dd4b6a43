#include "DemoPage.h"

#include "AppTaskCtrl.h"
#include "AppTaskManager.h"

#include <QSignalSpy>

DemoPage::DemoPage(int profile) : m_device(new DeviceFixture({profile}, true))
{
}

DemoPage::~DemoPage()
{
    if (m_handler) {
        const QString key = QString::fromUtf8(m_handler->deviceId());
        AppTaskManager::instance()->removeDevice(key);
        AppTaskCtrl::instance()->removeDevice(key);
    }
    m_proxy.reset();
    m_apps.reset();
    m_handler.reset();
    m_device.reset();
}

bool DemoPage::load(int timeoutMs)
{
    if (!m_device->ok()) {
        m_error = m_device->error();
        return false;
    }
    if (!m_device->startScanning()) {
        m_error = QStringLiteral("the virtual device did not arrive");
        return false;
    }
    m_handler = std::make_unique<AppHandler>(QByteArray::fromStdString(m_device->id(0)));
    m_apps = std::make_unique<AppModel>(m_handler.get());
    m_proxy = std::make_unique<AppProxyModel>();
    m_proxy->setSourceModel(m_apps.get());
    m_proxy->setDynamicSortFilter(false);
    QSignalSpy done(m_apps.get(), &AppModel::loadTaskCompleted);
    AppTaskCtrl::instance()->addTask(m_proxy->createTask(m_handler.get(), AppTask::LoadAppDataTask, {}));
    if (!done.wait(timeoutMs)) {
        m_error = QStringLiteral("the app list did not load");
        return false;
    }
    m_proxy->sort(0);
    return true;
}

int DemoPage::proxyRow(const QString &name) const
{
    for (int row = 0; row < m_proxy->rowCount(); ++row) {
        if (m_proxy->index(row, AppModel::ColName).data().toString() == name)
            return row;
    }
    return -1;
}
