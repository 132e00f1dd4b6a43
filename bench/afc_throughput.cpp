// AFC write and read throughput through libimobiledevice's AFC client
// against the virtual device (in-process server on a Unix socket, or a
// running appshuttle-vdevice given with --socket and --udid).
//
//   afc_throughput [--size MiB] [--socket PATH --udid UDID] [--min MBPS]
//
// Prints one line per direction and chunk size in MB/s (10^6 bytes/s);
// with --min, exits 1 when any figure is below it.

#include "VDeviceFolder.h"
#include "VServer.h"

#include <csignal>
#include <libimobiledevice/afc.h>
#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <usbmuxd.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Session
{
    idevice_t device = nullptr;
    lockdownd_client_t lockdown = nullptr;
    afc_client_t afc = nullptr;

    ~Session()
    {
        if (afc)
            afc_client_free(afc);
        if (lockdown)
            lockdownd_client_free(lockdown);
        if (device)
            idevice_free(device);
    }

    bool open(const std::string &udid)
    {
        if (idevice_new_with_options(&device, udid.c_str(), IDEVICE_LOOKUP_USBMUX) != IDEVICE_E_SUCCESS
            || lockdownd_client_new_with_handshake(device, &lockdown, "afc_throughput") != LOCKDOWN_E_SUCCESS)
            return false;
        lockdownd_service_descriptor_t service = nullptr;
        const bool started = lockdownd_start_service(lockdown, AFC_SERVICE_NAME, &service) == LOCKDOWN_E_SUCCESS
            && afc_client_new(device, service, &afc) == AFC_E_SUCCESS;
        if (service)
            lockdownd_service_descriptor_free(service);
        return started;
    }
};

double megabytesPerSecond(uint64_t bytes, qint64 nanoseconds)
{
    return nanoseconds > 0 ? double(bytes) / 1e6 / (double(nanoseconds) / 1e9) : 0.0;
}

// Writes `total` bytes in `chunk`-sized afc_file_write calls; MB/s or -1.
double writeFile(afc_client_t afc, const char *path, const std::vector<char> &buffer, uint32_t chunk, uint64_t total)
{
    uint64_t handle = 0;
    if (afc_file_open(afc, path, AFC_FOPEN_WRONLY, &handle) != AFC_E_SUCCESS)
        return -1;
    QElapsedTimer timer;
    timer.start();
    for (uint64_t done = 0; done < total; done += chunk) {
        uint32_t written = 0;
        if (afc_file_write(afc, handle, buffer.data(), chunk, &written) != AFC_E_SUCCESS || written != chunk)
            return -1;
    }
    const bool closed = afc_file_close(afc, handle) == AFC_E_SUCCESS;
    const qint64 elapsed = timer.nsecsElapsed();
    return closed ? megabytesPerSecond(total, elapsed) : -1;
}

double readFile(afc_client_t afc, const char *path, std::vector<char> &buffer, uint32_t chunk, uint64_t total)
{
    uint64_t handle = 0;
    if (afc_file_open(afc, path, AFC_FOPEN_RDONLY, &handle) != AFC_E_SUCCESS)
        return -1;
    QElapsedTimer timer;
    timer.start();
    uint64_t done = 0;
    for (;;) {
        uint32_t got = 0;
        if (afc_file_read(afc, handle, buffer.data(), chunk, &got) != AFC_E_SUCCESS)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    const qint64 elapsed = timer.nsecsElapsed();
    afc_file_close(afc, handle);
    return done == total ? megabytesPerSecond(done, elapsed) : -1;
}

} // namespace

int main(int argc, char **argv)
{
    // libimobiledevice writes TLS records with write(): a closed connection
    // must fail the write, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    uint64_t sizeMiB = 256;
    double minimum = 0;
    std::string socketPath;
    std::string udid;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::printf("usage: afc_throughput [--size MiB] [--socket PATH --udid UDID] [--min MBPS]\n"
                        "AFC write and read throughput of libimobiledevice's client against the virtual device,\n"
                        "64 KiB and 1 MiB chunks; with --min, exits 1 when a figure is below MBPS.\n");
            return 0;
        }
        if (!std::strcmp(argv[i], "--size") && hasValue)
            sizeMiB = std::strtoull(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--min") && hasValue)
            minimum = std::strtod(argv[++i], nullptr);
        else if (!std::strcmp(argv[i], "--socket") && hasValue)
            socketPath = argv[++i];
        else if (!std::strcmp(argv[i], "--udid") && hasValue)
            udid = argv[++i];
        else {
            std::fprintf(stderr, "usage: afc_throughput [--size MiB] [--socket PATH --udid UDID] [--min MBPS]\n");
            return 2;
        }
    }
    if (sizeMiB == 0 || sizeMiB > 65536 || socketPath.empty() != udid.empty()) {
        std::fprintf(stderr, "afc_throughput: --size must be 1..65536 MiB; --socket and --udid go together\n");
        return 2;
    }

    QTemporaryDir scratch;
    std::unique_ptr<VServer> server;
    if (socketPath.empty()) {
        const QString state = scratch.path() + QStringLiteral("/state");
        const VDeviceProfile profile = VDeviceFolder::defaultProfile(0);
        QString error;
        server = std::make_unique<VServer>(state);
        if (!VDeviceFolder::create(state, profile, &error)
            || !server->start(scratch.path() + QStringLiteral("/mux"), &error)) {
            std::fprintf(stderr, "afc_throughput: %s\n", qPrintable(error));
            return 1;
        }
        socketPath = (scratch.path() + QStringLiteral("/mux")).toStdString();
        udid = profile.udid.toStdString();
    }
    setenv("USBMUXD_SOCKET_ADDRESS", ("UNIX:" + socketPath).c_str(), 1);
    libusbmuxd_set_use_inotify(0);

    Session session;
    if (!session.open(udid)) {
        std::fprintf(stderr, "afc_throughput: cannot open AFC on %s\n", udid.c_str());
        return 1;
    }
    const uint64_t total = sizeMiB << 20;
    std::printf("AFC throughput, %llu MiB per run, libimobiledevice client, virtual device %s\n",
                static_cast<unsigned long long>(sizeMiB), udid.c_str());
    bool ok = true;
    for (const uint32_t chunk : {64u << 10, 1u << 20}) {
        std::vector<char> buffer(chunk, 'x');
        const std::string path = "bench-" + std::to_string(chunk) + ".bin";
        const double write = writeFile(session.afc, path.c_str(), buffer, chunk, total);
        const double read = readFile(session.afc, path.c_str(), buffer, chunk, total);
        afc_remove_path(session.afc, path.c_str());
        for (const auto &[name, value] : {std::pair<const char *, double>{"write", write}, {"read", read}}) {
            std::printf("%-5s %5u KiB chunks: %9.1f MB/s\n", name, chunk >> 10, value);
            ok = ok && value >= 0 && value >= minimum;
        }
    }
    return ok ? 0 : 1;
}
