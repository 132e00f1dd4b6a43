// The main window on virtual devices: arrival and removal with the waiting
// dialog, the Eject menu, the summary, the busy indicator and progress bar,
// the close warning, the passcode and trust questions, and many devices
// coming and going while tasks run.

#include "AppHandler.h"
#include "AppTaskCtrl.h"
#include "AppWidget.h"
#include "DevPort.h"
#include "DeviceFixture.h"
#include "DeviceTreeWidget.h"
#include "MainWindow.h"
#include "TulGettingStartedWeb.h"
#include "TulMessageBox.h"
#include "TulPref.h"
#include "VDemo.h"
#include "VServer.h"
#include "questiondlg.h"
#include "watingdlg.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <functional>

namespace {

// Answers the window's modal dialogs while the test waits: each time one is
// up, handler gets it (and may click its buttons).
class ModalWatcher : public QObject
{
public:
    explicit ModalWatcher(std::function<void(QWidget *)> handler)
        : m_handler(std::move(handler))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (QWidget *modal = QApplication::activeModalWidget())
                m_handler(modal);
        });
        m_timer.start(50);
    }

private:
    std::function<void(QWidget *)> m_handler;
    QTimer m_timer;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void arrivalRemovalEjectMenuAndSummary();
    void busyDeviceShowsProgressAndAsksBeforeClosing();
    void lockedAndUntrustedDevicesAskTheUser();
    void detachDuringTheWaitingDialog();
    void manyDevicesComeAndGoWhileTasksRun();

private:
    void startFixture(std::vector<int> profiles);
    // The device link's identifier ("<device number>-<UDID>"), kept once known.
    QString id(int index)
    {
        const QString udid = fixture->profile(index).udid;
        if (!ids.contains(udid) && fixture->server().deviceNumber(udid) != 0)
            ids.insert(udid, QString::number(fixture->server().deviceNumber(udid)) + QLatin1Char('-') + udid);
        return ids.value(udid);
    }
    DeviceTreeWidget *tree() const { return window->findChild<DeviceTreeWidget *>(QStringLiteral("deviceTreeWidget")); }
    int stackPage() const
    {
        return window->findChild<QStackedWidget *>(QStringLiteral("treeViewStackedWidget"))->currentIndex();
    }
    QString packages() const { return fixture->root() + QStringLiteral("/packages"); }

    std::unique_ptr<QTemporaryDir> prefs;
    std::unique_ptr<DeviceFixture> fixture;
    std::unique_ptr<MainWindow> window;
    QStringList messages;
    QHash<QString, QString> ids;
};

void TestMainWindow::init()
{
    prefs = std::make_unique<QTemporaryDir>();
    TulPref::openInstance(prefs->path() + QStringLiteral("/prefs.conf"));
    messages.clear();
    ids.clear();
    TulMessageBox::setAnswerer([this](const TulMessageBox::Request &request) {
        messages << request.text;
        return QMessageBox::No;
    });
}

void TestMainWindow::cleanup()
{
    window.reset();
    fixture.reset();
    TulMessageBox::setAnswerer({});
}

void TestMainWindow::startFixture(std::vector<int> profiles)
{
    fixture = std::make_unique<DeviceFixture>(std::move(profiles), true);
    QVERIFY2(fixture->ok(), qPrintable(fixture->error()));
    QString error;
    QVERIFY2(!VDemo::writeSamplePackages(packages(), &error).isEmpty(), qPrintable(error));
}

