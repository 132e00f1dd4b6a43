// The program's entry: the application object, translations, preferences and
// the command line, one instance per user (the demo devices have their own),
// the main window, and the device service check.

#include "DemoDevices.h"
#include "DevPort.h"
#include "MainWindow.h"
#include "ScreenshotTour.h"
#include "TulApplication.h"
#include "TulMessageBox.h"
#include "TulPref.h"

#include <QCommandLineOption>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QPalette>
#include <QStandardPaths>
#include <QUrl>

#include <cstdio>

namespace {

const char kDemoOption[] = "demo";
const char kSocketOption[] = "usbmuxd-socket";
const char kScreenshotsOption[] = "screenshots";
const char kReportLoadsOption[] = "report-loads";
const char kUsbmuxdPage[] = "https://github.com/libimobiledevice/usbmuxd#readme";

// usbmuxd is started by the system when a device is plugged in, so a silent
// socket alone says nothing; missing is when it neither answers nor is installed.
bool deviceServiceMissing()
{
    if (DVPT_CheckService() == 0)
        return false;
    const QStringList system = {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                QStringLiteral("/usr/local/sbin"), QStringLiteral("/usr/bin")};
    return QStandardPaths::findExecutable(QStringLiteral("usbmuxd")).isEmpty()
        && QStandardPaths::findExecutable(QStringLiteral("usbmuxd"), system).isEmpty();
}

void askForDeviceService()
{
    const QString text =
        QCoreApplication::translate("main", "%1 reaches iPhone, iPad and iPod touch through the usbmuxd service, "
                                            "which is not installed. Install it with \"sudo apt install usbmuxd\"; "
                                            "it starts by itself when a device is plugged in.")
            .arg(TulPref::product_name())
        + QLatin1Char('\n')
        + QCoreApplication::translate("main", "Click \"OK\" to read more about usbmuxd.");
    const auto answer = TulMessageBox::question(text, TulPref::product_name(), QMessageBox::Ok | QMessageBox::Cancel,
                                                nullptr, QMessageBox::Ok, true);
    if (answer == QMessageBox::Ok)
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(kUsbmuxdPage)));
}

} // namespace

