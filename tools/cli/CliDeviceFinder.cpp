#include "CliDeviceFinder.h"

#include "CliConsole.h"
#include "DevPort.h"

#include <QDir>

#include <usbmuxd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// After the callback answers "retry", the device link polls a device that
// waits for Trust on its own for the trust wait (set to the user's --wait)
// before it asks again; a little more for the last attempt to finish.
constexpr std::chrono::seconds kLinkRetryMargin(5);
constexpr std::chrono::seconds kRetryPause(1);

// The device link reports on its own threads through plain callbacks.
std::mutex g_mutex;
std::condition_variable g_changed;
std::set<std::string> g_arrived;
std::set<std::string> g_refused;
std::set<std::string> g_failed;   // devices that did not answer properly
std::map<std::string, Clock::time_point> g_firstAsked;   // devices that wait for the user
Clock::time_point g_waitingUntil;                        // the latest a waiting device can settle
std::chrono::seconds g_wait(60);
QString g_wanted;   // -d: the one device worth waiting for
bool g_hinted = false;
bool g_stopping = false;

void onChange(int state, const char *deviceId)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (state == 1) {
        g_arrived.insert(deviceId);
        g_refused.erase(deviceId);
        g_failed.erase(deviceId);
        g_firstAsked.erase(deviceId);
    } else if (state == kDeviceFailed) {
        g_failed.insert(deviceId);
    } else {
        g_arrived.erase(deviceId);
    }
    g_changed.notify_all();
}

// Called on a device-link thread while the device is locked or waits for
// Trust: 1 tries again, 0 gives the device up.
int onPasscode(const char *deviceId)
{
    std::unique_lock<std::mutex> lock(g_mutex);
    if (!g_wanted.isEmpty() && !CliDeviceFinder::matches(QString::fromUtf8(deviceId), g_wanted)) {
        g_refused.insert(deviceId);
        g_changed.notify_all();
        return 0;
    }
    if (!g_hinted) {
        g_hinted = true;
        CliConsole::note(QStringLiteral("Unlock the device and tap Trust on it"));
    }
    const Clock::time_point now = Clock::now();
    const Clock::time_point first = g_firstAsked.emplace(deviceId, now).first->second;
    const Clock::time_point giveUp = first + g_wait;
    g_waitingUntil = std::max(g_waitingUntil, giveUp + kLinkRetryMargin);
    g_changed.notify_all();
    if (now < giveUp && !g_stopping)
        g_changed.wait_for(lock, std::min<Clock::duration>(kRetryPause, giveUp - now), [] { return g_stopping; });
    if (Clock::now() < giveUp && !g_stopping)
        return 1;
    g_firstAsked.erase(deviceId);
    g_refused.insert(deviceId);
    g_changed.notify_all();
    return 0;
}

// The UDIDs the wanted device may have: -d takes "<n>-<UDID>" or the UDID
// alone, and a UDID may hold a dash itself.
std::vector<std::string> candidateUdids(const QString &wanted)
{
    std::vector<std::string> udids{wanted.toStdString()};
    const int dash = wanted.indexOf(QLatin1Char('-'));
    if (dash > 0)
        udids.push_back(wanted.mid(dash + 1).toStdString());
    return udids;
}

// How many USB devices usbmuxd knows right now (only those with one of the
// UDIDs, if given); -1 when it does not answer.
int usbDeviceCount(const std::vector<std::string> &udids)
{
    usbmuxd_device_info_t *list = nullptr;
    const int count = usbmuxd_get_device_list(&list);
    if (count < 0)
        return -1;
    int usb = 0;
    for (int i = 0; i < count; ++i) {
        if (list[i].conn_type == CONNECTION_TYPE_USB
            && (udids.empty() || std::find(udids.begin(), udids.end(), std::string(list[i].udid)) != udids.end()))
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

bool anyMatches(const std::set<std::string> &ids, const QString &wanted)
{
    return std::any_of(ids.begin(), ids.end(), [&](const std::string &id) {
        return CliDeviceFinder::matches(QString::fromStdString(id), wanted);
    });
}

} // namespace

CliDeviceFinder::CliDeviceFinder(int waitSeconds)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_wait = std::chrono::seconds(std::max(0, waitSeconds));
    g_stopping = false;
}

CliDeviceFinder::~CliDeviceFinder()
{
    {
        // A device still waiting for the user is given up at once.
        std::lock_guard<std::mutex> lock(g_mutex);
        g_stopping = true;
        g_changed.notify_all();
    }
    DVPT_Shutdown();
}

bool CliDeviceFinder::start(const QString &wanted, int timeoutMs)
{
    // Without a usbmuxd the device link's event thread never settles and
    // stopping it would wait for ever: do not start it.
    // Only the wanted device is opened: the others cost it time.
    const std::vector<std::string> udids = wanted.isEmpty() ? std::vector<std::string>() : candidateUdids(wanted);
    const int expected = usbDeviceCount(udids);
    if (expected < 0)
        return false;
    DVPT_SetDeviceFilter(udids);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_wanted = wanted;
    }
    const QByteArray temp = QDir::tempPath().toUtf8() + "/";
    if (g_wait.count() > 0)
        DVPT_SetTrustWait(int(g_wait.count()) * 1000);
    if (DVPT_Init(onChange, temp.constData(), "", 0, onPasscode, 1) != 0)
        return false;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(g_mutex);
    for (;;) {
        if (!wanted.isEmpty()
            && (anyMatches(g_arrived, wanted) || anyMatches(g_refused, wanted) || anyMatches(g_failed, wanted)))
            break;
        if (g_arrived.size() + g_refused.size() + g_failed.size() >= size_t(expected))
            break;
        const Clock::time_point until = g_firstAsked.empty() ? deadline : std::max(deadline, g_waitingUntil);
        if (Clock::now() >= until)
            break;
        g_changed.wait_until(lock, until);
    }
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
    std::set<std::string> all = g_refused;
    for (const auto &waiting : g_firstAsked)
        all.insert(waiting.first);
    return toList(all);
}

QStringList CliDeviceFinder::failed() const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return toList(g_failed);
}

bool CliDeviceFinder::matches(const QString &id, const QString &wanted)
{
    return id == wanted || id.section(QLatin1Char('-'), 1) == wanted;
}

QString CliDeviceFinder::refusedMessage(const QString &id)
{
    const QString udid = id.contains(QLatin1Char('-')) ? id.section(QLatin1Char('-'), 1) : id;
    return QStringLiteral("The device %1 is locked or does not trust this computer.").arg(CliConsole::printable(udid, 100));
}

QString CliDeviceFinder::failedMessage(const QString &id)
{
    const QString udid = id.contains(QLatin1Char('-')) ? id.section(QLatin1Char('-'), 1) : id;
    return QStringLiteral("The device %1 did not answer properly.").arg(CliConsole::printable(udid, 100));
}
