// Cold start of the program on the virtual device: the time from process
// start to the window shown, and to the device's apps page populated, beside
// appshuttle-cli listing the same device. Medians of several runs; the
// window renders offscreen.
//
//   bench_startup [--runs N] [--apps N]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QProcessEnvironment environment(const QString &home, const QString &socket)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("TMPDIR"), home);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("USBMUXD_SOCKET_ADDRESS"), QStringLiteral("UNIX:") + socket);
    return env;
}

// One start of the window: seconds to the window shown and to the app list in.
bool windowRun(const QString &program, const QString &socket, double *shown, double *loaded)
{
    QTemporaryDir home;
    QProcess p;
    p.setProcessEnvironment(environment(home.path(), socket));
    QElapsedTimer t;
    t.start();
    p.start(program, {QStringLiteral("--usbmuxd-socket"), socket, QStringLiteral("--report-loads")});
    QByteArray out;
    *shown = *loaded = -1;
    while (t.elapsed() < 120000 && p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(20);
        out += p.readAllStandardOutput();
        if (*shown < 0 && out.contains("command:close splash screen"))
            *shown = double(t.nsecsElapsed()) / 1e9;
        if (out.contains("\nloaded")) {
            *loaded = double(t.nsecsElapsed()) / 1e9;
            break;
        }
    }
    p.terminate();
    if (!p.waitForFinished(10000))
        p.kill();
    p.waitForFinished();
    return *shown >= 0 && *loaded >= 0;
}

double cliRun(const QString &program, const QString &socket, const QString &device)
{
    QTemporaryDir home;
    QProcess p;
    p.setProcessEnvironment(environment(home.path(), socket));
    QElapsedTimer t;
    t.start();
    p.start(program, {QStringLiteral("-d"), device, QStringLiteral("list")});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return -1;
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int runs = 5;
    QString apps;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size()) {
            runs = std::max(1, args[++i].toInt());
        } else if (args[i] == QLatin1String("--apps") && i + 1 < args.size()) {
            apps = args[++i];
        } else {
            std::printf("usage: bench_startup [--runs N] [--apps N]\n"
                        "  Times the program's cold start on one virtual device (the demo iPhone,\n"
                        "  or N generated apps) to the window shown and to its apps page populated,\n"
                        "  beside appshuttle-cli list on the same device.\n");
            return args[i] == QLatin1String("--help") ? 0 : 2;
        }
    }
    const QString bin = app.applicationDirPath();
    QTemporaryDir dir;
    const QString socket = dir.path() + QStringLiteral("/mux.sock");
    QStringList serve = {QStringLiteral("serve"), QStringLiteral("--socket"), socket, QStringLiteral("--state"),
                         dir.path() + QStringLiteral("/state"), QStringLiteral("--devices"), QStringLiteral("1")};
    serve << (apps.isEmpty() ? QStringList{QStringLiteral("--demo")} : QStringList{QStringLiteral("--apps"), apps});
    QProcess daemon;
    daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon.start(bin + QStringLiteral("/appshuttle-vdevice"), serve);
    QElapsedTimer wait;
    wait.start();
    while (!QFileInfo::exists(socket) && wait.elapsed() < 120000)
        QThread::msleep(50);
    if (!QFileInfo::exists(socket)) {
        std::fprintf(stderr, "the virtual device did not start\n");
        return 1;
    }

    // The device's identifier, as the command line names it.
    QProcess devices;
    QTemporaryDir home;
    devices.setProcessEnvironment(environment(home.path(), socket));
    devices.start(bin + QStringLiteral("/appshuttle-cli"), {QStringLiteral("devices")});
    devices.waitForFinished(60000);
    const QString device = QString::fromUtf8(devices.readAllStandardOutput()).section(QLatin1Char('\t'), 0, 0).trimmed();

    std::vector<double> shown, loaded, cli;
    for (int run = 0; run < runs; ++run) {
        double s = 0, l = 0;
        if (windowRun(bin + QStringLiteral("/appshuttle"), socket, &s, &l)) {
            shown.push_back(s);
            loaded.push_back(l);
        }
        const double c = cliRun(bin + QStringLiteral("/appshuttle-cli"), socket, device);
        if (c >= 0)
            cli.push_back(c);
    }
    daemon.terminate();
    daemon.waitForFinished(10000);

    std::printf("cold start on %s (%s), median of %d runs\n", qPrintable(device),
                apps.isEmpty() ? "demo apps" : qPrintable(apps + QStringLiteral(" apps")), runs);
    std::printf("  window shown            %7.3f s\n", median(shown));
    std::printf("  apps page populated     %7.3f s\n", median(loaded));
    std::printf("  appshuttle-cli list     %7.3f s\n", median(cli));
    return shown.empty() || loaded.empty() ? 1 : 0;
}
