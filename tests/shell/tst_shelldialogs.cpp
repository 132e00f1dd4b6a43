// The settings, waiting and question dialogs, driven as a user drives them.

#include "DiagLogText.h"
#include "SettingDlg.h"
#include "TulPref.h"
#include "questiondlg.h"
#include "watingdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

namespace {

// Stands in for the desktop's file manager.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

template <typename T>
T *child(QWidget *parent, const char *name)
{
    T *widget = parent->findChild<T *>(QLatin1String(name));
    if (!widget)
        qWarning("no child %s", name);
    return widget;
}

// Runs dialog.exec() with `action` queued into its loop; a dialog still
// open after timeoutMs is ended with -2, so a broken close never hangs the test.
int execWith(QDialog &dialog, std::function<void()> action, int timeoutMs = 5000)
{
    QTimer::singleShot(0, &dialog, std::move(action));
    QTimer::singleShot(timeoutMs, &dialog, [&dialog] { dialog.done(-2); });
    return dialog.exec();
}

} // namespace

class TestShellDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void settingsStoreOnOkAndApplyOnly();
    void updateCycles();
    void waitingIgnoresEscapeAndCloseUntilComplete();
    void waitingCompletedWhileHiddenClosesWhenShown();
    void questionRetryResults();
    void questionOpensOnlyExistingFolders();

private:
    TulPref *pref() const { return TulPref::instance(); }
    std::unique_ptr<QTemporaryDir> dir;
};

void TestShellDialogs::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    TulPref::openInstance(dir->path() + QStringLiteral("/prefs.conf"));
}

void TestShellDialogs::cleanup()
{
    dir.reset();
}

void TestShellDialogs::settingsStoreOnOkAndApplyOnly()
{
    // Untouched defaults: OK stores both keys once, the flag as text.
    {
        SettingDlg dialog;
        QSignalSpy changed(&dialog, &SettingDlg::signalAutoUpdateChanged);
        QVERIFY(child<QCheckBox>(&dialog, "checkBox_AutoUpdate")->isChecked());
        QCOMPARE(child<QComboBox>(&dialog, "comboBox_AutoUpdate")->currentIndex(), 0);
        QCOMPARE(child<QComboBox>(&dialog, "comboBox_AutoUpdate")->count(), 3);
        QVERIFY(!child<QPushButton>(&dialog, "ApplyBtn")->isEnabled());
        QVERIFY(!pref()->contains(QStringLiteral("EnableAutoUpdate")));
        const int result = execWith(dialog, [&] { QTest::mouseClick(child<QPushButton>(&dialog, "OkBtn"), Qt::LeftButton); });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0), (QVariantList{true, 1}));
        QCOMPARE(pref()->value(QStringLiteral("EnableAutoUpdate")).toString(), QStringLiteral("true"));
        QCOMPARE(pref()->value(QStringLiteral("AutoUpdateType")).toInt(), 0);
    }
    // Unchecked, the list keeps its interval; Apply stores it and keeps the dialog open.
    {
        SettingDlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QSignalSpy changed(&dialog, &SettingDlg::signalAutoUpdateChanged);
        auto *box = child<QCheckBox>(&dialog, "checkBox_AutoUpdate");
        auto *combo = child<QComboBox>(&dialog, "comboBox_AutoUpdate");
        auto *apply = child<QPushButton>(&dialog, "ApplyBtn");
        combo->setCurrentIndex(1);
        QVERIFY(apply->isEnabled());
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(!box->isChecked());
        QVERIFY(!combo->isEnabled());
        QCOMPARE(combo->currentIndex(), 1);
        QTest::mouseClick(apply, Qt::LeftButton);
        QVERIFY(!apply->isEnabled());
        QVERIFY(dialog.isVisible());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0), (QVariantList{false, 7}));
        QCOMPARE(pref()->value(QStringLiteral("EnableAutoUpdate"), true).toBool(), false);
        QCOMPARE(pref()->value(QStringLiteral("AutoUpdateType")).toInt(), 1);
        // Checking the box again by keyboard re-enables the list.
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
        QVERIFY(combo->isEnabled());
    }
    // The stored choice comes back; Restore Defaults, then Cancel, stores nothing.
    {
        SettingDlg dialog;
        QSignalSpy changed(&dialog, &SettingDlg::signalAutoUpdateChanged);
        auto *box = child<QCheckBox>(&dialog, "checkBox_AutoUpdate");
        auto *combo = child<QComboBox>(&dialog, "comboBox_AutoUpdate");
        QVERIFY(!box->isChecked());
        QVERIFY(!combo->isEnabled());
        QCOMPARE(combo->currentIndex(), 1);
        QTest::mouseClick(child<QPushButton>(&dialog, "RestoreDefaultsBtn"), Qt::LeftButton);
        QVERIFY(box->isChecked());
        QVERIFY(combo->isEnabled());
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(child<QPushButton>(&dialog, "ApplyBtn")->isEnabled());
        execWith(dialog, [&] { QTest::mouseClick(child<QPushButton>(&dialog, "CancelBtn"), Qt::LeftButton); });
        QCOMPARE(changed.count(), 0);
        QCOMPARE(pref()->value(QStringLiteral("EnableAutoUpdate"), true).toBool(), false);
        QCOMPARE(pref()->value(QStringLiteral("AutoUpdateType")).toInt(), 1);
    }
}

