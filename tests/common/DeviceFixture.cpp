#include "DeviceFixture.h"

#include "DevPort.h"
#include "VDemo.h"
#include "VServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

#include <usbmuxd.h>

namespace {

std::mutex g_mutex;
std::condition_variable g_cv;
std::map<std::string, std::string> g_arrived;   // UDID -> identifier

void onChange(int state, const char *id)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const std::string text(id);
    const size_t dash = text.find('-');
    const std::string udid = dash == std::string::npos ? text : text.substr(dash + 1);
    if (state == 1)
        g_arrived[udid] = text;
    else
        g_arrived.erase(udid);
    g_cv.notify_all();
}

} // namespace

DeviceFixture::DeviceFixture(std::vector<int> profiles, bool demoApps)
{
    qputenv("TMPDIR", m_dir.path().toLocal8Bit());
    QDir().mkpath(stateDir());
    for (int index : profiles) {
        const VDeviceProfile p = VDeviceFolder::defaultProfile(index);
        if (!VDeviceFolder::create(stateDir(), p, &m_error))
            return;
        if (demoApps) {
            const QList<int> families = p.deviceClass == QLatin1String("iPad") ? QList<int>{1, 2} : QList<int>{1};
            if (!VDemo::populateApps(stateDir() + QLatin1Char('/') + p.udid + QStringLiteral("/apps"), families, -1, &m_error))
                return;
        }
        m_profiles.push_back(p);
        m_udids << p.udid;
    }
    m_udids.sort();
    m_server = std::make_unique<VServer>(stateDir());
    if (!m_server->start(socketPath(), &m_error))
        return;
    qputenv("USBMUXD_SOCKET_ADDRESS", "UNIX:" + socketPath().toLocal8Bit());
    libusbmuxd_set_use_inotify(0);
    DVPT_SetServiceTimeout(5000);
    m_ok = true;
}

DeviceFixture::~DeviceFixture()
{
    DVPT_Shutdown();
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_arrived.clear();
    }
    m_server.reset();
    DVPT_SetServiceTimeout(0);
}

QString DeviceFixture::deviceDir(int index) const
{
    return stateDir() + QLatin1Char('/') + profile(index).udid;
}

bool DeviceFixture::startScanning(int timeoutMs)
{
    if (!m_ok || DVPT_Init(onChange, "/tmp/", "", 0, nullptr, 1) != 0)
        return false;
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        for (const VDeviceProfile &p : m_profiles) {
            if (!g_arrived.count(p.udid.toStdString()))
                return false;
        }
        return true;
    });
}

std::string DeviceFixture::id(int index) const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto it = g_arrived.find(profile(index).udid.toStdString());
    return it == g_arrived.end() ? std::string() : it->second;
}

bool DeviceFixture::ctl(const std::vector<std::string> &args, std::string *output)
{
    std::string out;
    const bool done = m_server->control(args, &out);
    if (output)
        *output = out;
    return done;
}

bool DeviceFixture::fault(int index, const std::string &service, const std::string &kind, const std::string &arg)
{
    std::vector<std::string> args{"fault", profile(index).udid.toStdString(), service, kind};
    if (!arg.empty())
        args.push_back(arg);
    return ctl(args);
}

bool DeviceFixture::deviceCtl(int index, const std::string &command, const std::string &arg)
{
    std::vector<std::string> args{command, profile(index).udid.toStdString()};
    if (!arg.empty())
        args.push_back(arg);
    return ctl(args);
}

void DeviceFixture::setPlainLockdown(bool on)
{
    m_server->setPlainLockdown(on);
}

void DeviceFixture::setIdleTimeout(int ms)
{
    m_server->setIdleTimeout(ms);
}

bool DeviceFixture::control(const QStringList &args)
{
    std::vector<std::string> list;
    for (const QString &arg : args)
        list.push_back(arg.toStdString());
    std::string output;
    const bool done = ctl(list, &output);
    if (!done)
        qWarning("ctl %s: %s", qPrintable(args.join(QLatin1Char(' '))), output.c_str());
    return done;
}

int DeviceFixture::run(const QString &program, const QStringList &args, QByteArray *out, QByteArray *err)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (out)
        *out = process.readAllStandardOutput();
    if (err)
        *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
