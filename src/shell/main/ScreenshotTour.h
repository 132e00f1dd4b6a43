#pragma once

#include <QObject>
#include <QString>

#include <functional>

class MainWindow;

// Walks the window through what a new user sees on the demo devices and
// saves a picture of each step into a folder: the getting-started page, a
// device's summary, the apps page in both views with the details pane open
// on an app that shares documents, and a transfer in progress. Used by
// scripts/screenshots for the README; ends the program when done.
class ScreenshotTour : public QObject
{
    Q_OBJECT
public:
    // slowDown makes the demo devices' transfers slow (for the transfer picture).
    ScreenshotTour(MainWindow *window, const QString &folder, const QString &packagesFolder,
                   std::function<void()> slowDown);

    void start();

private:
    bool save(const QString &name);
    void step();
    void finish(int code);

    MainWindow *m_window;
    QString m_folder;
    QString m_packages;
    std::function<void()> m_slowDown;
    int m_step = 0;
    int m_waited = 0;
    bool m_ok = true;
};