void TestShellDialogs::updateCycles()
{
    // Days per list entry; 1 and 7 are checked through the dialog's signal above.
    QCOMPARE(SettingDlg::getUpdateCycle(2), 30);
    TestData::clearDiagLog();
    QCOMPARE(SettingDlg::getUpdateCycle(3), -1);
    QCOMPARE(SettingDlg::getUpdateCycle(-1), -1);
    QVERIFY(TestData::diagLog().contains("SettingDlg::getUpdateCycle"));
}

void TestShellDialogs::waitingIgnoresEscapeAndCloseUntilComplete()
{
    watingdlg dialog(watingdlg::ModeLoading);
    QSignalSpy done(&dialog, &watingdlg::actionDone);
    QVERIFY(!dialog.windowTitle().isEmpty());
    QVERIFY(!child<QLabel>(&dialog, "noteject_label")->text().isEmpty());
    dialog.setModal(true);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.close());
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.completed());
    QCOMPARE(dialog.actionResult(), -1);

    dialog.onTaskCompleted();
    QVERIFY(!dialog.isVisible());
    QVERIFY(dialog.completed());
    QCOMPARE(dialog.actionResult(), 1);
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(0).toInt(), int(watingdlg::ModeLoading));
}

void TestShellDialogs::waitingCompletedWhileHiddenClosesWhenShown()
{
    watingdlg dialog(watingdlg::ModeRefreshing);
    QSignalSpy done(&dialog, &watingdlg::actionDone);
    dialog.on_action_state_changed(5);
    QVERIFY(dialog.completed());
    QCOMPARE(dialog.actionResult(), 5);
    QCOMPARE(done.at(0).at(0).toInt(), int(watingdlg::ModeRefreshing));
    QVERIFY(!dialog.isVisible());

    // Run late anyway, it closes at the next tick of its one-second timer.
    QElapsedTimer clock;
    clock.start();
    const int result = execWith(dialog, [] {});
    QVERIFY2(result != -2, "the waiting dialog stayed open");
    QVERIFY(clock.elapsed() < 2500);
    QVERIFY(!dialog.isVisible());
}

void TestShellDialogs::questionRetryResults()
{
    const QString text = QStringLiteral("Fail to load your device.");
    // Retry accepts; Cancel and the window's own close refuse.
    for (const char *button : {"accept_pushButton", "close_pushButton", ""}) {
        questiondlg dialog(questiondlg::ModeRetry, text, QString());
        QCOMPARE(child<QLabel>(&dialog, "content_label")->text(), text);
        QCOMPARE(dialog.windowTitle(), TulPref::product_name());
        const int result = execWith(dialog, [&] {
            *button ? QTest::mouseClick(child<QPushButton>(&dialog, button), Qt::LeftButton) : void(dialog.close());
        });
        QCOMPARE(result, *button == 'a' ? 1 : 0);
    }
}

void TestShellDialogs::questionOpensOnlyExistingFolders()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    const QString folder = dir->path();
    {
        questiondlg dialog(questiondlg::ModeOpenFolder, QStringLiteral("Copied."), folder);
        auto *open = child<QPushButton>(&dialog, "accept_pushButton");
        QCOMPARE(execWith(dialog, [&] { QTest::mouseClick(open, Qt::LeftButton); }), 0);
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
    }
    {
        TestData::clearDiagLog();
        questiondlg dialog(questiondlg::ModeOpenFolder, QStringLiteral("Copied."), folder + QStringLiteral("/gone"));
        auto *open = child<QPushButton>(&dialog, "accept_pushButton");
        QCOMPARE(execWith(dialog, [&] { QTest::mouseClick(open, Qt::LeftButton); }), 0);
        QCOMPARE(catcher.opened.size(), 1);
        QVERIFY(TestData::diagLog().contains("questiondlg::slot_openFolder"));
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

QTEST_MAIN(TestShellDialogs)
#include "tst_shelldialogs.moc"
