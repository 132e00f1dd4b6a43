#include "DiagLogText.h"
#include "FakePrefix.h"
#include "ItunesInteract.h"
#include "WinePrefix.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

const QString kResources = QStringLiteral("C:\\Program Files\\iTunes\\iTunes.Resources\\");

QByteArray stringsFile(const QString &value, bool bigEndian = false)
{
    const QString text = QStringLiteral("/* folder */\n\"127.001\" = \"Other\";\n\"128.007\" = \"%1\";\n")
                             .arg(value);
    return (bigEndian ? QByteArray("\xfe\xff") : QByteArray("\xff\xfe"))
           + FakePrefix::utf16(text, bigEndian);
}

} // namespace

class tst_ItunesInteract : public QObject
{
    Q_OBJECT

private slots:
    void init() { prefix.reset(new FakePrefix); }

    void findsVersionAndExecutable_data()
    {
        QTest::addColumn<bool>("classId");
        QTest::newRow("automation-server-key") << true;
        QTest::newRow("default-icon-fallback") << false;
    }
    void findsVersionAndExecutable()
    {
        QFETCH(bool, classId);
        prefix->installItunes(QStringLiteral("9.1.1.11"), classId);
        const WinePrefix wine(prefix->path());
        const ItunesInteract itunes(wine);
        QCOMPARE(itunes.GetITunesVersionFromFile(), QStringLiteral("9.1.1.11"));
        QVERIFY(itunes.IsITunesInstalled());
        QCOMPARE(itunes.GetITunesCmdPath(), prefix->local(QLatin1String(FakePrefix::kExe)));
    }

    void noPrefixMeansNoItunes()
    {
        // A log folder of this run's own, so only these calls' entries are read.
        QTemporaryDir logDir;
        const QByteArray oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(logDir.path()));
        qputenv("WINEPREFIX", QFile::encodeName(prefix->path() + QStringLiteral("/absent")));
        const ItunesInteract itunes;
        QCOMPARE(itunes.GetITunesVersionFromFile(), QString());
        QVERIFY(!itunes.IsITunesInstalled());
        QCOMPARE(itunes.GetMusicFolderPathEx(), QString());
        QCOMPARE(itunes.GetITunesCmdPath(), QString());
        QCOMPARE(itunes.GetAutoDirectoryName(), QString(ItunesInteract::kDefaultAutoFolder));
        qunsetenv("WINEPREFIX");

        const QByteArray text = TestData::diagLog();
        if (oldTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", oldTmp);
        QVERIFY(text.contains("in ItunesInteract::GetMusicFolderPathEx : "));
        QVERIFY(text.contains("in ItunesInteract::GetAutoDirectoryName : "));
        QVERIFY(text.contains("\nerror!\n"));
    }

    void comparesVersions_data()
    {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::addColumn<int>("result");
        QTest::newRow("fourth-part-decides") << "9.1.1.11" << "9.1.1" << 1;
        QTest::newRow("numeric-not-textual") << "10.0" << "9.9.9" << 1;
        QTest::newRow("equal") << "7.0.0.0" << "7.0.0.0" << 0;
        QTest::newRow("fewer-parts-smaller") << "7.0" << "7.0.0" << -1;
        QTest::newRow("non-number-is-zero") << "x.1" << "0.1" << 0;
    }
    void comparesVersions()
    {
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(int, result);
        QCOMPARE(ItunesInteract::CompareVersion(left, right), result);
        QCOMPARE(ItunesInteract::CompareVersion(right, left), -result);
    }