int main(int argc, char **argv)
{
    TulApplication app(QString(), argc, argv);
    app.setTulfcVersion(TulApplication::kTulfcVersion);
    if (!app.checkIntegrality()) {
        if (argc == 1)
            QMessageBox::warning(nullptr, QCoreApplication::translate("main", "Error"),
                                 QCoreApplication::translate("main", "Start the program failed. Please re-install it."),
                                 QMessageBox::Ok);
        return 0;
    }

    const QString plugins = QCoreApplication::applicationDirPath() + QStringLiteral("/plugins");
    QCoreApplication::addLibraryPath(QDir(plugins).exists() ? plugins : QCoreApplication::applicationDirPath());
    TulPref::instance()->setTanslucentWhenSkin(false);
    app.installTranslators();
    app.initCfg(nullptr, true);

    app.addCommandLineOption(QCommandLineOption(
        QString::fromLatin1(kDemoOption),
        QCoreApplication::translate("main", "Start with the demo devices (an older iPhone and a current iPad).")));
    app.addCommandLineOption(QCommandLineOption(
        QString::fromLatin1(kSocketOption),
        QCoreApplication::translate("main", "Reach devices through the usbmuxd socket at <path>."),
        QStringLiteral("path")));
    QCommandLineOption screenshotsOption(QString::fromLatin1(kScreenshotsOption),
                                         QStringLiteral("Save pictures of the window on the demo devices into <folder>."),
                                         QStringLiteral("folder"));
    screenshotsOption.setFlags(QCommandLineOption::HiddenFromHelp);
    app.addCommandLineOption(screenshotsOption);
    QCommandLineOption darkOption(QStringLiteral("screenshots-dark"),
                                  QStringLiteral("Take the pictures in a dark palette."));
    darkOption.setFlags(QCommandLineOption::HiddenFromHelp);
    app.addCommandLineOption(darkOption);
    // For start-up timing: a line "loaded" each time a device's app list is in.
    QCommandLineOption reportLoadsOption(QString::fromLatin1(kReportLoadsOption),
                                         QStringLiteral("Print a line each time a device's app list is loaded."));
    reportLoadsOption.setFlags(QCommandLineOption::HiddenFromHelp);
    app.addCommandLineOption(reportLoadsOption);
    if (app.processCmdLine(argc, argv))
        return 0;
    const QString screenshots = app.optionValue(QString::fromLatin1(kScreenshotsOption));

    // The demo devices and another device service are separate worlds: each
    // gets its own instance.
    const bool demo = app.isOptionSet(QString::fromLatin1(kDemoOption)) || !screenshots.isEmpty();
    const QString socket = app.optionValue(QString::fromLatin1(kSocketOption));
    QString instanceId = TulPref::productInfo(QStringLiteral("SINGLETON_APP_ID"));
    if (demo)
        instanceId += QStringLiteral("-demo");
    else if (!socket.isEmpty())
        instanceId += QStringLiteral("-") + QString::number(qHash(QDir(socket).absolutePath()), 16);
    if (app.isRunning(instanceId))
        return 0;

    if (TulPref::productInfo(QStringLiteral("support_mac_app_store")) == QLatin1String("true")) {
        QCoreApplication::setOrganizationDomain(TulPref::company_root_key());
        QCoreApplication::setOrganizationName(TulPref::company_root_key());
    }

    DemoDevices demoDevices;
    if (!socket.isEmpty())
        DemoDevices::useSocket(socket);
    if (!screenshots.isEmpty()) {
        // The tour starts the demo devices through the getting-started page;
        // until then no device service answers.
        DemoDevices::useSocket(QDir::tempPath() + QStringLiteral("/appshuttle-no-devices"));
    } else if (demo) {
        QString error;
        if (!demoDevices.start(&error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }

    if (!screenshots.isEmpty() && app.isOptionSet(QStringLiteral("screenshots-dark"))) {
        // What a dark desktop theme gives, for looking at the window in one;
        // set before any widget is polished, as a desktop theme is.
        QPalette dark(QColor(0x31, 0x36, 0x3b), QColor(0x2a, 0x2e, 0x32));
        dark.setColor(QPalette::Base, QColor(0x1b, 0x1e, 0x20));
        dark.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
        dark.setColor(QPalette::Link, QColor(0x3d, 0xae, 0xe9));
        QApplication::setPalette(dark);
    }
    MainWindow window;
    window.setDemoOffered(socket.isEmpty());
    QObject::connect(&window, &MainWindow::demoRequested, &window, [&demoDevices, &window] {
        if (demoDevices.isRunning())
            return;
        QString error;
        if (!demoDevices.start(&error)) {
            TulMessageBox::info(QCoreApplication::translate("main", "The demo devices could not be started."),
                                QString(), window.widgetFrame());
            return;
        }
        window.restartScanning();
    });
    if (app.isOptionSet(QString::fromLatin1(kReportLoadsOption))) {
        QObject::connect(&window, &MainWindow::signalLoadTaskCompleted, [] {
            std::fputs("\nloaded", stdout);
            std::fflush(stdout);
        });
    }
    app.setMainWindow(&window);
    app.setActivationWindow(window.widgetFrame(), true);
    window.show(true);

    std::fputs("command:close splash screen", stdout);
    std::fflush(stdout);

    if (!demo && socket.isEmpty() && deviceServiceMissing())
        askForDeviceService();
    if (!screenshots.isEmpty()) {
        auto *tour = new ScreenshotTour(&window, screenshots, demoDevices.packagesFolder(),
                                        [&demoDevices] { demoDevices.slowTransfers(700); });
        tour->start();
        return app.exec();
    }

    app.exec();
    return 0;
}
