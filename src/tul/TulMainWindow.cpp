#include "TulMainWindow.h"

#include "DiagLog.h"
#include "TulApplication.h"
#include "TulPref.h"
#include "TulSkin.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QThread>
#include <QTimer>

const QString TulMainWindow::kAutoCheckKey = QStringLiteral("tulfc/AutoCheckUpdate");
const QString TulMainWindow::kIntervalKey = QStringLiteral("tulfc/AutoCheckUpdateInterval");
const QString TulMainWindow::kLastCheckKey = QStringLiteral("tulfc/LastUpdateCheck");
const QString TulMainWindow::kGeometryKey = QStringLiteral("tulfc/MainWindowGeometry");

namespace {
// QTimer intervals are int milliseconds (under 25 days); a month-long wait
// is taken in steps and re-evaluated, which also survives clock changes.
constexpr qint64 kMaxTimerStepMs = 60LL * 60 * 1000;
} // namespace

TulMainWindow::TulMainWindow(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
    , TulWidgetHelper(this)
    , updateTimer(new QTimer(this))
{
    updateTimer->setSingleShot(true);
    connect(updateTimer, &QTimer::timeout, this, &TulMainWindow::onUpdateTimer);
}

TulMainWindow::~TulMainWindow() = default;

void TulMainWindow::initialize()
{
    if (initialized)
        return;
    initialized = true;

    QMenuBar *bar = menuBar();
    menuFirst = bar->addMenu(QString());
    menuFirst->setObjectName(QStringLiteral("tulFirstMenu"));
    menuSecond = bar->addMenu(QString());
    menuSecond->setObjectName(QStringLiteral("tulSecondMenu"));

    actionExit = new QAction(this);
    actionExit->setObjectName(QStringLiteral("tulExitAction"));
    actionExit->setShortcut(QKeySequence::Quit);
    actionExit->setMenuRole(QAction::QuitRole);
    connect(actionExit, &QAction::triggered, this, [this] { widgetFrame()->close(); });
    menuFirst->addAction(actionExit);

    const QString sheet = TulSkin::styleSheet();
    if (!sheet.isEmpty()) {
        setStyleSheet(sheet);
        if (TulPref::instance()->tanslucentWhenSkin())
            setAttribute(Qt::WA_TranslucentBackground);
    }
    // Not the override: a derived window calls initialize() from its
    // constructor, before its own members are ready.
    TulMainWindow::retranslate();
    scheduleUpdateCheck();
}

void TulMainWindow::show(bool activate)
{
    const QByteArray geometry =
        TulPref::instance()->value(kGeometryKey).toByteArray();
    if (!geometry.isEmpty() && !restoreGeometry(geometry))
        DIAG_LOG("stored window geometry not usable");
    QMainWindow::show();
    if (activate) {
        raise();
        activateWindow();
    }
}

QMenu *TulMainWindow::firstMenu() const
{
    return menuFirst;
}

QMenu *TulMainWindow::secondMenu() const
{
    return menuSecond;
}

QAction *TulMainWindow::exitAction() const
{
    return actionExit;
}

void TulMainWindow::retranslate()
{
    if (menuFirst)
        menuFirst->setTitle(QCoreApplication::translate("tr_action_text", "&File"));
    if (menuSecond)
        menuSecond->setTitle(QCoreApplication::translate("tr_action_text", "&Tools"));
    if (actionExit)
        actionExit->setText(QCoreApplication::translate("tr_action_text", "E&xit"));
}

void TulMainWindow::setAutoCheckUpdate(bool enable)
{
    TulPref::instance()->setValue(kAutoCheckKey, enable);
    scheduleUpdateCheck();
}

void TulMainWindow::setAutoCheckUpdateInterval(int days)
{
    if (days < 1 || days > kMaxIntervalDays) {
        DIAG_LOG(qPrintable(QStringLiteral("update interval out of range: %1").arg(days)));
        return;
    }
    TulPref::instance()->setValue(kIntervalKey, days);
    scheduleUpdateCheck();
}

bool TulMainWindow::autoCheckUpdate() const
{
    return TulPref::instance()->value(kAutoCheckKey, true).toBool();
}

int TulMainWindow::autoCheckUpdateInterval() const
{
    const int days = TulPref::instance()->value(kIntervalKey, 1).toInt();
    return (days < 1 || days > kMaxIntervalDays) ? 1 : days;
}

QDateTime TulMainWindow::nextUpdateCheck() const
{
    if (!autoCheckUpdate())
        return QDateTime();
    const QDateTime last = QDateTime::fromString(
        TulPref::instance()->value(kLastCheckKey).toString(), Qt::ISODate);
    // Never checked (or an unreadable record): due now.
    if (!last.isValid())
        return QDateTime::currentDateTimeUtc();
    return last.addDays(autoCheckUpdateInterval());
}

void TulMainWindow::scheduleUpdateCheck()
{
    updateTimer->stop();
    // Before initialize() the window is still being built; nothing runs yet.
    if (!initialized)
        return;
    const QDateTime next = nextUpdateCheck();
    if (!next.isValid())
        return;
    const qint64 wait = QDateTime::currentDateTimeUtc().msecsTo(next);
    updateTimer->start(int(qBound<qint64>(0, wait, kMaxTimerStepMs)));
}

void TulMainWindow::onUpdateTimer()
{
    const QDateTime next = nextUpdateCheck();
    if (!next.isValid())
        return;
    if (QDateTime::currentDateTimeUtc() < next) {
        scheduleUpdateCheck();
        return;
    }
    TulPref::instance()->setValue(kLastCheckKey,
                                  QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    emit updateCheckDue();
    scheduleUpdateCheck();
}

void TulMainWindow::closeEvent(QCloseEvent *event)
{
    // Close events arrive accepted; a derived window that vetoes ignores it
    // before (or instead of) passing it here.
    if (!event->isAccepted())
        return;
    TulPref *pref = TulPref::instance();
    pref->setValue(kGeometryKey, saveGeometry());
    pref->sync();
    const TulApplication *app = TulApplication::instance();
    // exit(), not quit(): quit() would close every window again and a
    // window that ignores its close event would veto the end. Without a
    // running loop there is nothing to end, and exit() would instead make
    // the next modal loop return at once.
    const bool isMain = !app || !app->mainWindow() || app->mainWindow() == this;
    if (isMain && QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

void TulMainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QMainWindow::changeEvent(event);
}
