#include "TulApplication.h"

#include "DiagLog.h"
#include "Tul.h"
#include "TulMainWindow.h"
#include "TulPref.h"
#include "TulSingleInstance.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>

#include <cstdio>

TulApplication::TulApplication(const QString &id, int &argc, char **argv)
    : QApplication(argc, argv)
    , appId(id.isEmpty() ? TulPref::productInfo(QStringLiteral("SINGLETON_APP_ID")) : id)
    , instanceGuard(new TulSingleInstance(this))
{
    setApplicationVersion(QStringLiteral(APPSHUTTLE_VERSION));
    setApplicationDisplayName(TulPref::product_name());
    connect(instanceGuard, &TulSingleInstance::messageReceived, this, &TulApplication::onMessage);
}

TulApplication::~TulApplication()
{
    TulPref::instance()->sync();
}

TulApplication *TulApplication::instance()
{
    return qobject_cast<TulApplication *>(QCoreApplication::instance());
}

void TulApplication::setTulfcVersion(int v)
{
    version = v;
}

int TulApplication::tulfcVersion() const
{
    return version;
}

bool TulApplication::checkIntegrality() const
{
    if (version > kTulfcVersion) {
        DIAG_LOG(qPrintable(QStringLiteral("framework version %1 newer than %2")
                                .arg(version).arg(kTulfcVersion)));
        return false;
    }
    if (!primaryScreen()) {
        DIAG_LOG("no screen");
        return false;
    }
    const QFileInfo temp(Tul::tempPath());
    if (!temp.isDir() || !temp.isWritable()) {
        DIAG_LOG(qPrintable(QStringLiteral("temporary folder not writable: ") + temp.filePath()));
        return false;
    }
    return true;
}

void TulApplication::setTranslationsPath(const QString &folder)
{
    translationsFolder = folder;
}

int TulApplication::installTranslators()
{
    for (QTranslator *old : qAsConst(translators)) {
        removeTranslator(old);
        delete old;
    }
    translators.clear();

    const QLocale locale;
    QStringList programFolders;
    if (!translationsFolder.isEmpty())
        programFolders << translationsFolder;
    else
        programFolders << TulPref::appDir() + QStringLiteral("/translations")
                       << QStringLiteral(":/translations");

    auto tryInstall = [&](const QString &name, const QStringList &folders) {
        for (const QString &folder : folders) {
            auto *translator = new QTranslator(this);
            if (translator->load(locale, name, QStringLiteral("_"), folder)
                && installTranslator(translator)) {
                translators << translator;
                return;
            }
            delete translator;
        }
    };
    tryInstall(QStringLiteral("appshuttle"), programFolders);
    tryInstall(QStringLiteral("qtbase"),
               {QLibraryInfo::path(QLibraryInfo::TranslationsPath)});
    return int(translators.size());
}

bool TulApplication::initCfg(const char *cfgName, bool create)
{
    const QString name = cfgName ? QString::fromUtf8(cfgName) : QString();
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))
        || name.startsWith(QLatin1Char('.'))) {
        DIAG_LOG(qPrintable(QStringLiteral("bad configuration name: ") + name));
        return false;
    }
    const QString path = TulPref::defaultFilePath(name);
    if (!create && !QFileInfo::exists(path))
        return false;
    // Check the folder before opening: a store that cannot be written would
    // keep its pending values and try again at every later flush.
    if (create && !QDir().mkpath(QFileInfo(path).absolutePath())) {
        DIAG_LOG(qPrintable(QStringLiteral("cannot create the folder of ") + path));
        return false;
    }
    TulPref::openInstance(path);
    TulPref *pref = TulPref::instance();
    if (!create)
        return true;
    // A fresh store names the skin, so that skin paths built from "last_skin" are whole.
    if (!pref->contains(QStringLiteral("last_skin")))
        pref->setValue(QStringLiteral("last_skin"), TulPref::productInfo(QStringLiteral("default_skin")));
    return pref->sync();
}

bool TulApplication::processCmdLine(int argc, char **argv)
{
    if (argc <= 0 || !argv)
        return false;
    QStringList args;
    for (int i = 0; i < argc && argv[i]; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("%1 manages the apps on iPhone, iPad and iPod touch devices connected by USB.")
            .arg(TulPref::product_name()));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addOptions(programOptions);
    if (!parser.parse(args)) {
        std::fprintf(stderr, "%s\n%s\n", qPrintable(parser.errorText()),
                     qPrintable(tr("Try '--help' for the options.")));
        std::fflush(stderr);
        return true;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        std::fflush(stdout);
        return true;
    }
    if (parser.isSet(versionOption)) {
        std::printf("%s %s\n", qPrintable(TulPref::product_name()), APPSHUTTLE_VERSION);
        std::fflush(stdout);
        return true;
    }
    setOptions.clear();
    for (const QCommandLineOption &option : qAsConst(programOptions)) {
        const QString name = option.names().constFirst();
        if (parser.isSet(name))
            setOptions.insert(name, option.valueName().isEmpty() ? QString() : parser.value(name));
    }
    return false;
}

void TulApplication::addCommandLineOption(const QCommandLineOption &option)
{
    programOptions.append(option);
}

bool TulApplication::isOptionSet(const QString &name) const
{
    return setOptions.contains(name);
}

QString TulApplication::optionValue(const QString &name) const
{
    return setOptions.value(name);
}

bool TulApplication::isRunning()
{
    return isRunning(appId);
}

bool TulApplication::isRunning(const QString &id)
{
    return instanceGuard->isRunning(id);
}

bool TulApplication::sendMessage(const QString &message, int timeoutMs)
{
    return instanceGuard->sendMessage(message, timeoutMs);
}

void TulApplication::setActivationWindow(QWidget *window, bool activate)
{
    activation = window;
    activateOnMessage = activate;
}

QWidget *TulApplication::activationWindow() const
{
    return activation.data();
}

void TulApplication::setMainWindow(TulMainWindow *window)
{
    main = window;
}

TulMainWindow *TulApplication::mainWindow() const
{
    return main.data();
}

void TulApplication::activateWindow()
{
    if (!activation) {
        DIAG_LOG("no activation window");
        return;
    }
    activation->setWindowState(activation->windowState() & ~Qt::WindowMinimized);
    activation->show();
    activation->raise();
    activation->activateWindow();
}

void TulApplication::onMessage(const QString &message)
{
    if (message == QLatin1String("activate") && activateOnMessage)
        activateWindow();
    emit messageReceived(message);
}
