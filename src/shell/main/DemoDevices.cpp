#include "DemoDevices.h"

#include "DiagLog.h"
#include "VDeviceFolder.h"
#include "VServer.h"

#include <usbmuxd.h>

#include <QDir>

DemoDevices::DemoDevices()
    : m_dir(QDir::tempPath() + QStringLiteral("/appshuttle-demo-XXXXXX"))
{
}

DemoDevices::~DemoDevices()
{
    if (m_server)
        m_server->stop();
}

bool DemoDevices::start(QString *error)
{
    if (isRunning())
        return true;
    if (!m_dir.isValid()) {
        *error = QStringLiteral("cannot create a folder for the demo devices: ") + m_dir.errorString();
        DIAG_LOG(qPrintable(*error));
        return false;
    }
    const QString state = m_dir.path() + QStringLiteral("/state");
    VPopulateOptions options;
    options.demo = true;
    options.devices = 2;
    if (!VDeviceFolder::populate(state, options, error)) {
        DIAG_LOG(qPrintable(*error));
        return false;
    }
    auto server = std::make_unique<VServer>(state);
    const QString socket = m_dir.path() + QStringLiteral("/usbmuxd");
    if (!server->start(socket, error)) {
        DIAG_LOG(qPrintable(*error));
        return false;
    }
    m_server = std::move(server);
    useSocket(socket);
    return true;
}

bool DemoDevices::isRunning() const
{
    return m_server && m_server->isRunning();
}

void DemoDevices::slowTransfers(int ms)
{
    if (!m_server)
        return;
    for (const auto &device : m_server->devices()) {
        std::string output;
        if (!m_server->control({"fault", device->udid().toStdString(), "*", "delay", std::to_string(ms)}, &output))
            DIAG_LOG(output.c_str());
    }
}

QString DemoDevices::packagesFolder() const
{
    return m_dir.path() + QStringLiteral("/state/packages");
}

void DemoDevices::useSocket(const QString &path)
{
    qputenv("USBMUXD_SOCKET_ADDRESS", "UNIX:" + QFile::encodeName(path));
    libusbmuxd_set_use_inotify(0);
}
