// The app service on the virtual device, beside ideviceinstaller doing the
// same work where it can: loading the app list, installing a large package,
// exporting it back, and a large document in and out. The virtual device
// runs as its own process, so the peak memory printed is the program's own.
//
//   bench_appservice [--apps N] [--megabytes M]

#include "AppHandler.h"
#include "AppTask.h"
#include "DevPort.h"
#include "FirstDevice.h"
#include "VPackageBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

class QuietTask : public AppTask
{
public:
    QuietTask() : AppTask(nullptr, AppTask::InstallAppTask) {}
    void setParams(const QVariantList &) override {}
    int execute() override { return 0; }
    void requestOverwriteConfirm(bool *answer) override { *answer = true; }
};

double seconds(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// Runs ideviceinstaller against the virtual device; seconds, or -1 on failure.
double ideviceinstaller(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("ideviceinstaller"), args);
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "ideviceinstaller %s: %s\n", qPrintable(args.join(QLatin1Char(' '))),
                     p.readAll().trimmed().constData());
        return -1;
    }
    return seconds(t);
}

void row(const char *what, double mb, double ours, double theirs)
{
    auto rate = [mb](double s) { return mb > 0 && s > 0 ? mb / s : 0.0; };
    if (theirs > 0)
        std::printf("%-34s %8.2f s %8.1f MB/s   ideviceinstaller %8.2f s %8.1f MB/s\n", what, ours, rate(ours), theirs,
                    rate(theirs));
    else
        std::printf("%-34s %8.2f s %8.1f MB/s\n", what, ours, rate(ours));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    // Building the package happens in a child process so that its buffers do
    // not count towards the memory figure.
    if (args.size() == 4 && args[1] == QLatin1String("--make-package")) {
        VPackageBuilder builder(QStringLiteral("com.bench.large"));
        builder.setName(QStringLiteral("Large")).setExecutableSize(args[3].toLongLong() * 1024 * 1024, true);
        return builder.write(args[2]) ? 0 : 1;
    }
    int apps = 300;
    int megabytes = 200;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--apps"))
            apps = qMax(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--megabytes"))
            megabytes = qMax(1, args[i + 1].toInt());
    }

    QTemporaryDir dir;
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
    const QString udid = QString::fromStdString(id.substr(id.find('-') + 1));
    const QStringList target{QStringLiteral("-u"), udid};
    AppHandler handler(QByteArray::fromStdString(id));
    std::printf("virtual device %s, %d apps, %d MiB package and document\n\n", id.c_str(), apps, megabytes);

    QElapsedTimer t;
    t.start();
    const int loaded = handler.Load();
    const double load = seconds(t);
    const double list = ideviceinstaller(target + QStringList{QStringLiteral("-l")});
    std::printf("%-34s %8.2f s (%d apps, icons and metadata; result %d)   ideviceinstaller -l %8.2f s\n",
                "load the app list", load, int(handler.items().size()), loaded, list);

    const QString package = dir.path() + QStringLiteral("/large.ipa");
    if (QProcess::execute(app.applicationFilePath(), {QStringLiteral("--make-package"), package, QString::number(megabytes)}) != 0) {
        std::fprintf(stderr, "package not built\n");
        return 1;
    }
    const double packageMb = double(QFileInfo(package).size()) / (1024.0 * 1024.0);
    QuietTask task;
    t.restart();
    const int installed = handler.AppInstall(package.toUtf8(), &task);
    const double install = seconds(t);
    const QString exported = dir.path() + QStringLiteral("/exported.ipa");
    t.restart();
    const int archived = handler.AppArchive("com.bench.large", true, exported.toUtf8(), &task);
    const double archive = seconds(t);
    const double theirInstall = ideviceinstaller(target + QStringList{QStringLiteral("-i"), package});
    QDir().mkpath(dir.path() + QStringLiteral("/theirs"));
    const double theirArchive = ideviceinstaller(target + QStringList{QStringLiteral("-a"), QStringLiteral("com.bench.large"),
                                                                      QStringLiteral("-o"), QStringLiteral("app_only"),
                                                                      QStringLiteral("-o"), QStringLiteral("copy=") + dir.path() + QStringLiteral("/theirs"),
                                                                      QStringLiteral("-o"), QStringLiteral("remove")});
    row(qPrintable(QStringLiteral("install (result %1)").arg(installed)), packageMb, install, theirInstall);
    row(qPrintable(QStringLiteral("export app only (result %1)").arg(archived)), packageMb, archive, theirArchive);

    // A document of the same size into an app that shares files.
    QString sharing;
    const AppInfoItemMap items = handler.items();
    for (const AppInfoItem &item : items) {
        if (item.fileSharingEnabled) {
            sharing = item.appId;
            break;
        }
    }
    const QString document = dir.path() + QStringLiteral("/document.bin");
    {
        QFile f(document);
        f.open(QIODevice::WriteOnly);
        QByteArray block(1024 * 1024, Qt::Uninitialized);
        for (int i = 0; i < block.size(); ++i)
            block[i] = char(i * 7);
        for (int i = 0; i < megabytes; ++i)
            f.write(block);
    }
    t.restart();
    const int added = handler.AppAddDoc(sharing.toUtf8(), document.toUtf8(), &task);
    const double add = seconds(t);
    t.restart();
    const int copied = handler.AppExportDoc(sharing.toUtf8(), "document.bin", (dir.path() + QStringLiteral("/back.bin")).toUtf8(), &task);
    const double copy = seconds(t);
    row(qPrintable(QStringLiteral("add a document (result %1)").arg(added)), double(megabytes), add, 0);
    row(qPrintable(QStringLiteral("copy it back (result %1)").arg(copied)), double(megabytes), copy, 0);
    std::printf("\npeak memory of this process: %.1f MB\n", peakMegabytes());

    DVPT_Shutdown();
    daemon.terminate();
    daemon.waitForFinished(10000);
    return 0;
}
