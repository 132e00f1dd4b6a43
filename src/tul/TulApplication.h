#pragma once

#include <QApplication>
#include <QCommandLineOption>
#include <QHash>
#include <QPointer>
#include <QString>

class QTranslator;
class TulMainWindow;
class TulSingleInstance;

// The program's application object: a QApplication that keeps a single
// instance per identifier, installs translations, opens the preference store
// and answers --help and --version.
class TulApplication : public QApplication
{
    Q_OBJECT
public:
    // The newest framework interface version this build supports.
    static constexpr int kTulfcVersion = 1030;

    // appId: the single-instance identifier used by isRunning(); empty means
    // the product's SINGLETON_APP_ID.
    TulApplication(const QString &appId, int &argc, char **argv);
    ~TulApplication() override;

    // The running TulApplication, or null when the application object is another kind.
    static TulApplication *instance();

    void setTulfcVersion(int version);
    int tulfcVersion() const;
    // True when the program may start: it asks for no newer framework than
    // this one, a screen is available and the temporary folder is writable.
    bool checkIntegrality() const;

    // Installs the program's translation (appshuttle_<lang>.qm from the
    // translations folder) and Qt's own for the current locale, replacing any
    // installed before. Gives how many were installed; none is fine.
    int installTranslators();
    // Default: <application folder>/translations, then the built-in ":/translations".
    void setTranslationsPath(const QString &folder);

    // Opens the preference store <config home>/AppShuttle/<cfgName>.conf
    // (cfgName null: "appshuttle"). create makes the folder and file when
    // missing; without it a missing store gives false. A name holding a path
    // separator is refused.
    bool initCfg(const char *cfgName, bool create);

    // Handles --help and --version (printed on standard output) and reports
    // unknown options on standard error. True when the program must end now.
    bool processCmdLine(int argc, char **argv);
    // The program's own options, known to processCmdLine (add them before it),
    // and what it found of them.
    void addCommandLineOption(const QCommandLineOption &option);
    bool isOptionSet(const QString &name) const;
    QString optionValue(const QString &name) const;

    // True when another instance with the identifier runs; it is then asked
    // to bring its activation window forward.
    bool isRunning();
    bool isRunning(const QString &id);
    bool sendMessage(const QString &message, int timeoutMs = 2000);

    // The widget brought forward when another instance starts. Not owned.
    void setActivationWindow(QWidget *window, bool activateOnMessage = true);
    QWidget *activationWindow() const;

    void setMainWindow(TulMainWindow *window);
    TulMainWindow *mainWindow() const;

public slots:
    // Restores, shows, raises and activates the activation window.
    void activateWindow();

signals:
    // A line sent by another instance ("activate" when it started).
    void messageReceived(const QString &message);

private:
    void onMessage(const QString &message);

    QString appId;
    int version = 0;
    QString translationsFolder;
    TulSingleInstance *instanceGuard = nullptr;
    QPointer<QWidget> activation;
    bool activateOnMessage = false;
    QPointer<TulMainWindow> main;
    QList<QTranslator *> translators;
    QList<QCommandLineOption> programOptions;
    QHash<QString, QString> setOptions;   // name -> value ("" for a flag)
};
