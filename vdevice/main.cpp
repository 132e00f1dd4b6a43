// appshuttle-vdevice: the virtual device daemon and its control client.
//
//   appshuttle-vdevice serve --socket PATH --state DIR [--demo] [--devices N] [--apps N]
//                      [--plain-lockdown] [--idle-timeout SECONDS] [--link-rate MB_PER_SECOND]
//   appshuttle-vdevice ctl --socket PATH list | attach UDID | detach UDID | lock UDID
//                      | unlock UDID | trust UDID | deny UDID | forget-host UDID | untrust UDID
//                      | idle UDID SECONDS | fault UDID SERVICE KIND [ARG] | clear-faults UDID
//                      | end-sessions UDID

#include "VControlClient.h"
#include "VDeviceFolder.h"
#include "VServer.h"

#include <QDir>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <pthread.h>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: appshuttle-vdevice serve --socket PATH --state DIR [--demo] [--devices N] [--apps N]\n"
                 "           [--plain-lockdown] [--idle-timeout SECONDS] [--link-rate MB_PER_SECOND]\n"
                 "  --link-rate: each device's USB link, shared by its connections (a USB 2.0 device\n"
                 "               moves about 35 MB/s; default: unlimited)\n"
                 "       appshuttle-vdevice ctl --socket PATH list | attach UDID | detach UDID\n"
                 "           | lock UDID | unlock UDID | trust UDID | deny UDID | forget-host UDID\n"
                 "           | untrust UDID | idle UDID SECONDS | fault UDID SERVICE KIND [ARG]\n"
                 "           | clear-faults UDID | end-sessions UDID\n"
                 "fault kinds: drop N, error NAME, freespace BYTES, delay MS, garbage, hugelength, ssl;\n"
                 "SERVICE is a service name (com.apple.afc, com.apple.mobile.lockdown, ...) or '*'\n");
    return 2;
}

bool number(const char *text, int *value)
{
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end != '\0' || v < 0 || v > 100000)
        return false;
    *value = int(v);
    return true;
}

int serve(int argc, char **argv)
{
    QString socketPath;
    QString stateDir;
    VPopulateOptions options;
    bool populate = false;
    bool plainLockdown = false;
    int idleSeconds = 0;
    int linkRate = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--socket" && hasValue) {
            socketPath = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--state" && hasValue) {
            stateDir = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--demo") {
            options.demo = populate = true;
        } else if (arg == "--devices" && hasValue && number(argv[i + 1], &options.devices)) {
            populate = true;
            ++i;
        } else if (arg == "--apps" && hasValue && number(argv[i + 1], &options.apps)) {
            populate = true;
            ++i;
        } else if (arg == "--plain-lockdown") {
            plainLockdown = true;
        } else if (arg == "--idle-timeout" && hasValue && number(argv[i + 1], &idleSeconds)) {
            ++i;
        } else if (arg == "--link-rate" && hasValue && number(argv[i + 1], &linkRate)) {
            ++i;
        } else {
            return usage();
        }
    }
    if (socketPath.isEmpty() || stateDir.isEmpty())
        return usage();

    // Every thread inherits this mask; the main thread takes the stopSignals.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // Demo content draws icons; no display is needed for that.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);

    QString error;
    if (!QDir().mkpath(stateDir)) {
        std::fprintf(stderr, "appshuttle-vdevice: cannot create %s\n", qPrintable(stateDir));
        return 1;
    }
    if (populate && VDeviceFolder::deviceDirs(stateDir).isEmpty()
        && !VDeviceFolder::populate(stateDir, options, &error)) {
        std::fprintf(stderr, "appshuttle-vdevice: %s\n", qPrintable(error));
        return 1;
    }
    VServer server(stateDir);
    server.setPlainLockdown(plainLockdown);
    server.setIdleTimeout(idleSeconds * 1000);
    server.setLinkRate(uint64_t(linkRate) * 1000 * 1000);
    if (!server.start(socketPath, &error)) {
        std::fprintf(stderr, "appshuttle-vdevice: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("appshuttle-vdevice: %zu device(s) on %s\n", server.devices().size(), qPrintable(socketPath));
    std::fflush(stdout);
    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    return 0;
}

int ctl(int argc, char **argv)
{
    if (argc < 5 || std::strcmp(argv[2], "--socket") != 0)
        return usage();
    std::vector<std::string> args(argv + 4, argv + argc);
    std::string output;
    const bool ok = VControlClient::run(QString::fromLocal8Bit(argv[3]), args, &output);
    std::fprintf(ok ? stdout : stderr, "%s%s", output.c_str(),
                 output.empty() || output.back() == '\n' ? "" : "\n");
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "serve") == 0)
        return serve(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "ctl") == 0)
        return ctl(argc, argv);
    return usage();
}