void TestMainWindow::arrivalRemovalEjectMenuAndSummary()
{
    startFixture({0, 1});
    window = std::make_unique<MainWindow>();
    QSignalSpy loaded(window.get(), &MainWindow::signalLoadTaskCompleted);
    QSignalSpy demo(window.get(), &MainWindow::demoRequested);
    window->show();
    QCOMPARE(stackPage(), int(MainWindow::GettingStartedPage));

    // The getting-started page is ours, with the link that starts the demo devices.
    auto *start = window->findChild<TulGettingStartedWeb *>();
    QVERIFY(start && start->pagePath().endsWith(QStringLiteral("GettingStarted.html")));
    QVERIFY(start->toHtml().contains(MainWindow::kDemoLink));
    emit start->anchorClicked(QUrl(MainWindow::kDemoLink));
    QCOMPARE(demo.count(), 1);

    // Both devices arrive: a page, tree rows, and no waiting dialog left over.
    QTRY_COMPARE_WITH_TIMEOUT(window->devicePages().size(), 2, 30000);
    QTRY_VERIFY(tree()->deviceItem(id(0)) && tree()->deviceItem(id(1)));
    QCOMPARE(loaded.count(), 2);
    QVERIFY(window->findChildren<watingdlg *>().isEmpty());
    QCOMPARE(stackPage(), int(MainWindow::AppsPage));
    QVERIFY(window->currentDevicePage());

    // The Eject menu lists both by name, in identifier order.
    const QList<QAction *> ejects = window->ejectDeviceMenu()->actions();
    QCOMPARE(ejects.size(), 2);
    QVERIFY(window->ejectDeviceMenu()->isEnabled());
    const int firstId = id(0) < id(1) ? 0 : 1;
    QCOMPARE(ejects.at(0)->property("serial").toString(), id(firstId));
    QCOMPARE(ejects.at(1)->property("serial").toString(), id(1 - firstId));
    QCOMPARE(ejects.at(0)->text(), fixture->profile(firstId).name);

    // Selecting a device row shows its summary.
    tree()->setCurrentItem(tree()->deviceItem(id(1)));
    QCOMPARE(stackPage(), int(MainWindow::SummaryPage));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("serialLabel"))->text(), fixture->profile(1).serialNumber);
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("deviceName"))->text(), fixture->profile(1).name);
    QVERIFY(!window->findChild<QLabel *>(QStringLiteral("devicePhoto"))->pixmap().isNull());

    // A language change at run time reaches the menus and the summary.
    QTranslator german;
    QVERIFY(german.load(QStringLiteral(":/translations/appshuttle_de.qm")));
    QCoreApplication::installTranslator(&german);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QCOMPARE(window->ejectDeviceMenu()->title(), QStringLiteral("Auswerfen"));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("deviceTypeLabel"))->text(), QStringLiteral("Typ:"));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("serialLabel"))->text(), fixture->profile(1).serialNumber);
    QCoreApplication::removeTranslator(&german);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QCOMPARE(window->ejectDeviceMenu()->title(), QStringLiteral("Eject"));

    // Selecting the second device's Apps row places its page.
    tree()->setCurrentItem(tree()->deviceItem(id(1))->child(0));
    QCOMPARE(stackPage(), int(MainWindow::AppsPage));
    AppWidget *second = window->devicePages().value(id(1));
    QCOMPARE(window->currentDevicePage(), second);
    QVERIFY(second->isVisible());

    // The first device goes: the first row is selected again and the other page stays.
    QPointer<AppWidget> first = window->devicePages().value(id(0));
    QVERIFY(fixture->control({QStringLiteral("detach"), fixture->profile(0).udid}));
    QTRY_VERIFY(first.isNull());
    QVERIFY(!tree()->deviceItem(id(0)));
    QCOMPARE(window->devicePages().keys(), QStringList{id(1)});
    QCOMPARE(window->ejectDeviceMenu()->actions().size(), 1);
    QCOMPARE(tree()->currentItem(), tree()->topLevelItem(0));

    // The last one goes: the placeholder and the getting-started page are back.
    QVERIFY(fixture->control({QStringLiteral("detach"), fixture->profile(1).udid}));
    QTRY_VERIFY(window->devicePages().isEmpty());
    QCOMPARE(tree()->topLevelItemCount(), 1);
    QCOMPARE(tree()->topLevelItem(0)->data(0, DeviceTreeWidget::NodeTypeRole).toInt(), -1);
    QCOMPARE(stackPage(), int(MainWindow::GettingStartedPage));
    QVERIFY(!window->ejectDeviceMenu()->isEnabled());
    QVERIFY(!window->currentDevicePage());
}

void TestMainWindow::busyDeviceShowsProgressAndAsksBeforeClosing()
{
    startFixture({0, 1});
    window = std::make_unique<MainWindow>();
    window->show();
    QTRY_COMPARE_WITH_TIMEOUT(window->devicePages().size(), 2, 30000);
    QTRY_VERIFY(tree()->deviceItem(id(1)));
    QProgressBar *bar = window->transferProgressBar();
    AppWidget *phone = window->devicePages().value(id(0));
    tree()->setCurrentItem(tree()->deviceItem(id(0))->child(0));
    QCOMPARE(window->currentDevicePage(), phone);

    // A slow install on the iPhone.
    QVERIFY(fixture->fault(0, "com.apple.mobile.installation_proxy", "delay", "600"));
    phone->slot_dragAddApptoDev({packages() + QStringLiteral("/Sample iPhone App.ipa")});
    const QString key = AppTaskCtrl::deviceKey(phone->handler());
    QVERIFY(AppTaskCtrl::instance()->isBusy(key));
    QTRY_VERIFY(bar->isVisible());
    QVERIFY(bar->format().contains(QRegularExpression(QStringLiteral("^Transferring \\(\\d+\\.\\d% completed\\)$"))));
    QTRY_VERIFY_WITH_TIMEOUT(tree()->itemWidget(tree()->deviceItem(id(0)), 1), 5000);
    QVERIFY(!tree()->itemWidget(tree()->deviceItem(id(1)), 1));

    // Another device's page: its device is idle, so no bar.
    tree()->setCurrentItem(tree()->deviceItem(id(1))->child(0));
    QTRY_VERIFY(!bar->isVisible());

    // Closing while the iPhone works asks; No keeps the window and the task.
    window->close();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.at(0),
             QStringLiteral("There are one or more tasks running. Exiting will cancel all tasks. Exit anyway?"));
    QVERIFY(window->isVisible());
    QVERIFY(AppTaskCtrl::instance()->isBusy(key));

    // Done: the indicator goes and closing asks nothing.
    QTRY_VERIFY_WITH_TIMEOUT(!AppTaskCtrl::instance()->isBusy(key), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(!tree()->itemWidget(tree()->deviceItem(id(0)), 1), 5000);
    messages.clear();
    window->close();
    QVERIFY(messages.isEmpty());
}

