#include "TulApplication.h"
#include "TulDialog.h"
#include "TulMainWindow.h"
#include "TulPref.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// A main window that may veto closing, the way the program's window does
// while tasks run.
class VetoWindow : public TulMainWindow
{
public:
    bool veto = false;
    int retranslated = 0;
    void retranslate() override
    {
        ++retranslated;
        TulMainWindow::retranslate();
    }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (veto) {
            event->ignore();
            return;
        }
        event->accept();
        TulMainWindow::closeEvent(event);
        event->ignore();
    }
};

class CountingDialog : public TulDialog
{
public:
    using TulDialog::TulDialog;
    int retranslated = 0;
    void retranslate() override { ++retranslated; }
};

} // namespace

class TestTulMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        TulPref::openInstance(dir->path() + QStringLiteral("/prefs.conf"));
    }

    void cleanup()
    {
        TulPref::openInstance(dir->path() + QStringLiteral("/after.conf"));
        dir.reset();
    }

    void menusAndExitAction()
    {
        VetoWindow window;
        QVERIFY(!window.firstMenu());
        // A form installs its own menu bar before initialize(); the menus go there.
        auto *formBar = new QMenuBar;
        window.setMenuBar(formBar);
        window.initialize();
        window.initialize();

        QVERIFY(window.firstMenu() && window.secondMenu() && window.exitAction());
        QCOMPARE(formBar->actions().size(), 2);
        QCOMPARE(formBar->actions().at(0)->menu(), window.firstMenu());
        QCOMPARE(formBar->actions().at(1)->menu(), window.secondMenu());
        QVERIFY(window.firstMenu()->actions().contains(window.exitAction()));
        QCOMPARE(window.exitAction()->menuRole(), QAction::QuitRole);
        // initialize() applies the framework's texts only, never the derived window's.
        QCOMPARE(window.retranslated, 0);
    }

    void exitActionEndsTheLoopUnlessVetoed()
    {
        VetoWindow window;
        window.initialize();
        window.veto = true;
        TulApplication::instance()->setMainWindow(&window);
        window.show(true);
        QVERIFY(!runLoop([&] { window.exitAction()->trigger(); }, 300));
        QVERIFY(window.isVisible());

        // Another main window closing does not end the program either.
        window.veto = false;
        VetoWindow other;
        other.initialize();
        QVERIFY(!runLoop([&] { other.exitAction()->trigger(); }, 300));

        QVERIFY(runLoop([&] { window.exitAction()->trigger(); }));
        TulApplication::instance()->setMainWindow(nullptr);
    }

    void updateScheduleStored()
    {
        TulPref *pref = TulPref::instance();
        {
            VetoWindow window;
            window.initialize();
            window.setAutoCheckUpdate(false);
            window.setAutoCheckUpdateInterval(7);
            QVERIFY(!window.nextUpdateCheck().isValid());
            window.setAutoCheckUpdateInterval(-1);   // what a bad interval index turns into
            window.setAutoCheckUpdateInterval(0);
            window.setAutoCheckUpdateInterval(TulMainWindow::kMaxIntervalDays + 1);
            QCOMPARE(window.autoCheckUpdateInterval(), 7);
        }
        QCOMPARE(pref->value(TulMainWindow::kAutoCheckKey, true).toBool(), false);
        QCOMPARE(pref->value(TulMainWindow::kIntervalKey, 1).toInt(), 7);

        // The schedule survives into the next window and counts from the last check.
        const QDateTime last = QDateTime::currentDateTimeUtc().addDays(-2);
        pref->setValue(TulMainWindow::kLastCheckKey, last.toString(Qt::ISODate));
        VetoWindow next;
        QCOMPARE(next.autoCheckUpdate(), false);
        next.setAutoCheckUpdate(true);
        QCOMPARE(next.nextUpdateCheck().toSecsSinceEpoch(), last.addDays(7).toSecsSinceEpoch());
        next.setAutoCheckUpdateInterval(30);
        QCOMPARE(next.nextUpdateCheck().toSecsSinceEpoch(), last.addDays(30).toSecsSinceEpoch());
    }

    void updateCheckComesDue()
    {
        TulPref *pref = TulPref::instance();
        pref->setValue(TulMainWindow::kIntervalKey, 7);
        pref->setValue(TulMainWindow::kLastCheckKey,
                       QDateTime::currentDateTimeUtc().addDays(-8).toString(Qt::ISODate));
        VetoWindow window;
        QSignalSpy due(&window, &TulMainWindow::updateCheckDue);
        window.initialize();
        QVERIFY(due.wait(2000));
        QCOMPARE(due.size(), 1);
        // The check is recorded, so the next one is a whole interval away.
        const QDateTime next = window.nextUpdateCheck();
        QVERIFY(next > QDateTime::currentDateTimeUtc().addDays(6));

        // Switched off, an overdue check does not come.
        pref->setValue(TulMainWindow::kLastCheckKey,
                       QDateTime::currentDateTimeUtc().addDays(-8).toString(Qt::ISODate));
        window.setAutoCheckUpdate(false);
        QVERIFY(!due.wait(200));
        QCOMPARE(due.size(), 1);
    }

    void languageChangeRetranslates()
    {
        VetoWindow window;
        window.initialize();
        CountingDialog dialog(&window);
        // Qt delivers the change to the top-level window, which passes it on to its dialogs.
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(&window, &change);
        QCOMPARE(window.retranslated, 1);
        QCOMPARE(dialog.retranslated, 1);
    }

private:
    // Runs the event loop until it ends or timeoutMs pass; true when it ended by itself.
    static bool runLoop(std::function<void()> start, int timeoutMs = 5000);
    std::unique_ptr<QTemporaryDir> dir;
};

bool TestTulMainWindow::runLoop(std::function<void()> start, int timeoutMs)
{
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    guard.start(timeoutMs);
    QTimer::singleShot(0, qApp, start);
    QCoreApplication::exec();
    return !timedOut;
}

int main(int argc, char **argv)
{
    TulApplication app(QString(), argc, argv);
    TestTulMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tulmainwindow.moc"
