#pragma once

#include "TulWidgetHelper.h"

#include <QDateTime>
#include <QMainWindow>

class QAction;
class QMenu;
class QTimer;

// Base of the program's main window. initialize() adds the framework's menus
// to the window's menu bar: a first menu holding the exit action and a second
// menu for the program's own entries. Accepting the close event ends the
// program when this is the application's main window (or none was named).
//
// The automatic update check is a schedule kept in the preferences; when it
// comes due, updateCheckDue() is emitted and the time is recorded. The
// check itself is the receiver's business.
class TulMainWindow : public QMainWindow, public TulWidgetHelper
{
    Q_OBJECT
public:
    static const QString kAutoCheckKey;      // bool, default true
    static const QString kIntervalKey;       // int days, default 1
    static const QString kLastCheckKey;      // ISO date-time (UTC)
    static const QString kGeometryKey;       // saved frame geometry
    static constexpr int kMaxIntervalDays = 366;

    explicit TulMainWindow(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~TulMainWindow() override;

    // Call once the window's own form is built (it may install its menu bar).
    // Repeated calls do nothing.
    void initialize();

    using QMainWindow::show;
    // Shows the frame with its remembered geometry, or its default size;
    // activate also raises it and gives it the focus.
    void show(bool activate);

    QMenu *firstMenu() const;
    QMenu *secondMenu() const;
    QAction *exitAction() const;

    // Re-applies the framework's texts; overriders call it last.
    virtual void retranslate();

    void setAutoCheckUpdate(bool enable);
    // Days between checks, 1..kMaxIntervalDays; other values are logged and ignored.
    void setAutoCheckUpdateInterval(int days);
    bool autoCheckUpdate() const;
    int autoCheckUpdateInterval() const;
    // When the next check is due; invalid while checking is off.
    QDateTime nextUpdateCheck() const;

signals:
    void updateCheckDue();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void scheduleUpdateCheck();
    void onUpdateTimer();

    QMenu *menuFirst = nullptr;
    QMenu *menuSecond = nullptr;
    QAction *actionExit = nullptr;
    QTimer *updateTimer = nullptr;
    bool initialized = false;
};
