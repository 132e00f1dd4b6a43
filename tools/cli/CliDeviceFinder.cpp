#include "CliDeviceFinder.h"

#include "DevPort.h"

#include <QDir>

#include <usbmuxd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>

namespace {

// The device link reports on its own threads through plain callbacks.
std::mutex g_mutex;
std::condition_variable g_changed;
std::set<std::string> g_arrived;
std::set<std::string> g_refused;

void onChange(int state, const char *deviceId)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (state == 1)
        g_arrived.insert(deviceId);
    else
        g_arrived.erase(deviceId);
    g_changed.notify_all();
}

int onPasscode(const char *deviceId)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_refused.insert(deviceId);
    g_changed.notify_all();
    return 0;
}

// How many USB devices usbmuxd knows right now; -1 when it does not answer.
int usbDeviceCount()
{
    usbmuxd_device_info_t *list = nullptr;
    const int count = usbmuxd_get_device_list(&list);
    if (count < 0)
        return -1;
    int usb = 0;
    for (int i = 0; i < count; ++i) {
        if (list[i].conn_type == CONNECTION_TYPE_USB)
            ++usb;
    }
    if (list)
        usbmuxd_device_list_free(&list);
    return usb;
}

QStringList toList(const std::set<std::string> &ids)
{
    QStringList list;
    for (const std::string &id : ids)
        list << QString::fromStdString(id);
    return list;
}

} // namespace

CliDeviceFinder::~CliDeviceFinder()
{
    if (m_started)
        DVPT_Shutdown();
}

bool CliDeviceFinder::start(int timeoutMs)
{
    // Without a usbmuxd the device link's event thread never settles and
    // stopping it would wait for ever: do not start it.
    const int expected = usbDeviceCount();
    if (expected < 0)
        return false;
    const QByteArray temp = QDir::tempPath().toUtf8() + "/";
    if (DVPT_Init(onChange, temp.constData(), "", 0, onPasscode, 1) != 0)
        return false;
    m_started = true;
    std::unique_lock<std::mutex> lock(g_mutex);
    g_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [expected] { return g_arrived.size() + g_refused.size() >= size_t(expected); });
    return true;
}

QStringList CliDeviceFinder::devices() const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return toList(g_arrived);
}

QStringList CliDeviceFinder::refused() const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return toList(g_refused);
}
