// The German catalogue: complete for the texts of src/, installed from the
// desktop's locale, and taken up by the open windows when the language
// changes while they are shown.

#include "AppTranslations.h"
#include "DeviceSummaryPanel.h"
#include "DeviceTreeWidget.h"
#include "SettingDlg.h"
#include "TulApplication.h"
#include "TulPref.h"
#include "questiondlg.h"
#include "watingdlg.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cstdio>

namespace {

// "context|source|comment" -> the translation, or empty while unfinished.
using Catalogue = QMap<QString, QString>;

Catalogue readCatalogue(const QString &path, QString *error)
{
    Catalogue out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read ") + path;
        return out;
    }
    QXmlStreamReader xml(&file);
    QString context, source, comment, translation;
    bool finished = true;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == QLatin1String("message")) {
                source.clear();
                comment.clear();
                translation.clear();
                finished = true;
            } else if (name == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (name == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (name == QLatin1String("comment")) {
                comment = xml.readElementText();
            } else if (name == QLatin1String("translation")) {
                finished = xml.attributes().value(QLatin1String("type")).isEmpty();
                translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
            out.insert(context + QLatin1Char('|') + source + QLatin1Char('|') + comment,
                       finished ? translation : QString());
        }
    }
    if (xml.hasError())
        *error = path + QStringLiteral(": ") + xml.errorString();
    return out;
}

QString translated(const char *context, const char *source)
{
    return QCoreApplication::translate(context, source);
}

template <typename T>
T *child(QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

} // namespace

class TestShellTranslations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void catalogueCoversEverySourceText();
    void openWindowsFollowALanguageChange();
    void languageFollowsTheDesktopLocale();

private:
    void switchTo(const QLocale &locale);
    QTemporaryDir prefs;
};

void TestShellTranslations::initTestCase()
{
    TulPref::openInstance(prefs.path() + QStringLiteral("/prefs.conf"));
    QVERIFY(AppTranslations::languages().contains(QStringLiteral("de")));
}

// A text added anywhere under src/ without its German translation fails here.
void TestShellTranslations::catalogueCoversEverySourceText()
{
    QTemporaryDir work;
    const QString fresh = work.path() + QStringLiteral("/fresh_de.ts");
    QProcess lupdate;
    lupdate.setWorkingDirectory(QStringLiteral(APPSHUTTLE_SOURCE_DIR));
    lupdate.start(QStringLiteral(APPSHUTTLE_LUPDATE),
                  QString::fromUtf8(APPSHUTTLE_LUPDATE_OPTIONS).split(QLatin1Char(','))
                      + QStringList{QStringLiteral(APPSHUTTLE_SOURCE_DIR "/src"), QStringLiteral("-ts"), fresh});
    QVERIFY(lupdate.waitForFinished(60000));
    QCOMPARE(lupdate.exitCode(), 0);

    QString error;
    const Catalogue sources = readCatalogue(fresh, &error);
    const Catalogue committed = readCatalogue(QStringLiteral(APPSHUTTLE_TS_FILE), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!sources.isEmpty());
    QStringList missing;
    for (auto it = sources.begin(); it != sources.end(); ++it) {
        if (committed.value(it.key()).isEmpty())
            missing << it.key();
    }
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("untranslated (run the update_translations target, then translate):\n")
                        + missing.join(QLatin1Char('\n'))));
}

void TestShellTranslations::switchTo(const QLocale &locale)
{
    QLocale::setDefault(locale);
    TulApplication::instance()->installTranslators();
    // Qt posts the language change to the windows.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
}

void TestShellTranslations::openWindowsFollowALanguageChange()
{
    DeviceTreeWidget tree;
    SettingDlg settings;
    watingdlg waiting(watingdlg::ModeLoading);
    questiondlg question(questiondlg::ModeRetry, QStringLiteral("text"), QString());
    DeviceSummaryPanel summary;
    for (QWidget *w : std::initializer_list<QWidget *>{&tree, &settings, &waiting, &question, &summary})
        w->show();

    // What each window shows, read at the moment of the call, and the text it is.
    struct Shown
    {
        std::function<QString()> read;
        const char *context;
        const char *source;
    };
    const QList<Shown> shown = {
        {[&] { return tree.topLevelItem(0)->text(0); }, "DeviceTreeWidget", "Please connect iPad, iPod or iPhone..."},
        {[&] { return settings.windowTitle(); }, "SettingDlg", "Settings"},
        {[&] { return child<QComboBox>(&settings, "comboBox_AutoUpdate")->itemText(1); }, "SettingDlg", "Every Week"},
        {[&] { return child<QPushButton>(&settings, "RestoreDefaultsBtn")->text(); }, "SettingDlgClass", "Restore Defaults"},
        {[&] { return waiting.windowTitle(); }, "watingdlg", "Loading..."},
        {[&] { return child<QLabel>(&waiting, "noteject_label")->text(); }, "watingdlgClass",
         "Please wait for a moment and do not remove the device."},
        {[&] { return child<QPushButton>(&question, "accept_pushButton")->text(); }, "questiondlg", "Retry"},
        {[&] { return child<QPushButton>(&question, "close_pushButton")->text(); }, "questiondlg", "Cancel"},
        {[&] { return child<QLabel>(&summary, "modelCaption")->text(); }, "DeviceSummaryPanel", "Model:"},
    };
    // English, German, and back: every window shows the language of the moment.
    for (const bool german : {false, true, false}) {
        switchTo(german ? QLocale(QLocale::German, QLocale::Germany) : QLocale(QLocale::English, QLocale::UnitedStates));
        for (const Shown &entry : shown) {
            const QString text = translated(entry.context, entry.source);
            QVERIFY2((text != QLatin1String(entry.source)) == german, entry.source);
            QCOMPARE(entry.read(), text);
        }
    }
}

// A fresh program started under a German desktop shows German texts.
void TestShellTranslations::languageFollowsTheDesktopLocale()
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LANGUAGE"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), prefs.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--print-placeholder")});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    const QString printed = QString::fromUtf8(child.readAllStandardOutput()).trimmed();

    switchTo(QLocale(QLocale::German, QLocale::Germany));
    const QString german = translated("DeviceTreeWidget", "Please connect iPad, iPod or iPhone...");
    switchTo(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(german != translated("DeviceTreeWidget", "Please connect iPad, iPod or iPhone..."));
    QCOMPARE(printed, german);
}

int main(int argc, char **argv)
{
    TulApplication app(QStringLiteral("appshuttle-test-translations"), argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--print-placeholder") == 0) {
        app.installTranslators();
        DeviceTreeWidget tree;
        std::puts(tree.topLevelItem(0)->text(0).toUtf8().constData());
        return 0;
    }
    TestShellTranslations test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shelltranslations.moc"
