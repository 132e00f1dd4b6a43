#include "MainWindow.h"

#include "AppHandler.h"
#include "AppTaskCtrl.h"
#include "AppWidget.h"
#include "DevPort.h"
#include "DeviceSummaryPanel.h"
#include "DeviceTreeWidget.h"
#include "DiagLog.h"
#include "IPodDeviceInfo.h"
#include "SettingDlg.h"
#include "Tul.h"
#include "TulGettingStartedWeb.h"
#include "TulMessageBox.h"
#include "TulPref.h"
#include "questiondlg.h"
#include "ui_MainWindow.h"
#include "watingdlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

const QString MainWindow::kDemoLink = QStringLiteral("appshuttle:demo");

namespace {

// The window the device link's callbacks reach; null once it is destroyed.
QPointer<MainWindow> g_mainWindow;

// Runs on a thread of the device link: only hands the change to the GUI thread.
void onDeviceChangeCallback(int state, const char *deviceId)
{
    MainWindow *window = g_mainWindow.data();
    if (window)
        emit window->iphoneDeviceChange(state, QString::fromUtf8(deviceId ? deviceId : ""));
}

// Runs on a thread of the device link while it opens a device; waits for the
// user's answer on the GUI thread. 1 asks the link to try again.
int onPasscodeCallback(const char *deviceId)
{
    MainWindow *window = g_mainWindow.data();
    if (!window) {
        DIAG_LOG("no main window");
        return 0;
    }
    // The blocking queued connection returns once the GUI thread has answered.
    emit window->signalNeedPassWord(QString::fromLocal8Bit(deviceId ? deviceId : ""));
    const bool retry = window->lastRetryAnswer();
    return retry ? 1 : 0;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : TulMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
{
    g_mainWindow = this;

    ui->setupUi(this);
    ui->treeViewStackedWidget->setCurrentIndex(SummaryPage);

    initialize();

    connect(this, &MainWindow::iphoneDeviceChange, this, &MainWindow::onDeviceChange);
    connect(ui->deviceTreeWidget, &DeviceTreeWidget::appsSelectChanged, this, &MainWindow::onDeviceSelectChanged);
    connect(ui->deviceTreeWidget, &DeviceTreeWidget::selectionDevice, this, &MainWindow::slotShowDeviceSummary);
    connect(ui->deviceTreeWidget, &DeviceTreeWidget::getStartWeb, this, &MainWindow::slotShowGettingStarted);
    connect(this, &MainWindow::signalNeedPassWord, this, &MainWindow::slotNeedPassWord, Qt::BlockingQueuedConnection);

    // The tree: name, busy indicator, eject button.
    QTreeWidget *tree = ui->deviceTreeWidget;
    tree->setColumnCount(3);
    tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tree->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    tree->header()->setSectionResizeMode(2, QHeaderView::Fixed);
    tree->header()->setStretchLastSection(false);
    tree->setColumnWidth(1, 18);
    tree->setColumnWidth(2, 24);
    setDefaultSize(QSize(848, 600));
    auto *appsLayout = new QHBoxLayout(ui->appsPage);
    appsLayout->setSpacing(0);
    appsLayout->setContentsMargins(0, 0, 0, 0);
    auto *busyTimer = new QTimer(this);
    connect(busyTimer, &QTimer::timeout, this, &MainWindow::slotUpdateDeviceRevolveStatus);
    busyTimer->start(kBusyIntervalMs);

    // Menus: Eject in the first menu before the exit action, Settings in the second.
    ejectMenu = new QMenu(this);
    ejectMenu->setObjectName(QStringLiteral("ejectMenu"));
    ejectMenu->setIcon(QIcon::fromTheme(QStringLiteral("media-eject")));
    if (QMenu *first = firstMenu()) {
        if (QAction *exit = exitAction()) {
            first->removeAction(exit);
            first->addMenu(ejectMenu);
            first->addSeparator();
            first->addAction(exit);
            exit->setMenuRole(QAction::QuitRole);
        } else {
            first->addMenu(ejectMenu);
        }
    }
    settingsAction = new QAction(this);
    settingsAction->setObjectName(QStringLiteral("settingsAction"));
    settingsAction->setMenuRole(QAction::PreferencesRole);
    settingsAction->setIcon(QIcon::fromTheme(QStringLiteral("configure"),
                                             QIcon::fromTheme(QStringLiteral("preferences-system"))));
    if (QMenu *second = secondMenu()) {
        second->addSeparator();
        second->addAction(settingsAction);
    }
    connect(settingsAction, &QAction::triggered, this, &MainWindow::onSettingDlg);
    ejectMenu->setEnabled(false);

    // The summary page: the rows below type and serial number, in the same
    // grid so that all captions line up.
    summaryPanel = new DeviceSummaryPanel(ui->deviceInfoFrame);
    summaryPanel->setObjectName(QStringLiteral("deviceSummaryPanel"));
    ui->gridLayout->setContentsMargins(0, 0, 0, 0);
    ui->gridLayout->addWidget(summaryPanel, 2, 0, 1, 2);
    ui->gridLayout->setColumnStretch(1, 1);
    QFont nameFont = ui->deviceName->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.6);
    nameFont.setBold(true);
    ui->deviceName->setFont(nameFont);

    // The getting-started page.
    ui->treeViewStackedWidget->setCurrentIndex(GettingStartedPage);
    startWeb = TulGettingStartedWeb::createWebView(this, QString());
    startWeb->setAcceptDrops(false);
    // Links are ours to follow: the demo link runs here, web links open in the browser.
    startWeb->setOpenLinks(false);
    startWeb->setOpenExternalLinks(false);
    connect(startWeb, &QTextBrowser::anchorClicked, this, &MainWindow::onStartPageLink);
    startWeb->setPageDir(QStringLiteral("devicegettingstartedweb"));
    startWeb->setPageName(QStringLiteral("GettingStarted.html"));
    auto *startLayout = new QHBoxLayout(ui->getttingStartedPage);
    startLayout->setContentsMargins(0, 1, 0, 0);
    startLayout->setSpacing(0);
    startLayout->addWidget(startWeb);

    // The status bar's progress of the current device's transfers.
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setAlignment(Qt::AlignCenter);
    progressBar->setFormat(QString());
    statusBar()->addWidget(progressBar, 1);
    progressBar->hide();
    auto *progressTimer = new QTimer(this);
    connect(progressTimer, &QTimer::timeout, this, &MainWindow::slotRefreshProgressInfo);
    progressTimer->start(kProgressIntervalMs);

    retranslate();
    QTimer::singleShot(0, this, &MainWindow::slot_register_and_scan);
}

MainWindow::~MainWindow()
{
    g_mainWindow = nullptr;
    // Pages go before the device link lets go of their devices.
    for (AppWidget *page : qAsConst(pages))
        delete page;
    pages.clear();
    currentPage = nullptr;
    if (scanning)
        DVPT_Shutdown();
}

void MainWindow::setDemoOffered(bool offered)
{
    demoOffered = offered;
}

void MainWindow::slot_register_and_scan()
{
    if (scanning)
        return;
    const QByteArray temp = (Tul::tempPath() + QLatin1Char('/')).toUtf8();
    DVPT_Init(onDeviceChangeCallback, temp.constData(), "", 0, onPasscodeCallback, 1);
    scanning = true;
}

void MainWindow::restartScanning()
{
    const QStringList serials = pages.keys();
    for (const QString &serial : serials)
        onDeviceChange(0, serial);
    if (scanning) {
        DVPT_Shutdown();
        scanning = false;
    }
    slot_register_and_scan();
}

AppWidget *MainWindow::createPage(const QString &serial)
{
    for (int attempt = 1; attempt <= kPageAttempts; ++attempt) {
        auto *page = new AppWidget(serial, ui->appsPage);
        if (page->handler())
            return page;
        delete page;
        DIAG_LOG(qPrintable(QStringLiteral("device %1 could not be opened (attempt %2)").arg(serial).arg(attempt)));
    }
    return nullptr;
}

void MainWindow::onDeviceChange(int bConnect, QString serial)
{
    if (bConnect == 1) {
        if (pages.contains(serial) || arrivals.contains(serial))
            return;
        AppWidget *created = createPage(serial);
        if (!created) {
            DIAG_LOG(qPrintable(QStringLiteral("device %1 left out").arg(serial)));
            TulMessageBox::info(tr("The device could not be opened. Unplug it, unlock it and plug it in again."),
                                QString(), widgetFrame());
            return;
        }
        QPointer<AppWidget> page = created;
        auto *dialog = new watingdlg(watingdlg::ModeLoading, widgetFrame());
        dialog->setModal(true);
        connect(page, &AppWidget::signalLoadTaskCompleted, dialog, &watingdlg::onTaskCompleted);
        connect(page, &AppWidget::signalLoadTaskCompleted, this, &MainWindow::signalLoadTaskCompleted);
        pages.insert(serial, page);
        placePage(serial);
        rebuildEjectMenu();
        arrivals.insert(serial, dialog);
        if (!dialog->completed())
            dialog->exec();
        arrivals.remove(serial);
        // The device may have gone while the dialog was up.
        if (page && pages.value(serial) == page)
            ui->deviceTreeWidget->addDevice(page->handler()->deviceInfo(), DeviceTreeWidget::DeviceFunctionApps);
        delete dialog;
        return;
    }
    if (bConnect != 0)
        return;
    AppWidget *page = pages.value(serial);
    if (!page)
        return;
    if (page == currentPage)
        currentPage = nullptr;
    ui->deviceTreeWidget->selectFirstRow();
    ui->deviceTreeWidget->removeDevice(serial);
    pages.remove(serial);
    rebuildEjectMenu();
    if (QPointer<watingdlg> dialog = arrivals.value(serial))
        dialog->onTaskCompleted();
    if (summarySerial == serial) {
        summarySerial.clear();
        summaryPanel->clear();
    }
    delete page;
    if (pages.isEmpty())
        ui->treeViewStackedWidget->setCurrentIndex(GettingStartedPage);
}

void MainWindow::placePage(const QString &serial)
{
    QLayout *layout = ui->appsPage->layout();
    AppWidget *page = pages.value(serial);
    if (!page) {
        if (currentPage) {
            currentPage->hide();
            layout->removeWidget(currentPage);
        }
        currentPage = nullptr;
        return;
    }
    if (page == currentPage)
        return;
    if (currentPage) {
        currentPage->hide();
        layout->removeWidget(currentPage);
    }
    layout->addWidget(page);
    currentPage = page;
    page->show();
}

void MainWindow::onDeviceSelectChanged(QString serial)
{
    ui->treeViewStackedWidget->setCurrentIndex(AppsPage);
    placePage(serial);
}

void MainWindow::slotShowDeviceSummary(QString serial)
{
    ui->treeViewStackedWidget->setCurrentIndex(SummaryPage);
    fillSummary(serial);
}

void MainWindow::fillSummary(const QString &serial)
{
    AppWidget *page = pages.value(serial);
    if (!page || !page->handler())
        return;
    const IPodDeviceInfo &device = page->handler()->deviceInfo();
    summarySerial = serial;
    ui->serialLabel->setText(QString::fromUtf8(device.serialNumber()));
    ui->typeLabel->setText(QString::fromUtf8(device.typeName()));
    ui->deviceName->setText(QString::fromLocal8Bit(device.name()));
    const int side = 200;
    ui->devicePhoto->setPixmap(QIcon(device.picturePath()).pixmap(QSize(side, side)));
    summaryPanel->showDevice(device);
}

void MainWindow::alignSummaryCaptions()
{
    const int width = qMax(qMax(ui->deviceTypeLabel->sizeHint().width(), ui->deviceSerialLabel->sizeHint().width()),
                           summaryPanel->captionWidth());
    ui->gridLayout->setColumnMinimumWidth(0, width);
    summaryPanel->setCaptionWidth(width);
}

void MainWindow::slotShowGettingStarted()
{
    ui->treeViewStackedWidget->setCurrentIndex(GettingStartedPage);
}

void MainWindow::onStartPageLink(const QUrl &url)
{
    if (url.toString() == kDemoLink) {
        if (demoOffered)
            emit demoRequested();
        return;
    }
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
        QDesktopServices::openUrl(url);
}

void MainWindow::slotNeedPassWord(QString strDevice)
{
    Q_UNUSED(strDevice);
    questiondlg dialog(questiondlg::ModeRetry,
                       tr("Fail to load your device. It may be caused by passcode lock. If so, please enter "
                          "your passcode and click the \"Retry\" button."),
                       QString(), widgetFrame());
    retryAnswer = dialog.exec() != 0;
}

void MainWindow::onSettingDlg()
{
    SettingDlg dialog(widgetFrame());
    connect(&dialog, &SettingDlg::signalAutoUpdateChanged, this, &MainWindow::slotCheckAutoUpdate);
    dialog.exec();
}

void MainWindow::slotCheckAutoUpdate(bool enbaleAutoUpdate, int cycle)
{
    setAutoCheckUpdate(enbaleAutoUpdate);
    setAutoCheckUpdateInterval(cycle);
}

void MainWindow::slotRefreshProgressInfo()
{
    if (!currentPage)
        return;
    const QString key = AppTaskCtrl::deviceKey(currentPage->handler());
    const int percent = AppTaskCtrl::instance()->progress(key).first;
    if (AppTaskCtrl::instance()->isBusy(key)) {
        progressBar->show();
        progressBar->setValue(percent);
        progressBar->setFormat(tr("Transferring (%1% completed)").arg(double(percent), 0, 'f', 1));
    } else {
        progressBar->hide();
    }
}

void MainWindow::slotUpdateDeviceRevolveStatus()
{
    for (auto it = pages.constBegin(); it != pages.constEnd(); ++it) {
        if (AppTaskCtrl::instance()->isBusy(AppTaskCtrl::deviceKey(it.value()->handler())))
            ui->deviceTreeWidget->startBusyIndicator(it.key());
        else
            ui->deviceTreeWidget->stopBusyIndicator(it.key());
    }
}

void MainWindow::rebuildEjectMenu()
{
    QList<QAction *> actions;
    for (auto it = pages.constBegin(); it != pages.constEnd(); ++it) {
        auto *action = new QAction(ejectMenu);
        action->setText(QString::fromLocal8Bit(it.value()->handler()->deviceInfo().name()));
        action->setProperty("serial", it.key().toUtf8());
        connect(action, &QAction::triggered, ui->deviceTreeWidget, &DeviceTreeWidget::on_ejectDevice);
        actions.append(action);
    }
    const QList<QAction *> old = ejectMenu->actions();
    for (QAction *action : old) {
        ejectMenu->removeAction(action);
        action->deleteLater();
    }
    ejectMenu->addActions(actions);
    ejectMenu->setEnabled(!pages.isEmpty());
}

bool MainWindow::anyDeviceBusy() const
{
    for (auto it = pages.constBegin(); it != pages.constEnd(); ++it) {
        if (AppTaskCtrl::instance()->isBusy(AppTaskCtrl::deviceKey(it.value()->handler())))
            return true;
    }
    return false;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!anyDeviceBusy()) {
        // Ending the program is the framework's business.
        event->accept();
        TulMainWindow::closeEvent(event);
        event->ignore();
        return;
    }
    const auto answer = TulMessageBox::question(
        tr("There are one or more tasks running. Exiting will cancel all tasks. Exit anyway?"), QString(),
        QMessageBox::Yes | QMessageBox::No, widgetFrame(), QMessageBox::No, true);
    if (answer != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    if (!pages.isEmpty())
        QCoreApplication::processEvents();
    event->accept();
    TulMainWindow::closeEvent(event);
}

void MainWindow::retranslate()
{
    ui->retranslateUi(this);
    if (ejectMenu)
        ejectMenu->setTitle(tr("Eject"));
    if (settingsAction)
        settingsAction->setText(tr("Settings..."));
    if (!summarySerial.isEmpty())
        fillSummary(summarySerial);
    alignSummaryCaptions();
    setAllWindowTitle(TulPref::product_name());
    TulMainWindow::retranslate();
}
