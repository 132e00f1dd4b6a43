#pragma once

#include "TulMainWindow.h"

#include <QMap>
#include <QPointer>
#include <QString>

#include <memory>

class AppWidget;
class DeviceSummaryPanel;
class QMenu;
class QAction;
class QProgressBar;
class QTimer;
class QUrl;
class TulGettingStartedWeb;
class watingdlg;

namespace Ui {
class MainWindow;
}

// The program's window: the device tree on the left; on the right the
// getting-started page, a device's summary, or the apps page of the device
// whose Apps row is selected. It starts the device link on the first pass of
// the event loop and turns its arrival, removal and passcode notifications
// into pages, tree rows and questions.
class MainWindow : public TulMainWindow
{
    Q_OBJECT
public:
    enum StackPage { GettingStartedPage = 0, SummaryPage = 1, AppsPage = 2 };
    // How often an arriving device's page is made again while the device
    // cannot be opened, before the device is left out.
    static constexpr int kPageAttempts = 3;
    static constexpr int kProgressIntervalMs = 500;
    static constexpr int kBusyIntervalMs = 2000;
    // The getting-started page's link that starts the demo devices.
    static const QString kDemoLink;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The pages by device identifier, and the one placed in the apps page.
    const QMap<QString, AppWidget *> &devicePages() const { return pages; }
    AppWidget *currentDevicePage() const { return currentPage; }
    QMenu *ejectDeviceMenu() const { return ejectMenu; }
    QProgressBar *transferProgressBar() const { return progressBar; }
    // Whether the demo link of the getting-started page does anything.
    void setDemoOffered(bool offered);
    // The last answer to the passcode question (true: Retry).
    bool lastRetryAnswer() const { return retryAnswer; }

    void retranslate() override;

signals:
    void iphoneDeviceChange(int bConnect, QString strSerial);
    void signalNeedPassWord(QString strDevicePath);
    void signalLoadTaskCompleted();
    // The user asked for the demo devices (a link of the getting-started page).
    void demoRequested();

public slots:
    void onDeviceChange(int bConnect, QString serial);
    void onDeviceSelectChanged(QString serial);
    void slotShowDeviceSummary(QString serial);
    void slotShowGettingStarted();
    void slotNeedPassWord(QString strDevice);
    void slot_register_and_scan();
    void onSettingDlg();
    void slotCheckAutoUpdate(bool enbaleAutoUpdate, int cycle);
    void slotRefreshProgressInfo();
    void slotUpdateDeviceRevolveStatus();
    // Lets every device go and scans again (after the device service changed,
    // for instance to the demo devices).
    void restartScanning();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void placePage(const QString &serial);
    void rebuildEjectMenu();
    void fillSummary(const QString &serial);
    void alignSummaryCaptions();
    void onStartPageLink(const QUrl &url);
    bool anyDeviceBusy() const;
    AppWidget *createPage(const QString &serial);

    std::unique_ptr<Ui::MainWindow> ui;
    QMenu *ejectMenu = nullptr;
    QAction *settingsAction = nullptr;
    QMap<QString, AppWidget *> pages;
    AppWidget *currentPage = nullptr;
    TulGettingStartedWeb *startWeb = nullptr;
    bool retryAnswer = false;
    QProgressBar *progressBar = nullptr;

    DeviceSummaryPanel *summaryPanel = nullptr;
    QString summarySerial;
    // The waiting dialogs of arrivals in progress, so a removal can close them.
    QMap<QString, QPointer<watingdlg>> arrivals;
    bool demoOffered = true;
    bool scanning = false;
};
