// Measures the device link against an in-process virtual device: how long
// opening a service on an open device takes, and media-area throughput of
// our AFC client beside libimobiledevice's own, both in 65535-byte chunks.
//
//   bench_devicelink [--megabytes N] [--opens N]

#include "DevPort.h"
#include "FirstDevice.h"
#include "VDeviceFolder.h"
#include "VServer.h"

#include <libimobiledevice/afc.h>
#include <libimobiledevice/libimobiledevice.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kChunk = 65535;

double mbPerSecond(uint64_t bytes, qint64 ns)
{
    return ns > 0 ? double(bytes) / (1024.0 * 1024.0) / (double(ns) / 1e9) : 0.0;
}

struct Rates
{
    double write = 0;
    double read = 0;
};

Rates ourClient(const std::string &id, const std::vector<char> &data)
{
    Rates r;
    uint64_t ref = 0;
    QElapsedTimer t;
    t.start();
    if (zorn_dvpt_fopen(id.c_str(), "bench-ours.bin", "wb", &ref) != 0)
        return r;
    for (size_t at = 0; at < data.size(); at += kChunk) {
        const uint32_t n = uint32_t(std::min<size_t>(kChunk, data.size() - at));
        if (zorn_dvpt_FileRefWrite(id.c_str(), ref, data.data() + at, n) != 0)
            return r;
    }
    zorn_dvpt_FileClose(id.c_str(), ref);
    r.write = mbPerSecond(data.size(), t.nsecsElapsed());

    std::vector<char> buffer(kChunk);
    uint64_t total = 0;
    t.restart();
    if (zorn_dvpt_fopen(id.c_str(), "bench-ours.bin", "rb", &ref) != 0)
        return r;
    for (;;) {
        uint32_t n = kChunk;
        if (zorn_dvpt_FileRefRead(id.c_str(), ref, buffer.data(), &n) != 0 || n == 0)
            break;
        total += n;
    }
    zorn_dvpt_FileClose(id.c_str(), ref);
    r.read = total == data.size() ? mbPerSecond(total, t.nsecsElapsed()) : 0.0;
    return r;
}

Rates theirClient(const std::string &udid, const std::vector<char> &data)
{
    Rates r;
    idevice_t device = nullptr;
    afc_client_t afc = nullptr;
    if (idevice_new_with_options(&device, udid.c_str(), IDEVICE_LOOKUP_USBMUX) != IDEVICE_E_SUCCESS)
        return r;
    if (afc_client_start_service(device, &afc, "bench") != AFC_E_SUCCESS) {
        idevice_free(device);
        return r;
    }
    uint64_t handle = 0;
    QElapsedTimer t;
    t.start();
    if (afc_file_open(afc, "bench-theirs.bin", AFC_FOPEN_WRONLY, &handle) == AFC_E_SUCCESS) {
        bool ok = true;
        for (size_t at = 0; ok && at < data.size(); at += kChunk) {
            const uint32_t n = uint32_t(std::min<size_t>(kChunk, data.size() - at));
            uint32_t written = 0;
            ok = afc_file_write(afc, handle, data.data() + at, n, &written) == AFC_E_SUCCESS;
        }
        afc_file_close(afc, handle);
        if (ok)
            r.write = mbPerSecond(data.size(), t.nsecsElapsed());
    }
    std::vector<char> buffer(kChunk);
    uint64_t total = 0;
    t.restart();
    if (afc_file_open(afc, "bench-theirs.bin", AFC_FOPEN_RDONLY, &handle) == AFC_E_SUCCESS) {
        for (;;) {
            uint32_t n = 0;
            if (afc_file_read(afc, handle, buffer.data(), kChunk, &n) != AFC_E_SUCCESS || n == 0)
                break;
            total += n;
        }
        afc_file_close(afc, handle);
        r.read = total == data.size() ? mbPerSecond(total, t.nsecsElapsed()) : 0.0;
    }
    afc_client_free(afc);
    idevice_free(device);
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int megabytes = 128;
    int opens = 200;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == QLatin1String("--megabytes") && hasValue) {
            megabytes = qMax(1, args[++i].toInt());
        } else if (args[i] == QLatin1String("--opens") && hasValue) {
            opens = qMax(1, args[++i].toInt());
        } else {
            const bool help = args[i] == QLatin1String("--help") || args[i] == QLatin1String("-h");
            std::fprintf(help ? stdout : stderr,
                         "usage: bench_devicelink [--megabytes N] [--opens N]\n"
                         "Service opening on an open virtual device, and media throughput of our AFC client\n"
                         "beside libimobiledevice's.\n");
            return help ? 0 : 2;
        }
    }

    QTemporaryDir dir;
    const QString state = dir.path() + QStringLiteral("/state");
    QDir().mkpath(state);
    const VDeviceProfile profile = VDeviceFolder::defaultProfile(0);
    QString error;
    VServer server(state);
    if (!VDeviceFolder::create(state, profile, &error) || !server.start(dir.path() + QStringLiteral("/mux.sock"), &error)) {
        std::fprintf(stderr, "virtual device: %s\n", qPrintable(error));
        return 1;
    }
    qputenv("USBMUXD_SOCKET_ADDRESS", "UNIX:" + server.socketPath().toLocal8Bit());
    const std::string id = FirstDevice::wait(10);
    if (id.empty()) {
        std::fprintf(stderr, "the device never arrived\n");
        return 1;
    }

    std::vector<double> openMs;
    for (int i = 0; i < opens; ++i) {
        QElapsedTimer t;
        t.start();
        ServiceConnection *c = zorn_dvpt_OpenService(id.c_str(), "com.apple.afc");
        openMs.push_back(double(t.nsecsElapsed()) / 1e6);
        zorn_dvpt_CloseService(c);
        if (!c) {
            std::fprintf(stderr, "service did not open\n");
            return 1;
        }
    }
    std::sort(openMs.begin(), openMs.end());
    std::printf("open service (com.apple.afc), %d times: median %.2f ms, p90 %.2f ms, max %.2f ms\n", opens,
                openMs[openMs.size() / 2], openMs[openMs.size() * 9 / 10], openMs.back());

    std::vector<char> data(size_t(megabytes) * 1024 * 1024);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char((i * 131) >> 3);
    // Rounds alternate between the clients; the best of each is kept, so a
    // burst of other work on the machine does not decide the comparison.
    Rates ours, theirs;
    for (int round = 0; round < 3; ++round) {
        const Rates a = ourClient(id, data);
        const Rates b = theirClient(profile.udid.toStdString(), data);
        ours.write = std::max(ours.write, a.write);
        ours.read = std::max(ours.read, a.read);
        theirs.write = std::max(theirs.write, b.write);
        theirs.read = std::max(theirs.read, b.read);
    }
    std::printf("media area, %d MiB in %u-byte chunks, best of 3   write MB/s   read MB/s\n", megabytes, kChunk);
    std::printf("  AppShuttle AFC client             %9.1f   %9.1f\n", ours.write, ours.read);
    std::printf("  libimobiledevice afc_client       %9.1f   %9.1f\n", theirs.write, theirs.read);
    if (theirs.write > 0 && theirs.read > 0)
        std::printf("  ratio (ours / theirs)             %8.0f%%   %8.0f%%\n", 100 * ours.write / theirs.write,
                    100 * ours.read / theirs.read);
    DVPT_Shutdown();
    return 0;
}
