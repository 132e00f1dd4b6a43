// The apps page's responsiveness on the virtual device, offscreen:
//  - the time from the page's construction (its load task starts there) to
//    an icon view that shows the apps, beside `appshuttle-cli list` on the
//    same device;
//  - the longest stall of the GUI thread's event loop while a large package
//    installs and another app exports, measured by a 5 ms timer probe.
//
//   bench_apppage [--apps N] [--megabytes M]     (defaults 300 and 200)

#include "AppActions.h"
#include "AppHandler.h"
#include "AppProxyModel.h"
#include "AppTaskCtrl.h"
#include "AppWidget.h"
#include "DevPort.h"
#include "FirstDevice.h"
#include "Tul.h"
#include "TulMessageBox.h"
#include "TulPref.h"
#include "VPackageBuilder.h"
#include "AppWidgetForm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double msSince(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// Runs the event loop until done() or the timeout; false on timeout.
template <typename Done>
bool spin(Done done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--make-package")) {
        VPackageBuilder builder(QStringLiteral("com.bench.large"));
        builder.setName(QStringLiteral("Large")).setExecutableSize(args[3].toLongLong() * 1024 * 1024, true);
        return builder.write(args[2]) ? 0 : 1;
    }
    int apps = 300;
    int megabytes = 200;
    for (int i = 1; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == QLatin1String("--apps") && hasValue) {
            apps = qMax(1, args[++i].toInt());
        } else if (args[i] == QLatin1String("--megabytes") && hasValue) {
            megabytes = qMax(1, args[++i].toInt());
        } else {
            const bool help = args[i] == QLatin1String("--help") || args[i] == QLatin1String("-h");
            std::fprintf(help ? stdout : stderr,
                         "usage: bench_apppage [--apps N] [--megabytes M]\n"
                         "  The apps page offscreen on a virtual device with N apps (default 300): the time to a\n"
                         "  populated icon view beside appshuttle-cli list, and the longest stall of the event loop\n"
                         "  while an M MiB package (default 200) installs and another app exports.\n");
            return help ? 0 : 2;
        }
    }

    QTemporaryDir dir;
    TulPref::openInstance(dir.path() + QStringLiteral("/prefs.conf"));
    const QString socket = dir.path() + QStringLiteral("/mux.sock");
    QProcess daemon;
    daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon.start(app.applicationDirPath() + QStringLiteral("/appshuttle-vdevice"),
                 {QStringLiteral("serve"), QStringLiteral("--socket"), socket, QStringLiteral("--state"),
                  dir.path() + QStringLiteral("/state"), QStringLiteral("--devices"), QStringLiteral("1"),
                  QStringLiteral("--apps"), QString::number(apps)});
    QElapsedTimer wait;
    wait.start();
    while (!QFileInfo::exists(socket) && wait.elapsed() < 120000)
        QThread::msleep(20);
    if (!QFileInfo::exists(socket)) {
        std::fprintf(stderr, "the virtual device did not start\n");
        return 1;
    }
    qputenv("USBMUXD_SOCKET_ADDRESS", "UNIX:" + socket.toLocal8Bit());
    const std::string id = FirstDevice::wait(20);
    if (id.empty()) {
        std::fprintf(stderr, "the device never arrived\n");
        return 1;
    }
    std::printf("virtual device %s, %d apps, %d MiB package, offscreen\n\n", id.c_str(), apps, megabytes);

    // Load: construction to an icon view showing its apps.
    QElapsedTimer t;
    t.start();
    AppWidget page(QString::fromStdString(id));
    page.resize(985, 723);
    page.show();
    AppProxyModel *proxy = page.proxyModel();
    bool loaded = false;
    QObject::connect(&page, &AppWidget::signalLoadTaskCompleted, [&] { loaded = true; });
    if (!spin([&] { return loaded && proxy->rowCount() >= apps; }, 300000)) {
        std::fprintf(stderr, "the page did not load\n");
        return 1;
    }
    page.form()->listView->viewport()->repaint();
    const double pageMs = msSince(t);
    QProcess cli;
    cli.setProcessChannelMode(QProcess::SeparateChannels);
    t.restart();
    cli.start(app.applicationDirPath() + QStringLiteral("/appshuttle-cli"), {QStringLiteral("list")});
    const bool cliOk = cli.waitForFinished(300000) && cli.exitCode() == 0;
    const double cliMs = msSince(t);
    std::printf("page load to a populated icon view  %9.1f ms  (%d rows)\n", pageMs, proxy->rowCount());
    std::printf("appshuttle-cli list                 %9.1f ms  (%s)\n\n", cliMs, cliOk ? "ok" : "FAILED");

    // Stalls: a large install and an export at once.
    const QString package = dir.path() + QStringLiteral("/large.ipa");
    if (QProcess::execute(app.applicationFilePath(),
                          {QStringLiteral("--make-package"), package, QString::number(megabytes)}) != 0) {
        std::fprintf(stderr, "package not built\n");
        return 1;
    }
    const QString out = dir.path() + QStringLiteral("/out");
    QDir().mkpath(out);
    Tul::setFolderChooser([&](const QString &, const QString &) { return out; });
    TulMessageBox::setAnswerer([](const TulMessageBox::Request &request) {
        if (request.kind == TulMessageBox::Info)
            std::printf("message: %s\n", qPrintable(request.text));
        return QMessageBox::No;
    });

    std::vector<double> gaps;
    QElapsedTimer probeClock;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        gaps.push_back(msSince(probeClock));
        probeClock.restart();
    });
    const QString key = AppTaskCtrl::deviceKey(page.handler());
    probeClock.start();
    probe.start(5);
    t.restart();
    page.slot_dragAddApptoDev({package});
    page.getCurrentView()->selectionModel()->select(proxy->index(0, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    page.slot_app_exporttopc();
    const bool finished = spin([&] { return AppTaskCtrl::instance()->tasks(key).isEmpty(); }, 600000);
    const double workMs = msSince(t);
    probe.stop();
    std::sort(gaps.begin(), gaps.end());
    const double worst = gaps.empty() ? 0 : gaps.back() - 5.0;
    const auto over = std::count_if(gaps.begin(), gaps.end(), [](double g) { return g - 5.0 > 50.0; });
    std::printf("install %d MiB + export, %s in %.1f s\n", megabytes, finished ? "done" : "NOT finished",
                workMs / 1000.0);
    std::printf("event loop: %zu probes, median gap %.2f ms, longest stall %.1f ms, stalls over 50 ms: %ld\n",
                gaps.size(), gaps.empty() ? 0.0 : gaps[gaps.size() / 2], worst, long(over));
    std::printf("exported files: %s\n", qPrintable(QDir(out).entryList(QDir::Files).join(QStringLiteral(", "))));

    DVPT_Shutdown();
    daemon.terminate();
    daemon.waitForFinished(10000);
    return finished ? 0 : 1;
}