void TestMainWindow::lockedAndUntrustedDevicesAskTheUser()
{
    startFixture({0});
    const QString udid = fixture->profile(0).udid;
    DVPT_SetTrustWait(20000);
    // Each question counted, then `first` done and `button` clicked.
    int asked = 0;
    std::unique_ptr<ModalWatcher> watcher;
    const auto answer = [&](const char *button, std::function<void()> first) {
        watcher = std::make_unique<ModalWatcher>([&asked, button, first](QWidget *modal) {
            if (auto *dialog = qobject_cast<questiondlg *>(modal)) {
                ++asked;
                first();
                QTest::mouseClick(dialog->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
            }
        });
    };

    // Locked: the user cancels the question and the device is left out.
    QVERIFY(fixture->deviceCtl(0, "lock"));
    answer("close_pushButton", [] {});
    window = std::make_unique<MainWindow>();
    window->show();
    QTRY_COMPARE_WITH_TIMEOUT(asked, 1, 20000);
    QTest::qWait(500);
    QVERIFY(window->devicePages().isEmpty());

    // Plugged in again: the user unlocks it and retries.
    QVERIFY(fixture->control({QStringLiteral("detach"), udid}));
    answer("accept_pushButton", [this] { fixture->deviceCtl(0, "unlock"); });
    QVERIFY(fixture->control({QStringLiteral("attach"), udid}));
    QTRY_COMPARE_WITH_TIMEOUT(window->devicePages().size(), 1, 30000);
    QCOMPARE(asked, 2);

    // A device met for the first time: asked once, then waited for until the user taps Trust.
    QVERIFY(fixture->control({QStringLiteral("detach"), udid}));
    QTRY_VERIFY(window->devicePages().isEmpty());
    QVERIFY(fixture->deviceCtl(0, "untrust"));
    answer("accept_pushButton", [this] { QTimer::singleShot(2000, [this] { fixture->deviceCtl(0, "trust"); }); });
    QVERIFY(fixture->control({QStringLiteral("attach"), udid}));
    QTRY_COMPARE_WITH_TIMEOUT(window->devicePages().size(), 1, 30000);
    QCOMPARE(asked, 3);
    DVPT_SetTrustWait(0);
}

void TestMainWindow::detachDuringTheWaitingDialog()
{
    startFixture({0});
    // The app list comes slowly, so the waiting dialog is up when the device goes.
    QVERIFY(fixture->fault(0, "com.apple.mobile.installation_proxy", "delay", "2000"));
    bool detached = false;
    ModalWatcher watcher([&](QWidget *modal) {
        if (!detached && qobject_cast<watingdlg *>(modal))
            detached = fixture->control({QStringLiteral("detach"), fixture->profile(0).udid});
    });
    window = std::make_unique<MainWindow>();
    window->show();
    QTRY_VERIFY_WITH_TIMEOUT(detached, 20000);
    // The dialog goes, whether the removal or the failed load reaches it first.
    QTRY_VERIFY_WITH_TIMEOUT(window->findChildren<watingdlg *>().isEmpty(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(window->devicePages().isEmpty(), 20000);
    QCOMPARE(tree()->topLevelItemCount(), 1);
    QCOMPARE(tree()->topLevelItem(0)->data(0, DeviceTreeWidget::NodeTypeRole).toInt(), -1);
}

void TestMainWindow::manyDevicesComeAndGoWhileTasksRun()
{
    const int count = 8;
    startFixture({0, 1, 2, 3, 4, 5, 6, 7});
    for (int i = 0; i < count; i += 2)
        QVERIFY(fixture->fault(i, "com.apple.afc", "delay", "100"));
    window = std::make_unique<MainWindow>();
    window->show();
    QTRY_COMPARE_WITH_TIMEOUT(window->devicePages().size(), count, 60000);

    // Every iPhone installs; then the devices go in random order.
    for (int i = 0; i < count; i += 2)
        window->devicePages().value(id(i))->slot_dragAddApptoDev({packages() + QStringLiteral("/Sample Documents App.ipa")});
    QList<int> order;
    for (int i = 0; i < count; ++i)
        order.insert(int(QRandomGenerator::global()->bounded(order.size() + 1)), i);
    QList<QPointer<AppWidget>> gone;
    for (int i : qAsConst(order)) {
        gone << window->devicePages().value(id(i));
        QVERIFY(fixture->control({QStringLiteral("detach"), fixture->profile(i).udid}));
        QTest::qWait(int(QRandomGenerator::global()->bounded(300)));
    }
    QTRY_VERIFY_WITH_TIMEOUT(window->devicePages().isEmpty(), 60000);
    for (const QPointer<AppWidget> &page : qAsConst(gone))
        QVERIFY(page.isNull());
    QCOMPARE(window->findChildren<AppWidget *>().size(), 0);
    QCOMPARE(stackPage(), int(MainWindow::GettingStartedPage));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