    void musicFolder_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("prefsName");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");   // below drive_c, "" for none
        const QString media = QStringLiteral("/users/tester/Music/iTunes/iTunes Media");
        QTest::newRow("itunes-6-pref") << "6.0.5.20" << "iTunes.pref"
                                       << "C:\\users\\tester\\Music\\iTunes\\iTunes Media" << media;
        QTest::newRow("itunes-7-xml") << "7.0.0.70" << "iTunesPrefs.xml"
                                      << "file://localhost/C:/users/tester/Music/iTunes/iTunes%20Media/"
                                      << media;
        QTest::newRow("entities") << "9.1.1.11" << "iTunesPrefs.xml"
                                  << "file://localhost/C:/users/tester/Music/R&#38;B%20&amp;%20More" 
                                  << "/users/tester/Music/R&B & More";
        QTest::newRow("wrong-name-for-version") << "6.0.5.20" << "iTunesPrefs.xml"
                                                << "C:\\users\\tester\\Music" << "";
        QTest::newRow("no-music-folder") << "9.1.1.11" << "iTunesPrefs.xml" << "" << "";
    }
    void musicFolder()
    {
        QFETCH(QString, version);
        QFETCH(QString, prefsName);
        QFETCH(QString, url);
        QFETCH(QString, expected);
        prefix->installItunes(version);
        prefix->writeLibrary(prefsName, url);
        if (!expected.isEmpty())
            QDir().mkpath(prefix->local(QStringLiteral("C:") + expected));
        const WinePrefix wine(prefix->path());
        const QString found = ItunesInteract(wine).GetMusicFolderPathEx();
        QCOMPARE(found, expected.isEmpty() ? QString() : prefix->local(QStringLiteral("C:") + expected));
    }

    void damagedPreferencesGiveNoFolder_data()
    {
        QTest::addColumn<QByteArray>("prefs");
        QTest::newRow("no-key") << QByteArray("<plist><dict><key>Other</key><data>QQA=</data></dict></plist>");
        QTest::newRow("bad-base64") << QByteArray("<key>iTunes Library XML Location:1</key><data>Q!A=</data>");
        QTest::newRow("odd-utf16") << QByteArray("<key>iTunes Library XML Location:1</key><data>QUJD</data>");
        QTest::newRow("unclosed") << QByteArray("<key>iTunes Library XML Location:1</key><data>QwA6AA==");
        QTest::newRow("relative-path") << QByteArray("<key>iTunes Library XML Location:1</key><data>eAA=</data>");
    }
    void damagedPreferencesGiveNoFolder()
    {
        QFETCH(QByteArray, prefs);
        prefix->installItunes(QStringLiteral("9.1.1.11"));
        prefix->writeFile(QStringLiteral("C:\\users\\tester\\AppData\\Roaming\\Apple Computer\\iTunes\\iTunesPrefs.xml"),
                          prefs);
        const WinePrefix wine(prefix->path());
        QCOMPARE(ItunesInteract(wine).GetMusicFolderPathEx(), QString());
    }

    void languageFolders_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("folder");
        QTest::newRow("american") << 1033 << "en";
        QTest::newRow("simplified-chinese") << 2052 << "zh_CN";
        QTest::newRow("hong-kong-chinese") << 3076 << "zh_TW";
        QTest::newRow("nynorsk") << 2068 << "nb";
        QTest::newRow("portugal") << 2070 << "pt_PT";
        QTest::newRow("unknown-id") << 0x3ff << "en";
    }
    void languageFolders()
    {
        QFETCH(int, language);
        QFETCH(QString, folder);
        QCOMPARE(ItunesInteract::LanguageFolderName(quint16(language), false), folder);
        QCOMPARE(ItunesInteract::LanguageFolderName(quint16(language), true), QStringLiteral("en"));
    }

    void autoDirectoryName_data()
    {
        QTest::addColumn<QString>("userLang");      // LangID in user.reg, "" for none
        QTest::addColumn<QString>("lproj");         // folder the strings file is put into
        QTest::addColumn<QByteArray>("strings");
        QTest::addColumn<QString>("name");
        const QString fallback = ItunesInteract::kDefaultAutoFolder;
        QTest::newRow("british") << "00000809" << "en_GB" << stringsFile(QStringLiteral("Add to iTunes (GB)"))
                                 << "Add to iTunes (GB)";
        QTest::newRow("installed-language") << "00000000" << "zh_CN" << stringsFile(QStringLiteral("\u81ea\u52a8"))
                                            << QStringLiteral("\u81ea\u52a8");
        QTest::newRow("big-endian") << "00000414" << "nb" << stringsFile(QStringLiteral("Legg til"), true)
                                    << "Legg til";
        QTest::newRow("english-fallback") << "00000407" << "en" << stringsFile(QStringLiteral("Auto"))
                                          << "Auto";
        QTest::newRow("longest-value") << "00000409" << "en" << stringsFile(QString(258, QLatin1Char('a')))
                                       << QString(258, QLatin1Char('a'));
        QTest::newRow("too-long") << "00000409" << "en" << stringsFile(QString(259, QLatin1Char('a'))) << fallback;
        QTest::newRow("no-bom") << "00000409" << "en" << stringsFile(QStringLiteral("Auto")).mid(2) << fallback;
        QTest::newRow("no-key") << "00000409" << "en" << ("\xff\xfe" + FakePrefix::utf16(QStringLiteral("\"128.00\" = \"x\";")))
                                << fallback;
        QTest::newRow("no-closing-quote") << "00000409" << "en" << stringsFile(QStringLiteral("x")).chopped(8) << fallback;
        QTest::newRow("odd-length") << "00000409" << "en" << stringsFile(QStringLiteral("Auto")).append('\0') << fallback;
        QTest::newRow("escaping-name") << "00000409" << "en" << stringsFile(QStringLiteral("..\\..\\x")) << fallback;
        QTest::newRow("no-strings-file") << "00000409" << "fr" << stringsFile(QStringLiteral("Auto")) << fallback;
    }
    void autoDirectoryName()
    {
        QFETCH(QString, userLang);
        QFETCH(QString, lproj);
        QFETCH(QByteArray, strings);
        QFETCH(QString, name);
        prefix->installItunes(QStringLiteral("9.1.1.11"));
        QFile system(prefix->path() + QStringLiteral("/system.reg"));
        QVERIFY(system.open(QIODevice::Append));
        system.write("\n[Software\\\\Apple Computer, Inc.\\\\iTunes] 1\n\"InstalledLangID\"=dword:00000804\n");
        system.close();
        prefix->setUserReg(QStringLiteral("[Software\\\\Apple Computer, Inc.\\\\iTunes] 1\n\"LangID\"=dword:%1\n")
                               .arg(userLang));
        prefix->writeFile(kResources + lproj + QStringLiteral(".lproj\\Localizable.strings"), strings);

        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        const WinePrefix wine(prefix->path());
        const QString found = ItunesInteract(wine).GetAutoDirectoryName();
        qputenv("HOME", oldHome);
        QCOMPARE(found, name);
        QVERIFY(QDir(home.path()).isEmpty());   // read in place, nothing copied out
    }

    void executableFromCommand_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("exe");
        QTest::newRow("unquoted-arguments") << "C:\\A B\\ITUNES.EXE -Embedding" << "C:\\A B\\ITUNES.EXE";
        QTest::newRow("plain") << "  C:\\iTunes.exe " << "C:\\iTunes.exe";
        QTest::newRow("unclosed-quote") << "\"C:\\iTunes.exe" << "C:\\iTunes.exe";
    }
    void executableFromCommand()
    {
        QFETCH(QString, command);
        QFETCH(QString, exe);
        QCOMPARE(ItunesInteract::ExecutableFromCommand(command), exe);
    }

private:
    std::unique_ptr<FakePrefix> prefix;
};

QTEST_GUILESS_MAIN(tst_ItunesInteract)
#include "tst_ItunesInteract.moc"
