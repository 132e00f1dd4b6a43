// The app service on the virtual device, beside ideviceinstaller doing the
// same work in the same run: appshuttle-cli's list (text, and --json with
// documents) at several app counts, installs of packages of several sizes on
// a device with the first app count (the two clients take turns going first),
// export, a document in and out, the time to the first list versus the last
// icon, the peak memory of appshuttle-cli, and several devices installing at
// once in one process. Each virtual device runs as its own process; the
// in-process parts run in a child of this program, so every figure is the
// measured program's own.

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

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace {

void usage(FILE *to)
{
    std::fprintf(to,
                 "usage: bench_appservice [--apps N,N...] [--install-mb M,M...] [--megabytes M] [--runs R]\n"
                 "                        [--parallel N] [--parallel-mb M] [--link-rate MBPS]\n"
                 "  --apps         app counts of the list runs (default 300,1000)\n"
                 "  --install-mb   package sizes installed on a device with the first app count (default 50,500)\n"
                 "  --megabytes    size of the exported package and of the document (default 50)\n"
                 "  --runs         runs per figure; the median is printed (default 5)\n"
                 "  --parallel     devices installing at once in one process (default 8; 0 skips)\n"
                 "  --parallel-mb  package size of that run (default 100)\n"
                 "  --link-rate    the parallel run once more with each virtual device's link at this many\n"
                 "                 MB/s, as a USB 2.0 device moves (default 35; 0 skips)\n"
                 "Needs ideviceinstaller on the PATH; appshuttle-cli and appshuttle-vdevice are taken\n"
                 "from this program's folder.\n");
}

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

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Run
{
    double seconds = -1;   // -1: failed
    double peakMb = 0;
};

// One program run, its output thrown away (or kept in outFile); wall time
// and the child's own peak memory.
Run runProgram(const QStringList &command, const QString &outFile = QString())
{
    std::vector<std::string> storage;
    for (const QString &arg : command)
        storage.push_back(arg.toStdString());
    std::vector<char *> argv;
    for (std::string &arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = outFile.isEmpty() ? std::string("/dev/null") : outFile.toStdString();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    Run run;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        return run;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", qPrintable(command.join(QLatin1Char(' '))), status);
        return run;
    }
    run.seconds = seconds(t);
    run.peakMb = double(usage.ru_maxrss) / 1024.0;
    return run;
}

struct Pair
{
    std::vector<double> ours, theirs;
    double peakMb = 0;
};

// The two commands R times each, taking turns at going first.
Pair alternate(const QStringList &ours, const QStringList &theirs, int runs)
{
    Pair pair;
    for (int i = 0; i < runs; ++i) {
        for (int k = 0; k < 2; ++k) {
            const bool oursNow = (i + k) % 2 == 0;
            const Run r = runProgram(oursNow ? ours : theirs);
            (oursNow ? pair.ours : pair.theirs).push_back(r.seconds);
            if (oursNow)
                pair.peakMb = std::max(pair.peakMb, r.peakMb);
        }
    }
    return pair;
}

void printPair(const QString &what, const Pair &p, double megabytes = 0)
{
    const double ours = median(p.ours);
    const double theirs = median(p.theirs);
    const double ratio = theirs > 0 ? ours / theirs : 0;
    if (megabytes > 0)
        std::printf("%-44s %8.3f s %7.1f MB/s  ideviceinstaller %8.3f s %7.1f MB/s  time ratio %.2f  peak %.1f MB\n",
                    qPrintable(what), ours, megabytes / ours, theirs, megabytes / theirs, ratio, p.peakMb);
    else
        std::printf("%-44s %8.3f s  ideviceinstaller %8.3f s  ratio %.2f  peak %.1f MB\n", qPrintable(what), ours,
                    theirs, ratio, p.peakMb);
    std::fflush(stdout);
}

class Daemon
{
public:
    Daemon(const QString &folder, int devices, int apps, int linkRate = 0)
    {
        m_socket = folder + QStringLiteral("/mux.sock");
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/appshuttle-vdevice"),
                        {QStringLiteral("serve"), QStringLiteral("--socket"), m_socket, QStringLiteral("--state"),
                         folder + QStringLiteral("/state"), QStringLiteral("--devices"), QString::number(devices),
                         QStringLiteral("--apps"), QString::number(apps), QStringLiteral("--link-rate"),
                         QString::number(linkRate)});
        QElapsedTimer wait;
        wait.start();
        while (!QFileInfo::exists(m_socket) && wait.elapsed() < 300000)
            QThread::msleep(20);
        qputenv("USBMUXD_SOCKET_ADDRESS", "UNIX:" + m_socket.toLocal8Bit());
    }
    ~Daemon()
    {
        m_process.terminate();
        m_process.waitForFinished(10000);
    }
    bool ok() const { return QFileInfo::exists(m_socket); }
    // CPU seconds the virtual device has used so far (user + system).
    double cpuSeconds() const
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(m_process.processId()));
        if (!stat.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13)
            return -1;
        return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
    }
    // The UDIDs, as Debian's idevice_id lists them.
    QStringList udids()
    {
        QProcess list;
        list.start(QStringLiteral("idevice_id"), {QStringLiteral("-l")});
        list.waitForFinished(30000);
        return QString::fromLatin1(list.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QString m_socket;
    QProcess m_process;
};

bool makePackage(const QString &path, int megabytes, const QString &bundleId = QStringLiteral("com.bench.large"))
{
    // In a child: the builder's buffers must not count towards anyone's memory.
    return QProcess::execute(QCoreApplication::applicationFilePath(),
                             {QStringLiteral("--make-package"), path, QString::number(megabytes), bundleId})
        == 0;
}

// Child: the app service in this process. Load timings, export, a document
// in and out.
int inProcess(int megabytes, const QString &folder)
{
    const std::string id = FirstDevice::wait(30);
    if (id.empty())
        return 1;
    AppHandler handler(QByteArray::fromStdString(id));
    QElapsedTimer t;
    double listed = -1, lastIcon = -1;
    int icons = 0;
    QObject::connect(&handler, &AppHandler::data_loadcompleted, &handler,
                     [&](const AppInfoItemMap &) { listed = seconds(t); }, Qt::DirectConnection);
    QObject::connect(&handler, qOverload<AppInfoItem, DATACHANGED_REASON>(&AppHandler::data_itemchanged), &handler,
                     [&](const AppInfoItem &, DATACHANGED_REASON reason) {
                         if (reason == ICON_CHANGED) {
                             lastIcon = seconds(t);
                             ++icons;
                         }
                     },
                     Qt::DirectConnection);
    t.start();
    const int loaded = handler.Load();
    const double done = seconds(t);
    std::printf("%-44s first list %.3f s, last icon %.3f s (%d icons), all in %.3f s (result %d)\n",
                "load with icons and documents", listed, lastIcon, icons, done, loaded);

    QuietTask task;
    if (handler.canExportApps() && handler.items().contains(QStringLiteral("com.bench.large"))) {
        const QString exported = folder + QStringLiteral("/exported.ipa");
        t.restart();
        const int archived = handler.AppArchive("com.bench.large", true, exported.toUtf8(), &task);
        const double s = seconds(t);
        const double mb = double(QFileInfo(exported).size()) / (1024.0 * 1024.0);
        std::printf("%-44s %8.3f s %7.1f MB/s (result %d)\n", "export app only (in process)", s, mb / s, archived);
    }
    QString sharing;
    const AppInfoItemMap items = handler.items();
    for (const AppInfoItem &item : items) {
        if (item.fileSharingEnabled) {
            sharing = item.appId;
            break;
        }
    }
    const QString document = folder + QStringLiteral("/document.bin");
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
    const int copied = handler.AppExportDoc(sharing.toUtf8(), "document.bin", (folder + QStringLiteral("/back.bin")).toUtf8(), &task);
    const double copy = seconds(t);
    std::printf("%-44s %8.3f s %7.1f MB/s (result %d)\n", "add a document", add, megabytes / add, added);
    std::printf("%-44s %8.3f s %7.1f MB/s (result %d)\n", "copy it back", copy, megabytes / copy, copied);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%-44s %.1f MB\n", "peak memory of the in-process run", double(usage.ru_maxrss) / 1024.0);
    std::fflush(stdout);
    DVPT_Shutdown();
    return 0;
}

// Child: one device installing alone, then every device at once; each runs
// times, the medians compared.
int parallelInstall(int devices, const QString &package, int runs)
{
    std::vector<std::string> ids = FirstDevice::waitAll(devices, 60);
    if (int(ids.size()) < devices) {
        std::fprintf(stderr, "only %d of %d devices arrived\n", int(ids.size()), devices);
        return 1;
    }
    std::vector<std::unique_ptr<AppHandler>> handlers;
    for (const std::string &id : ids)
        handlers.push_back(std::make_unique<AppHandler>(QByteArray::fromStdString(id)));
    for (auto &h : handlers)
        h->setLoadParts(0);
    // -1003: installed, the package only not tagged for that device.
    const auto installed = [](int rc) { return rc == 0 || rc == -1003; };
    std::atomic<int> failures{0};
    std::vector<double> alone, together;
    QElapsedTimer t;
    for (int run = 0; run < runs; ++run) {
        QuietTask task;
        t.start();
        if (!installed(handlers[0]->AppInstall(package.toUtf8(), &task)))
            ++failures;
        alone.push_back(seconds(t));
        std::vector<std::thread> threads;
        t.restart();
        for (size_t i = 0; i < handlers.size(); ++i) {
            threads.emplace_back([&, i] {
                QuietTask own;
                if (!installed(handlers[i]->AppInstall(package.toUtf8(), &own)))
                    ++failures;
            });
        }
        for (std::thread &th : threads)
            th.join();
        together.push_back(seconds(t));
    }
    const double one = median(alone), all = median(together);
    const double mb = double(QFileInfo(package).size()) / (1024.0 * 1024.0);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("%-44s one device %.2f s, %d at once %.2f s (%d of %d installs failed): %.2f x one device's time;\n"
                "%-44s this process used %.3f s of CPU per install, %.1f MB at most\n",
                qPrintable(QStringLiteral("install %1 MB on several devices").arg(mb, 0, 'f', 0)), one, devices, all,
                int(failures), runs * (devices + 1), all / one, "", cpu / double(runs * (devices + 1)),
                double(usage.ru_maxrss) / 1024.0);
    std::fflush(stdout);
    DVPT_Shutdown();
    return 0;
}

QList<int> numbers(const QString &text)
{
    QList<int> list;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        list << qMax(1, part.toInt());
    return list;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--make-package")) {
        VPackageBuilder builder(args[4]);
        builder.setName(QStringLiteral("Large")).setExecutableSize(args[3].toLongLong() * 1024 * 1024, true);
        return builder.write(args[2]) ? 0 : 1;
    }
    if (args.size() == 4 && args[1] == QLatin1String("--in-process"))
        return inProcess(args[2].toInt(), args[3]);
    if (args.size() == 5 && args[1] == QLatin1String("--parallel-install"))
        return parallelInstall(args[2].toInt(), args[3], qMax(1, args[4].toInt()));

    QList<int> appCounts{300, 1000};
    QList<int> installSizes{50, 500};
    int megabytes = 50;
    int runs = 5;
    int parallel = 8;
    int parallelMb = 100;
    int linkRate = 35;
    for (int i = 1; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        const QString &a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            usage(stdout);
            return 0;
        }
        if (!hasValue) {
            usage(stderr);
            return 2;
        }
        const QString value = args[++i];
        if (a == QLatin1String("--apps"))
            appCounts = numbers(value);
        else if (a == QLatin1String("--install-mb"))
            installSizes = numbers(value);
        else if (a == QLatin1String("--megabytes"))
            megabytes = qMax(1, value.toInt());
        else if (a == QLatin1String("--runs"))
            runs = qMax(1, value.toInt());
        else if (a == QLatin1String("--parallel"))
            parallel = qMax(0, value.toInt());
        else if (a == QLatin1String("--parallel-mb"))
            parallelMb = qMax(1, value.toInt());
        else if (a == QLatin1String("--link-rate"))
            linkRate = qMax(0, value.toInt());
        else {
            usage(stderr);
            return 2;
        }
    }
    if (appCounts.isEmpty()) {
        usage(stderr);
        return 2;
    }

    const QString cli = app.applicationDirPath() + QStringLiteral("/appshuttle-cli");
    // The devices' folders in memory when there is room: a virtual device
    // writing every package to disk twice measures the disk, not a client.
    const QString shm = QStringLiteral("/dev/shm");
    const bool inMemory = QFileInfo(shm).isDir() && QFileInfo(shm).isWritable();
    const std::unique_ptr<QTemporaryDir> temporary(inMemory ? new QTemporaryDir(shm + QStringLiteral("/bench_appservice-XXXXXX"))
                                                            : new QTemporaryDir);
    QTemporaryDir &dir = *temporary;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    std::printf("virtual devices' folders in %s\n", qPrintable(dir.path()));
    std::printf("medians of %d runs; ratios are appshuttle-cli's time over ideviceinstaller's\n\n", runs);
    for (int index = 0; index < appCounts.size(); ++index) {
        const int apps = appCounts[index];
        const QString folder = dir.path() + QStringLiteral("/apps%1").arg(apps);
        QDir().mkpath(folder);
        Daemon daemon(folder, 1, apps);
        const QStringList udids = daemon.udids();
        if (!daemon.ok() || udids.isEmpty()) {
            std::fprintf(stderr, "the virtual device did not start\n");
            return 1;
        }
        const QString udid = udids.first();
        const QStringList idi{QStringLiteral("ideviceinstaller"), QStringLiteral("-u"), udid};
        const QStringList ours{cli, QStringLiteral("-d"), udid};
        std::printf("-- virtual device with %d apps\n", apps);
        printPair(QStringLiteral("list, %1 apps").arg(apps), alternate(ours + QStringList{QStringLiteral("list")},
                                                                         idi + QStringList{QStringLiteral("-l")}, runs));
        printPair(QStringLiteral("list --json with documents, %1 apps").arg(apps),
                  alternate(ours + QStringList{QStringLiteral("list"), QStringLiteral("--json")},
                            idi + QStringList{QStringLiteral("-l")}, runs));
        if (index == 0) {
            for (int size : installSizes) {
                const QString package = folder + QStringLiteral("/large%1.ipa").arg(size);
                if (!makePackage(package, size)) {
                    std::fprintf(stderr, "package not built\n");
                    return 1;
                }
                const double mb = double(QFileInfo(package).size()) / (1024.0 * 1024.0);
                printPair(QStringLiteral("install %1 MB on %2 apps").arg(mb, 0, 'f', 0).arg(apps),
                          alternate(ours + QStringList{QStringLiteral("install"), package, QStringLiteral("--replace")},
                                    idi + QStringList{QStringLiteral("-i"), package}, runs),
                          mb);
                QFile::remove(package);
            }
            // Export and documents: the package of the export's size installed.
            const QString package = folder + QStringLiteral("/export.ipa");
            if (makePackage(package, megabytes) && runProgram(ours + QStringList{QStringLiteral("install"), package, QStringLiteral("--replace")}).seconds > 0) {
                const double mb = double(QFileInfo(package).size()) / (1024.0 * 1024.0);
                QDir().mkpath(folder + QStringLiteral("/ours"));
                QDir().mkpath(folder + QStringLiteral("/theirs"));
                printPair(QStringLiteral("export %1 MB").arg(mb, 0, 'f', 0),
                          alternate(ours + QStringList{QStringLiteral("export"), QStringLiteral("com.bench.large"),
                                                       QStringLiteral("--to"), folder + QStringLiteral("/ours")},
                                    idi + QStringList{QStringLiteral("-a"), QStringLiteral("com.bench.large"),
                                                      QStringLiteral("-o"), QStringLiteral("app_only"),
                                                      QStringLiteral("-o"), QStringLiteral("copy=") + folder + QStringLiteral("/theirs"),
                                                      QStringLiteral("-o"), QStringLiteral("remove")},
                                    runs),
                          mb);
            }
        }
        const Run child = runProgram({app.applicationFilePath(), QStringLiteral("--in-process"), QString::number(megabytes), folder},
                                     folder + QStringLiteral("/inprocess.txt"));
        QFile report(folder + QStringLiteral("/inprocess.txt"));
        if (child.seconds > 0 && report.open(QIODevice::ReadOnly))
            std::printf("%s", report.readAll().constData());
        std::printf("\n");
    }
    // Several devices at once: as fast as this machine goes (the virtual
    // devices then share its cores with the client), and with USB-like links.
    QList<int> rates{0};
    if (linkRate > 0)
        rates << linkRate;
    for (int rate : rates) {
        if (parallel <= 0)
            break;
        const QString folder = dir.path() + QStringLiteral("/parallel%1").arg(rate);
        QDir().mkpath(folder);
        Daemon daemon(folder, parallel, 1, rate);
        const QString package = folder + QStringLiteral("/p.ipa");
        if (!daemon.ok() || !makePackage(package, parallelMb))
            continue;
        std::printf("-- %d virtual devices, %s\n", parallel,
                    rate ? qPrintable(QStringLiteral("each linked at %1 MB/s").arg(rate)) : "links unlimited");
        const Run child = runProgram({app.applicationFilePath(), QStringLiteral("--parallel-install"), QString::number(parallel),
                                      package, QString::number(runs)},
                                     folder + QStringLiteral("/parallel.txt"));
        QFile report(folder + QStringLiteral("/parallel.txt"));
        if (child.seconds > 0 && report.open(QIODevice::ReadOnly))
            std::printf("%s", report.readAll().constData());
        std::printf("%-44s the virtual devices used %.2f s of CPU (they share this machine's cores)\n\n", "",
                    daemon.cpuSeconds());
        QFile::remove(package);
    }
    return 0;
}
